#pragma once

#include "BenchArguments.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

/// The start every benchmark makes: its command line read, a folder of its own for tarn-sim's
/// line and the program's files, Tarn.INI there, tarn-sim started on the line, and the main
/// window loaded on it.
class BenchStart
{
public:
    /// `windows`: the benchmark shows windows; they go offscreen unless QT_QPA_PLATFORM is set.
    explicit BenchStart(BenchArguments arguments, bool windows = false);

    /// Reads the command line; false when the program must end, with exitCode() as its exit
    /// code.
    bool Read(int argc, char* argv[]);
    int exitCode() const { return m_arguments.exitCode(); }
    const BenchArguments& arguments() const { return m_arguments; }

    /// The benchmark's folder, removed at its end.
    const QTemporaryDir& folder() const { return m_folder; }
    QString path(const QString& name) const { return m_folder.filePath(name); }
    /// Where tarn-sim makes its line: "tty" in the folder.
    QString link() const { return path(QStringLiteral("tty")); }

    /// The shipped Tarn.INI in the folder with COM1 on the line, and TARN_HOME naming the
    /// folder, so that the programs started read it.
    bool UseSampleIni() const;
    /// tarn-sim on the line, at the line rate when `lineRate`; false, with a message on
    /// standard error, when it does not start.
    bool StartSim(QProcess& sim, bool lineRate, const QStringList& options = {}) const;
    /// A Tarn.INI at `iniPath` that only maps COM1 to `link`.
    static bool WritePortsIni(const QString& iniPath, const QString& link);

    /// `window`'s Load (frmMain's) on the simulator; false, with a message naming `program`,
    /// when the program did not start on it.
    template <class Window> static bool Loaded(Window& window, const char* program)
    {
        if (window.Load() && window.tarn && window.tarn->isStarted())
            return true;
        std::fprintf(stderr, "%s: the program did not start on the simulator\n", program);
        return false;
    }

private:
    BenchArguments m_arguments;
    QTemporaryDir m_folder;
};
