#pragma once

#include "controller/ControllerIdentity.h"
#include "controller/EventLogReader.h"
#include "data/EventListCsv.h"
#include "data/EventLogReport.h"
#include "data/Tarn_Inputs.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <chrono>

class PageHost;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

/// The event-log page (picLog): reads the controller's stored events into a sortable list
/// and writes the list as the report tarn.logg. The reading state is the caption of
/// cmdGetLogEvents; the running number and the abort flag are the main window's.
class EventLogPage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kColumns = EventLogReport::kColumns;
    static constexpr const char* kCaptionGetNew = "Get new events";
    static constexpr const char* kCaptionAbort = "Abort";
    static constexpr const char* kCaptionContinue = "Continue";
    static constexpr std::chrono::milliseconds kFailedRequestPause =
        EventLogReader::kFailedRequestPause;
    static constexpr std::chrono::milliseconds kProgressInterval =
        EventLogReader::kProgressInterval;

    explicit EventLogPage(PageHost& host, QWidget* parent = nullptr);

    QPushButton* cmdClearLogList = nullptr;
    QPushButton* cmdGetLogEvents = nullptr;
    QPushButton* cmdSaveLog = nullptr;
    /// The list under a name of the user's choosing (CSV), and through the print dialog.
    QPushButton* cmdSaveLogAs = nullptr;
    QPushButton* cmdPrintLog = nullptr;
    QPushButton* cmdGetAllLogEvents = nullptr;
    QTreeWidget* lvLog = nullptr;
    std::array<QLabel*, kColumns> lblSortUp{};
    std::array<QLabel*, kColumns> lblSortDown{};
    /// The rows listed, how fast they come while reading, whether the controller reported
    /// the end of its log, and the events lost to damaged replies.
    QLabel* lblLogProgress = nullptr;

    int sortKey() const { return m_sortKey; }
    bool sortDescending() const { return m_descending; }
    /// The rows' cells as 8-bit text, in the order shown.
    EventLogReport Report() const;
    /// The rows as listed, with their values, for the CSV.
    std::vector<EventListCsv::Event> Events() const;
    /// Enables "Get all events" for the firmware, unless a reading runs.
    void EnableGetAll(bool enable);

    void handleGetLogEvents();
    void handleGetAllLogEvents();
    void handleClearLogList();
    /// "Empty list": asks first when the rows listed were not saved.
    void handleEmptyListClicked();
    bool isReading() const { return m_reading; }
    int rowCount() const;
    bool isUnsaved() const { return m_unsaved; }
    void handleSaveLog();
    /// True when the list was saved.
    bool handleSaveLogAs();
    void handlePrintLog();
    void handleColumnClick(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReadLogEvents();
    /// Asks who answers before a reading. When another controller answers than the one whose
    /// events are listed, the list starts afresh (after the choice to save it, when it was not
    /// saved). False when the reading must not start.
    bool KnowController();
    /// Identifies the controller, then reads new events, or all of them after emptying the
    /// list and rewinding the log.
    void BeginReading(bool all);
    void AddLogRow(const Tarn_Inputs& event);
    /// A row in place of an event lost to a damaged reply.
    void AddLostRow();
    void InsertRow(QTreeWidgetItem* item);
    bool Precedes(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const;
    void SortList();
    void PlaceSortIndicators();
    void ShowProgress();
    bool IsShown() const;

    PageHost& m_host;
    int m_sortKey = 0;
    bool m_descending = false;
    bool m_reading = false;
    /// Rows were listed since the list was last saved or emptied.
    bool m_unsaved = false;
    /// When the last reading ended: the time of the read for the saved reports.
    QDateTime m_readAt;
    bool m_getAllWanted = false;
    qint64 m_nextSequence = 0;
    /// Since the list was last emptied: events lost, and whether the last reading ended at
    /// the end of the log.
    int m_lostEvents = 0;
    bool m_endReached = false;
    EventLogReader m_reader;
    /// The controller whose events are listed: its identity, and its version and serial number
    /// as a record for the reports' names and heads.
    ControllerIdentity m_listIdentity;
    Tarn_Inputs m_listController;
};
