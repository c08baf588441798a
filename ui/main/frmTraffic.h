#pragma once

#include "link/TrafficCounters.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class MessageBoxes;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class Tarn_Comm;
struct TrafficRecord;

/// The traffic monitor: every frame on the link as a line, newest at the bottom, with running
/// counters. It follows the link only while it is shown, so a closed window costs the link
/// nothing.
class frmTraffic : public QWidget
{
    Q_OBJECT
public:
    /// Lines kept in the list; older ones are dropped.
    static constexpr int kMaxLines = 20000;
    /// The file "Save" writes in the program folder.
    static constexpr const char* kFileName = "tarn.traffic";
    static constexpr const char* kCaptionPause = "&Pause";
    static constexpr const char* kCaptionResume = "&Resume";

    frmTraffic(Tarn_Comm* link, MessageBoxes& boxes, QWidget* parent = nullptr);

    /// The link to follow (the main window's; it may come after the window).
    void setLink(Tarn_Comm* link);
    bool isFollowing() const { return m_following; }
    const TrafficCounters& counters() const { return m_counters; }

    QPlainTextEdit* txtTraffic = nullptr;
    QLabel* lblRequests = nullptr;
    QLabel* lblReplies = nullptr;
    QLabel* lblTimeOuts = nullptr;
    QLabel* lblCrcErrors = nullptr;
    QLabel* lblFailed = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdSave = nullptr;

    void handlePause();
    void handleClear();
    void handleSave();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Follow(bool on);
    void handleTraffic(const TrafficRecord& record);
    void ShowCounters();

    QPointer<Tarn_Comm> m_link;
    MessageBoxes& m_boxes;
    TrafficCounters m_counters;
    bool m_following = false;
    bool m_paused = false;
    /// Lines that came while paused, shown on resume.
    QStringList m_held;
};
