#pragma once

#include "history/HistoryArchive.h"

#include <QWidget>

#include <functional>
#include <vector>

class HistoryEventModel;
class MessageBoxes;
class PicturesTab;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;
class QTreeWidget;

/// The service history: the controllers the archive knows, and for the one chosen its events
/// (sortable, filtered by date and code, exported as CSV), its status snapshots and its setup
/// changes, each of which can be undone, and the pictures of its events.
class frmHistory : public QWidget
{
    Q_OBJECT

public:
    /// The size it opens at where the screen has room.
    static constexpr int kWidth = 1200;
    static constexpr int kHeight = 600;

    frmHistory(HistoryArchive& archive, MessageBoxes& boxes, QWidget* parent = nullptr);

    /// Sends a change's old values back to the controller it is filed under; set by the main
    /// window, which asks first and holds the work back while a request is under way.
    std::function<void(const ArchivedChange& change, const ControllerKey& filedUnder)> undo;
    /// Why a change cannot be undone now (empty when it can): said on the Undo button.
    std::function<QString(const ArchivedChange& change, const ControllerKey& filedUnder)> whyNoUndo;

    /// Reads the controllers again, keeping the one chosen.
    void Refresh();
    /// Shows the controller with this id (its events, snapshots and changes).
    void ShowController(qint64 id);
    qint64 shownController() const { return m_controller; }

    QTreeWidget* lvControllers = nullptr;
    QTabWidget* tabHistory = nullptr;
    QCheckBox* chkFrom = nullptr;
    QDateEdit* dtpFrom = nullptr;
    QCheckBox* chkTo = nullptr;
    QDateEdit* dtpTo = nullptr;
    QLineEdit* txtCode = nullptr;
    QPushButton* cmdFilter = nullptr;
    QTableView* tvEvents = nullptr;
    QLabel* lblEvents = nullptr;
    QPushButton* cmdExport = nullptr;
    QTreeWidget* lvStatus = nullptr;
    QTreeWidget* lvChanges = nullptr;
    QPushButton* cmdUndo = nullptr;
    PicturesTab* tabPictures = nullptr;
    QPushButton* cmdRefresh = nullptr;
    /// Files the records of one of two chosen controllers under the other: one controller.
    QPushButton* cmdMerge = nullptr;
    QPushButton* cmdName = nullptr;

private:
    QSplitter* m_splitter = nullptr;
    void handleControllerChosen();
    void handleFilter();
    void handleExport();
    void handleUndo();
    void handleMerge();
    void handleName();
    void handleChangeChosen();
    EventFilter Filter() const;
    /// The record's events, none for no record (0).
    std::vector<ArchivedEvent> EventsOf(qint64 id, const EventFilter& filter);
    void LoadEvents();
    /// The chosen controller's pictures, when their tab is shown and they are not yet drawn.
    void LoadPictures();

    HistoryArchive& m_archive;
    MessageBoxes& m_boxes;
    HistoryEventModel* m_events = nullptr;
    qint64 m_controller = 0;
    bool m_picturesShown = false;
    ControllerKey m_controllerKey;
    std::vector<ArchivedChange> m_changes;
};

Q_DECLARE_METATYPE(ControllerKey)
