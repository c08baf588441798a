#pragma once

#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"

#include <QString>
#include <QTimer>

/// A link as the program wires it: its port, its poll timer and Tarn_Comm, on COM1 of the
/// Tarn.INI at `iniPath` at `settings`. Not started.
struct BenchLink
{
    explicit BenchLink(const QString& iniPath, const QString& settings)
    {
        tarn.comm = &port;
        tarn.CommTimer = &timer;
        tarn.IniPath = iniPath;
        tarn.CommPort = 1;
        tarn.CommSettings = settings;
    }

    SerialPort port;
    QTimer timer;
    Tarn_Comm tarn;
};
