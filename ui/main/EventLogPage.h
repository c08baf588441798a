#pragma once

#include "controller/EventLogReader.h"
#include "data/EventLogReport.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <chrono>

class frmMain;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class Tarn_Inputs;

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
    /// Firmware from which the controller can send all of its stored events again.
    static constexpr double kAllEventsVersion = 2.07;
    static constexpr std::chrono::milliseconds kFailedRequestPause =
        EventLogReader::kFailedRequestPause;
    static constexpr std::chrono::milliseconds kProgressInterval = EventLogReader::kProgressInterval;

    explicit EventLogPage(frmMain& main, QWidget* parent = nullptr);

    QPushButton* cmdClearLogList = nullptr;
    QPushButton* cmdGetLogEvents = nullptr;
    QPushButton* cmdSaveLog = nullptr;
    QPushButton* cmdGetAllLogEvents = nullptr;
    QTreeWidget* lvLog = nullptr;
    std::array<QLabel*, kColumns> lblSortUp{};
    std::array<QLabel*, kColumns> lblSortDown{};
    /// Events read by the running (or last) reading, and how fast.
    QLabel* lblLogProgress = nullptr;

    int sortKey() const { return m_sortKey; }
    bool sortDescending() const { return m_descending; }
    /// The rows' cells as 8-bit text, in the order shown.
    EventLogReport Report() const;
    /// Enables "Get all events" for the firmware, unless a reading runs.
    void EnableGetAll(bool enable);

    void handleGetLogEvents();
    void handleGetAllLogEvents();
    void handleClearLogList();
    void handleSaveLog();
    void handleColumnClick(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReadLogEvents();
    void AddLogRow(const Tarn_Inputs& event);
    bool Precedes(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const;
    void SortList();
    void PlaceSortIndicators();
    void ShowProgress();
    bool IsShown() const;
    double FirmwareVersion() const;

    frmMain& m_main;
    int m_sortKey = 0;
    bool m_descending = false;
    bool m_reading = false;
    bool m_getAllWanted = false;
    qint64 m_nextSequence = 0;
    EventLogReader m_reader;
};
