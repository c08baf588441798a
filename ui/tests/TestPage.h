#pragma once

#include "data/HeldOutput.h"

#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;
class QTimer;
class Tarn_Comm;
class PageHost;

/// The function-test page (picTest): outputs switched on while a button is held, the timed test
/// of pump and valves, and the input scan. The main window reads ScanInputsOn and TestModeTicks
/// and drives the page's periodic work from its update timer.
///
/// An output switched on by a held button goes off exactly once when the hold ends, also when
/// the button's own release never comes: a release or a press anywhere else, the mouse moving
/// with no button down, the window deactivated or blocked by a modal window, the application
/// inactive, the page left, the program closing (EndTests).
class TestPage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kExtraOutputs = 4;
    static constexpr int kDetectors = 4;
    static constexpr int kManualReleases = 3;
    static constexpr int kRuntimeMinimum = 1;
    static constexpr int kRuntimeMaximum = 120;
    static constexpr int kRuntimeLargeStep = 5;
    static constexpr int kRuntimeDefault = 60;
    /// Pause before every outputs command of a held button.
    static constexpr std::chrono::milliseconds kSwitchPause{500};
    /// Step of the timed test's countdown.
    static constexpr std::chrono::milliseconds kCountdownStep{50};
    /// Test mode is renewed on the update-timer tick after this many.
    static constexpr int16_t kTestModeTicksMax = 10;
    static inline const QColor kInputActive{0, 255, 0};
    static inline const QColor kInputInactive{224, 224, 224};

    explicit TestPage(PageHost& host, QWidget* parent = nullptr);
    ~TestPage() override;

    bool ScanInputsOn = false;
    int16_t TestModeTicks = 0;
    bool StopRuntimeTest = false;

    /// The input-scan switch; also run when the test tab is selected.
    void handleScanInputsClicked();
    /// One update-timer tick while the input scan is on: renews test mode now and then, then
    /// scans the inputs.
    void PeriodicWork();
    void ScanInputs();
    /// A held output and a running timed test end with their outputs off before this returns
    /// (unless their switching off is already under way): before the setup is written or the
    /// link moved.
    void StopTests();
    /// The program ends: a held output and a running timed test end without a command of
    /// their own, as the caller's outputs-off follows at once; nothing is switched on any more.
    void EndTests();
    /// True when the indicator shows an active input.
    static bool IsShownActive(const QLabel* indicator);
    /// True when no held output and no timed test is under way: nothing on, no switching
    /// queued, waiting for another request or in its pause.
    bool Idle() const;

    QGroupBox* fraManual_test = nullptr;
    /// Why the manual tests are off, while they are.
    QLabel* lblManualOff_test = nullptr;
    QGroupBox* fraOutput_test = nullptr;
    QPushButton* cmdPump_test = nullptr;
    QPushButton* cmdValve1_test = nullptr;
    QPushButton* cmdValve2_test = nullptr;
    QPushButton* cmdAlarmRelay_test = nullptr;
    std::array<QPushButton*, kExtraOutputs> cmdOutpuIO_test{};
    QGroupBox* fraBuzzer_test = nullptr;
    QPushButton* cmdBuzzer_test = nullptr;
    QGroupBox* fraRunTime_test = nullptr;
    QScrollBar* hsbRuntime_test = nullptr;
    /// The test time in seconds, beside the slider and kept with it.
    QSpinBox* spnRuntime_test = nullptr;
    QCheckBox* chkPump_test = nullptr;
    QRadioButton* optValve1_test = nullptr;
    QRadioButton* optValve2_test = nullptr;
    QPushButton* cmdStartRuntime_test = nullptr;
    QLabel* lblRunningtime_test = nullptr;
    QGroupBox* fraIO_test = nullptr;
    QCheckBox* chkScanInputs = nullptr;
    std::array<QLabel*, kDetectors> shpDetectorIO_test{};
    std::array<QLabel*, kManualReleases> shpManualIO_test{};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QGroupBox* makeManualFrame();
    QGroupBox* makeBuzzerFrame();
    QGroupBox* makeRunTimeFrame();
    QGroupBox* makeIOFrame();
    QPushButton* makeHoldButton(const QString& name, const QString& caption, OutputItem item);
    QLabel* makeIndicator(const QString& name);
    static void setIndicator(QLabel* indicator, bool active);

    void handleStartRuntimeClicked();
    /// One step of the timed test's countdown; ends the test when its time is up, Stop was
    /// clicked or the page was left.
    void handleRuntimeTick();
    /// Pump and valves off (unless already done), then the page idle again.
    void EndRuntimeTest();
    /// Enables the groups of the page state: idle, timed test running or input scan on.
    void UpdateGroups();

    void PressHold(OutputItem item);
    /// DriveHeldOutput from the event loop, not from inside the event that asks for it.
    void QueueDrive();
    /// The hold has ended, whether its button's release came or not.
    void ReleaseHold();
    /// Runs the switchings the hold asks for, one after the other; one run at a time.
    void DriveHeldOutput();
    void SwitchOn(OutputItem item);
    /// A held output's button shows it on (pressed, with "ON") while it is.
    void ShowHeld(OutputItem item, bool on);
    void SwitchOff(OutputItem item);
    /// Files the test whose outputs just went off in the history.
    void EndFunctionTest();

    /// One outputs command with the whole output word; false when it failed or there is no link.
    bool SendOutputs();
    bool SendToTarn(int command);
    void ShowStatus(const std::string& text);

    PageHost& m_host;
    QHash<QObject*, OutputItem> m_holdItems;
    HeldOutput m_hold;
    bool m_driving = false;
    /// DriveHeldOutput waits for the end of a request under way.
    bool m_driveDeferred = false;
    /// DriveHeldOutput calls queued and not yet run.
    int m_drivesQueued = 0;
    QTimer* m_runtimeTimer = nullptr;
    QElapsedTimer m_runtimeClock;
    std::chrono::milliseconds m_runtimeDuration{0};
    bool m_runtimeRunning = false;
    /// Pump and valves of the running timed test are being or have been switched off.
    bool m_runtimeOff = false;
};
