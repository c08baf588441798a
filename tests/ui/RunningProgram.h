#pragma once

#include "ProgramHome.h"
#include "ScriptedMessageBoxes.h"
#include "SimProcess.h"

#include "link/Tarn_Comm.h"
#include "ui/main/frmMain.h"

#include <memory>

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

    /// Tarn.INI (as `iniName`) with COM1 on the simulator or on `device`, then frmMain::Load.
    bool load(const QString& device = {}, const QString& iniName = QStringLiteral("Tarn.INI"))
    {
        if (!home.installIni(device.isEmpty() ? sim.slavePath() : device, iniName))
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
