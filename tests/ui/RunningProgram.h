#pragma once

#include "ProgramHome.h"
#include "ScriptedMessageBoxes.h"
#include "SimProcess.h"
#include "TestFiles.h"

#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/TarnDateTime.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/ElidingLabel.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/StatusPage.h"
#include "ui/main/frmMain.h"
#include "ui/tests/TestPage.h"

// The widgets the window tests reach into.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

/// The program as a window test runs it: its own program folder, tarn-sim on COM1 when
/// started, message boxes from a script, and the main window.
class RunningProgram
{
public:
    /// The waiting is not under test here; a dead line should not slow the tests down.
    static constexpr std::chrono::milliseconds kShortReplyTimeout{1500};

    /// Starts the simulator with `options`, then sends it the control `lines`.
    bool startSim(const QStringList& options = {}, const QStringList& lines = {})
    {
        bool ok = sim.start(options);
        for (const QString& line : lines)
            ok = ok && sim.command(line);
        return ok;
    }

    /// Tarn.INI (as `iniName`) with COM1, COM2... on `devices` (COM1 on the simulator when
    /// none are given), then frmMain::Load.
    bool load(const QStringList& devices = {}, const QString& iniName = QStringLiteral("Tarn.INI"))
    {
        // COM2 and on follow COM1's line.
        QString ports = devices.value(0, sim.slavePath());
        for (int k = 1; k < devices.size(); ++k)
            ports += QStringLiteral("\r\nCOM%1=%2").arg(k + 1).arg(devices[k]);
        if (!home.installIni(ports, iniName))
            return false;
        window = std::make_unique<frmMain>(boxes);
        const bool loaded = window->Load();
        if (window->tarn)
            window->tarn->replyTimeout = kShortReplyTimeout;
        return loaded;
    }

    ProgramHome home;
    SimProcess sim;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<frmMain> window;
};

/// A window test case: a fresh program for every case, which fails when a scripted box was
/// not shown.
class ProgramTest : public QObject
{
    Q_OBJECT
protected:
    using Kind = ScriptedMessageBoxes::Kind;
    static constexpr int kStatusTab = 0;
    static constexpr int kTestTab = 1;
    static constexpr int kEventLogTab = 2;
    static constexpr int kCheckMs = 5;

    std::unique_ptr<RunningProgram> m_program;
    frmMain* window() const { return m_program->window.get(); }
    SimProcess& sim() const { return m_program->sim; }
    ScriptedMessageBoxes& boxes() const { return m_program->boxes; }
    void setTab(int index) const { window()->tabCtrl->setCurrentIndex(index); }

    /// The simulator with `options` and `lines`, and the program loaded on it.
    bool startProgram(const QStringList& options = {}, const QStringList& lines = {})
    {
        return m_program->startSim(options, lines) && m_program->load();
    }
    /// The simulator with `lines` on the device ttyTarn in the program's home, and the program
    /// loaded on that device with its update timer stopped; the device, or nothing on failure.
    QString startOnDevice(const QStringList& lines = {})
    {
        const QString device = m_program->home.filePath(u"ttyTarn"_s);
        if (!m_program->startSim({u"--link"_s, device}, lines) || !m_program->load({device}))
            return {};
        window()->updTimer->stop();
        return device;
    }

    /// Clicks `button` inside a wait (the pause after a reply): true when the one dialog the
    /// caller expects opens not there, which would hold the wait up, but once it has ended.
    bool clickedInsideAWait(QAbstractButton* button)
    {
        int pendingInWait = -1;
        QTimer::singleShot(0, button, [this, button, &pendingInWait] {
            button->click();
            pendingInWait = boxes().pending();
        });
        WaitProcessingEvents(Tarn_Comm::kPostReplyPause);
        return pendingInWait == 1 && QTest::qWaitFor([this] { return boxes().pending() == 0; });
    }

    /// Runs `action` from inside the loop that is waiting once the event list holds `rows`.
    void whenRows(int rows, const std::function<void()>& action)
    {
        auto* check = new QTimer(window());
        connect(check, &QTimer::timeout, window(), [=, this] {
            if (window()->picLog->lvLog->topLevelItemCount() < rows)
                return;
            check->deleteLater();
            check->stop();
            action();
        });
        check->start(kCheckMs);
    }

protected slots:
    virtual void initTestCase() { QLocale::setDefault(QLocale::c()); }
    virtual void init()
    {
        qputenv("TARN_EDITOR", "/bin/true");
        m_program = std::make_unique<RunningProgram>();
    }
    virtual void cleanup()
    {
        QCOMPARE(boxes().pending(), 0);
        m_program.reset();
        QLocale::setDefault(QLocale::c());
    }
};
