#include "ui/tests/TestPage.h"

#include "controller/HistoryRecorder.h"
#include "data/Tarn_Inputs.h"
#include "eventloop/EventWait.h"
#include "eventloop/WaitDepth.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "ui/main/BusyPointer.h"
#include "ui/main/Lamp.h"
#include "ui/main/PageHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr const char* kCaptionProperty = "caption";

QLabel* Hint(const QString& name, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}
} // namespace

TestPage::TestPage(PageHost& host, QWidget* parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("picTest"));

    m_runtimeTimer = new QTimer(this);
    m_runtimeTimer->setObjectName(QStringLiteral("tmrRuntime_test"));
    m_runtimeTimer->setInterval(kCountdownStep);
    connect(m_runtimeTimer, &QTimer::timeout, this, &TestPage::handleRuntimeTick);

    auto* layout = new QGridLayout(this);
    layout->addWidget(makeManualFrame(), 0, 0);
    layout->addWidget(makeBuzzerFrame(), 1, 0);
    layout->addWidget(makeRunTimeFrame(), 0, 1);
    layout->addWidget(makeIOFrame(), 1, 1);
    layout->setRowStretch(2, 1);

    // A held button's release may never reach it; the application's events tell when the hold
    // has ended anyway.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    ReleaseHold();
            });
}

TestPage::~TestPage()
{
    qApp->removeEventFilter(this);
}

QGroupBox* TestPage::makeManualFrame()
{
    fraOutput_test = new QGroupBox(QStringLiteral("Outputs"));
    fraOutput_test->setObjectName(QStringLiteral("fraOutput_test"));
    cmdPump_test =
        makeHoldButton(QStringLiteral("cmdPump_test"), QStringLiteral("Pump"), OutputItem::Pump);
    cmdValve1_test = makeHoldButton(QStringLiteral("cmdValve1_test"), QStringLiteral("Valve 1"),
                                    OutputItem::Valve1);
    cmdValve2_test = makeHoldButton(QStringLiteral("cmdValve2_test"), QStringLiteral("Valve 2"),
                                    OutputItem::Valve2);
    cmdAlarmRelay_test = makeHoldButton(QStringLiteral("cmdAlarmRelay_test"),
                                        QStringLiteral("Alarm relay"), OutputItem::AlarmRelay);
    auto* outputs = new QGridLayout(fraOutput_test);
    outputs->addWidget(cmdPump_test, 0, 0);
    outputs->addWidget(cmdValve1_test, 0, 1);
    outputs->addWidget(cmdValve2_test, 0, 2);
    outputs->addWidget(cmdAlarmRelay_test, 0, 3);
    auto* extra = new QHBoxLayout;
    extra->addWidget(new QLabel(QStringLiteral("Extra")));
    for (int i = 0; i < kExtraOutputs; ++i) {
        cmdOutpuIO_test[i] = makeHoldButton(QStringLiteral("cmdOutpuIO_test_%1").arg(i),
                                            QString::number(i + 1), ExtraOutputItem(i));
        extra->addWidget(cmdOutpuIO_test[i]);
    }
    extra->addStretch();
    outputs->addLayout(extra, 1, 0, 1, 4);

    fraManual_test = new QGroupBox(QStringLiteral("Manual tests"));
    fraManual_test->setObjectName(QStringLiteral("fraManual_test"));
    auto* layout = new QVBoxLayout(fraManual_test);
    layout->addWidget(fraOutput_test);
    lblManualOff_test = Hint(QStringLiteral("lblManualOff_test"), QString());
    lblManualOff_test->hide();
    layout->addWidget(lblManualOff_test);
    layout->addWidget(
        Hint(QStringLiteral("lblManualHint_test"),
             QStringLiteral("Press and hold button to activate item. Release button when done.")));
    return fraManual_test;
}

QGroupBox* TestPage::makeBuzzerFrame()
{
    fraBuzzer_test = new QGroupBox(QStringLiteral("Buzzer test"));
    fraBuzzer_test->setObjectName(QStringLiteral("fraBuzzer_test"));
    cmdBuzzer_test = makeHoldButton(QStringLiteral("cmdBuzzer_test"), QStringLiteral("Test"),
                                    OutputItem::Buzzer);
    auto* layout = new QVBoxLayout(fraBuzzer_test);
    layout->addWidget(
        Hint(QStringLiteral("lblBuzzerHint_test"),
             QStringLiteral("Press and hold button to activate. Release button when done.")));
    layout->addWidget(cmdBuzzer_test, 0, Qt::AlignLeft);
    return fraBuzzer_test;
}

QGroupBox* TestPage::makeRunTimeFrame()
{
    fraRunTime_test = new QGroupBox(QStringLiteral("Timer controlled tests"));
    fraRunTime_test->setObjectName(QStringLiteral("fraRunTime_test"));

    hsbRuntime_test = new QScrollBar(Qt::Horizontal);
    hsbRuntime_test->setObjectName(QStringLiteral("hsbRuntime_test"));
    hsbRuntime_test->setRange(kRuntimeMinimum, kRuntimeMaximum);
    hsbRuntime_test->setPageStep(kRuntimeLargeStep);
    hsbRuntime_test->setValue(kRuntimeDefault);
    spnRuntime_test = new QSpinBox;
    spnRuntime_test->setObjectName(QStringLiteral("spnRuntime_test"));
    spnRuntime_test->setRange(kRuntimeMinimum, kRuntimeMaximum);
    spnRuntime_test->setSuffix(QStringLiteral(" s"));
    spnRuntime_test->setValue(kRuntimeDefault);
    spnRuntime_test->setAccessibleName(QStringLiteral("Test time"));
    connect(hsbRuntime_test, &QScrollBar::valueChanged, spnRuntime_test, &QSpinBox::setValue);
    connect(spnRuntime_test, &QSpinBox::valueChanged, hsbRuntime_test, &QScrollBar::setValue);

    chkPump_test = new QCheckBox(QStringLiteral("Pump"));
    chkPump_test->setObjectName(QStringLiteral("chkPump_test"));
    optValve1_test = new QRadioButton(QStringLiteral("Valve 1"));
    optValve1_test->setObjectName(QStringLiteral("optValve1_test"));
    optValve1_test->setChecked(true);
    optValve2_test = new QRadioButton(QStringLiteral("Valve 2"));
    optValve2_test->setObjectName(QStringLiteral("optValve2_test"));

    cmdStartRuntime_test = new QPushButton(QStringLiteral("Start"));
    cmdStartRuntime_test->setObjectName(QStringLiteral("cmdStartRuntime_test"));
    connect(cmdStartRuntime_test, &QPushButton::clicked, this, [this] {
        m_host.WhenIdleSaying(this,
                              m_runtimeRunning
                                  ? QStringLiteral("Stopping the timed test once Tarn has "
                                                   "answered\u2026")
                                  : QStringLiteral("Starting the timed test once Tarn has "
                                                   "answered\u2026"),
                              [this] { handleStartRuntimeClicked(); });
    });
    lblRunningtime_test = new QLabel(QStringLiteral("-"));
    lblRunningtime_test->setObjectName(QStringLiteral("lblRunningtime_test"));

    auto* layout = new QGridLayout(fraRunTime_test);
    layout->addWidget(
        Hint(QStringLiteral("lblRunTimeHint_test"),
             QStringLiteral(
                 "Set test time and select item(s) to test. Then press the Start button.")),
        0, 0, 1, 3);
    layout->addWidget(hsbRuntime_test, 1, 0, 1, 2);
    layout->addWidget(spnRuntime_test, 1, 2);
    layout->addWidget(chkPump_test, 2, 0);
    layout->addWidget(optValve1_test, 2, 1);
    layout->addWidget(optValve2_test, 2, 2);
    layout->addWidget(cmdStartRuntime_test, 3, 0);
    layout->addWidget(lblRunningtime_test, 3, 1);
    return fraRunTime_test;
}

QGroupBox* TestPage::makeIOFrame()
{
    fraIO_test = new QGroupBox(QStringLiteral("Input tests"));
    fraIO_test->setObjectName(QStringLiteral("fraIO_test"));
    chkScanInputs = new QCheckBox(QStringLiteral("Set Tarn to test mode and scan inputs"));
    chkScanInputs->setObjectName(QStringLiteral("chkScanInputs"));
    // Inside a request's wait, the box's state is taken once the wait has ended.
    connect(chkScanInputs, &QCheckBox::clicked, this, [this] {
        m_host.WhenIdleSaying(this,
                              QStringLiteral("Setting the input scan once Tarn has answered\u2026"),
                              [this] { handleScanInputsClicked(); });
    });

    auto* layout = new QGridLayout(fraIO_test);
    layout->addWidget(chkScanInputs, 0, 0, 1, kDetectors + 1);
    layout->addWidget(new QLabel(QStringLiteral("Detectors")), 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("Manual release")), 3, 0);
    for (int i = 0; i < kDetectors; ++i) {
        shpDetectorIO_test[i] = makeIndicator(QStringLiteral("shpDetectorIO_test_%1").arg(i));
        layout->addWidget(new QLabel(QString::number(i + 1)), 1, i + 1, Qt::AlignCenter);
        layout->addWidget(shpDetectorIO_test[i], 2, i + 1, Qt::AlignCenter);
    }
    for (int i = 0; i < kManualReleases; ++i) {
        shpManualIO_test[i] = makeIndicator(QStringLiteral("shpManualIO_test_%1").arg(i));
        layout->addWidget(new QLabel(QString::number(i + 1)), 3, i + 1, Qt::AlignCenter);
        layout->addWidget(shpManualIO_test[i], 4, i + 1, Qt::AlignCenter);
    }
    layout->setColumnStretch(kDetectors + 1, 1);
    return fraIO_test;
}

QPushButton* TestPage::makeHoldButton(const QString& name, const QString& caption, OutputItem item)
{
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    m_holdItems.insert(button, item);
    return button;
}

QLabel* TestPage::makeIndicator(const QString& name)
{
    return Lamp::Make(name, kInputInactive);
}

void TestPage::setIndicator(QLabel* indicator, bool active)
{
    Lamp::Set(indicator, active, active ? kInputActive : kInputInactive);
}

bool TestPage::IsShownActive(const QLabel* indicator)
{
    return Lamp::Colour(indicator) == kInputActive;
}

void TestPage::UpdateGroups()
{
    const bool scan = chkScanInputs->isChecked();
    fraManual_test->setEnabled(!m_runtimeRunning && !scan);
    fraBuzzer_test->setEnabled(!m_runtimeRunning && !scan);
    fraRunTime_test->setEnabled(m_runtimeRunning || !scan);
    fraIO_test->setEnabled(!m_runtimeRunning);
    // The group says why its buttons are off.
    const QString why =
        m_runtimeRunning ? QStringLiteral("Off while the timed test runs.")
        : scan ? QStringLiteral("Off while Tarn is in test mode for the input scan: untick \"Set "
                                "Tarn to test mode and scan inputs\" to use them.")
               : QString();
    lblManualOff_test->setText(why);
    lblManualOff_test->setVisible(!why.isEmpty());
    // A running timed test keeps its settings; only Stop is there to click.
    for (QWidget* setting : std::initializer_list<QWidget*>{
             hsbRuntime_test, spnRuntime_test, chkPump_test, optValve1_test, optValve2_test})
        setting->setEnabled(!m_runtimeRunning);
    // A disabled button gets no release.
    if (!fraManual_test->isEnabled())
        ReleaseHold();
}

bool TestPage::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (const auto it = m_holdItems.constFind(watched); it != m_holdItems.cend()) {
            if (static_cast<QWidget*>(watched)->isEnabled())
                PressHold(*it);
            // Any mouse button holds; the button itself reacts to the left one only, and a
            // press it ignores must not reach its parents as a press elsewhere.
            return static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton;
        }
        // A press elsewhere: the held button's release has been lost.
        if (watched->isWidgetType())
            ReleaseHold();
        break;
    case QEvent::MouseButtonRelease:
        ReleaseHold();
        break;
    case QEvent::MouseMove:
        if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
            ReleaseHold();
        break;
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
        if (watched == window())
            ReleaseHold();
        break;
    case QEvent::HideToParent:
        // The page was left.
        if (watched == this) {
            ReleaseHold();
            StopRuntimeTest = true;
        }
        break;
    default:
        break;
    }
    return false;
}

void TestPage::PressHold(OutputItem item)
{
    if (!m_host.LinkReady())
        return;
    if (m_hold.Press(item))
        QueueDrive();
}

void TestPage::ReleaseHold()
{
    if (!m_hold.Active())
        return;
    m_hold.Release();
    // Not from inside the event that told: the switching waits and lets events run.
    QueueDrive();
}

void TestPage::QueueDrive()
{
    ++m_drivesQueued;
    QMetaObject::invokeMethod(
        this,
        [this] {
            --m_drivesQueued;
            DriveHeldOutput();
        },
        Qt::QueuedConnection);
}

bool TestPage::Idle() const
{
    return !m_hold.Active() && !m_driving && !m_driveDeferred && m_drivesQueued == 0 &&
           !m_runtimeRunning;
}

void TestPage::DriveHeldOutput()
{
    if (m_driving)
        return;
    // Another request holds the line: its wait has to end before anything can be sent, and a
    // switching started inside it would only be refused.
    if (!WaitDepth::Idle()) {
        OutputItem item{};
        if (m_hold.Next(item) == HeldOutput::Action::SwitchOn)
            ShowStatus(DeferredHoldText(item));
        if (!m_driveDeferred) {
            m_driveDeferred = true;
            WaitDepth::WhenIdle(this, [this] {
                m_driveDeferred = false;
                DriveHeldOutput();
            });
        }
        return;
    }
    m_driving = true;
    OutputItem item{};
    for (auto action = m_hold.Next(item); action != HeldOutput::Action::None;
         action = m_hold.Next(item)) {
        if (action == HeldOutput::Action::SwitchOn)
            SwitchOn(item);
        else
            SwitchOff(item);
    }
    m_driving = false;
}

void TestPage::SwitchOn(OutputItem item)
{
    BusyPointer::Set();
    ShowStatus(HoldText(item));
    WaitProcessingEvents(kSwitchPause);
    // The program ended meanwhile: its outputs-off has gone or goes out, nothing comes after.
    if (m_hold.Ended()) {
        BusyPointer::Reset();
        return;
    }
    if (m_host.link())
        SetOutputItem(m_host.link()->OutPuts, item, 1);
    m_hold.SwitchedOn(item);
    ShowHeld(item, true);
    if (SendOutputs())
        if (HistoryRecorder* history = m_host.history())
            history->BeginFunctionTest({QString::fromStdString(OutputName(item))});
}

void TestPage::ShowHeld(OutputItem item, bool on)
{
    auto* button = qobject_cast<QPushButton*>(m_holdItems.key(item));
    if (!button)
        return;
    // The caption without the mark is kept the first time.
    if (!button->property(kCaptionProperty).isValid())
        button->setProperty(kCaptionProperty, button->text());
    const QString caption = button->property(kCaptionProperty).toString();
    button->setText(on ? caption + QStringLiteral(" ON") : caption);
    button->setDown(on);
}

void TestPage::SwitchOff(OutputItem item)
{
    m_hold.SwitchedOff();
    ShowHeld(item, false);
    if (ReleasesPumpAndValves(item)) {
        m_host.StopPumpAndValves();
        EndFunctionTest();
        return;
    }
    BusyPointer::Reset();
    WaitProcessingEvents(kSwitchPause);
    if (m_host.link())
        SetOutputItem(m_host.link()->OutPuts, item, 0);
    m_host.NoteOutputsOffSent(SendOutputs());
    EndFunctionTest();
    ShowStatus({});
}

void TestPage::EndFunctionTest()
{
    // Filed once the off word has gone out: the history never holds an output up.
    if (HistoryRecorder* history = m_host.history())
        history->EndFunctionTest();
}

void TestPage::StopTests()
{
    m_hold.Release();
    DriveHeldOutput();
    if (m_runtimeRunning && !m_runtimeOff) {
        m_runtimeTimer->stop();
        StopRuntimeTest = true;
        lblRunningtime_test->setText(QStringLiteral("-"));
        EndRuntimeTest();
    }
}

void TestPage::EndTests()
{
    m_hold.End();
    m_hold.Release();
    // The program's one outputs-off follows at once: what is on is only marked off here, so
    // that the controller gets the command once.
    BusyPointer::Reset();
    OutputItem item{};
    while (m_hold.Next(item) == HeldOutput::Action::SwitchOff) {
        m_hold.SwitchedOff();
        ShowHeld(item, false);
    }
    if (m_runtimeRunning && !m_runtimeOff) {
        m_runtimeTimer->stop();
        StopRuntimeTest = true;
        m_runtimeOff = true;
        lblRunningtime_test->setText(QStringLiteral("-"));
        cmdStartRuntime_test->setText(QStringLiteral("Start"));
        m_runtimeRunning = false;
        UpdateGroups();
    }
}

void TestPage::handleStartRuntimeClicked()
{
    if (m_runtimeRunning) {
        StopRuntimeTest = true;
        return;
    }
    if (m_hold.Ended() || !m_host.LinkReady())
        return;
    m_runtimeRunning = true;
    m_runtimeOff = false;
    StopRuntimeTest = false;
    cmdStartRuntime_test->setText(QStringLiteral("Stop"));
    UpdateGroups();

    if (m_host.link())
        SetTimedTestOutputs(m_host.link()->OutPuts, optValve1_test->isChecked(),
                            chkPump_test->isChecked());
    // The program may have ended while the command was under way.
    if (!SendOutputs() || m_runtimeOff) {
        EndRuntimeTest();
        return;
    }
    ShowStatus(std::string("Timed test: ") + (optValve1_test->isChecked() ? "Valve 1" : "Valve 2") +
               (chkPump_test->isChecked() ? " and pump" : "") + " on for " +
               std::to_string(spnRuntime_test->value()) + " s...");
    m_runtimeDuration = std::chrono::seconds(hsbRuntime_test->value());
    lblRunningtime_test->setText(QStringLiteral("%1 s").arg(hsbRuntime_test->value()));
    if (HistoryRecorder* history = m_host.history()) {
        QStringList outputs{optValve1_test->isChecked() ? QStringLiteral("Valve 1")
                                                        : QStringLiteral("Valve 2")};
        if (chkPump_test->isChecked())
            outputs.prepend(QStringLiteral("Pump"));
        history->BeginFunctionTest(outputs);
    }
    m_runtimeClock.start();
    m_runtimeTimer->start();
}

void TestPage::handleRuntimeTick()
{
    const qint64 left = m_runtimeDuration.count() - m_runtimeClock.elapsed();
    if (left > 0 && !StopRuntimeTest && !isHidden()) {
        lblRunningtime_test->setText(QLocale().toString(left / 1000.0, 'f', 1) +
                                     QStringLiteral(" s"));
        return;
    }
    m_runtimeTimer->stop();
    lblRunningtime_test->setText(QStringLiteral("-"));
    EndRuntimeTest();
}

void TestPage::EndRuntimeTest()
{
    if (!m_runtimeOff) {
        m_runtimeOff = true;
        m_host.StopPumpAndValves();
        EndFunctionTest();
    }
    cmdStartRuntime_test->setText(QStringLiteral("Start"));
    m_runtimeRunning = false;
    UpdateGroups();
}

void TestPage::handleScanInputsClicked()
{
    UpdateGroups();
    if (!chkScanInputs->isChecked()) {
        ScanInputsOn = false;
        return;
    }
    // No scan of the update timer runs inside this request.
    ScanInputsOn = false;
    ShowStatus("Test mode...");
    SendToTarn(TarnCommand::EnterTestMode);
    // The box may have been unticked while the request waited.
    ScanInputsOn = chkScanInputs->isChecked();
}

void TestPage::PeriodicWork()
{
    if (++TestModeTicks > kTestModeTicksMax) {
        ShowStatus("Test mode...");
        TestModeTicks = SendToTarn(TarnCommand::EnterTestMode) ? 0 : 1;
    }
    ScanInputs();
}

void TestPage::ScanInputs()
{
    if (!m_host.autoUpdate() || !m_host.link())
        return;
    ShowStatus("Scanning inputs...");
    const bool read = m_host.link()->Send(TarnCommand::ReadInputs);
    // What the controller no longer tells is greyed, as on the status page.
    for (QLabel* indicator : shpManualIO_test)
        indicator->setEnabled(read);
    for (QLabel* indicator : shpDetectorIO_test)
        indicator->setEnabled(read);
    if (!read)
        return;
    Tarn_Inputs& inputs = m_host.link()->Inputs;
    inputs.ResolveInputs(m_host.link()->TarnData);
    if (HistoryRecorder* history = m_host.history())
        history->NoteInputsRead();
    for (int16_t i = 0; i < kManualReleases; ++i)
        setIndicator(shpManualIO_test[i], inputs.ManualTrigger(i));
    for (int16_t i = 0; i < kDetectors; ++i)
        setIndicator(shpDetectorIO_test[i], inputs.Detector(i));
    ShowStatus({});
}

bool TestPage::SendOutputs()
{
    return m_host.link() &&
           m_host.link()->Send(TarnCommand::SetOutputs, m_host.link()->OutPuts.STU_Data());
}

bool TestPage::SendToTarn(int command)
{
    return m_host.link() && m_host.link()->Send(command);
}

void TestPage::ShowStatus(const std::string& text)
{
    m_host.ShowStatus(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}
