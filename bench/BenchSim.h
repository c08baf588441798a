#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>

/// What the benchmarks share: tarn-sim as a child process on a pseudo-terminal, the program
/// folder's Tarn.INI, and the wire time of bytes at the line rate.
namespace BenchSim {

inline constexpr int kLineRate = 9600;
inline constexpr int kBitsPerByte = 10;
inline constexpr int kStartTimeoutMs = 10000;

/// tarn-sim from TARN_SIM, else the one the benchmarks were built with.
QString Path();
/// Starts tarn-sim with `options` and waits until it serves; false, with a message on
/// standard error, when it does not.
bool Start(QProcess& sim, const QStringList& options);
/// Start on a link at `link`, at kLineRate when `lineRate`, else without line timing.
bool StartOnLink(QProcess& sim, const QString& link, bool lineRate,
                 const QStringList& options = {});
/// Sends a control line to its standard input; true when it answers OK.
bool Command(QProcess& sim, const QByteArray& line);
/// Ends it and waits for its end.
void Stop(QProcess& sim);
/// The shipped Tarn.INI as `path`, with COM1 mapped to `device`.
bool WriteSampleIni(const QString& path, const QString& device);
/// How long `bytes` take on the line at kLineRate, in milliseconds.
double WireMs(std::size_t bytes);
/// CPU time this process has used, user and system, in seconds.
double CpuSeconds();
/// This process's resident memory in MiB.
double ResidentMiB();
/// Sets QT_QPA_PLATFORM to offscreen unless it is set.
void OffscreenUnlessSet();
/// Lets the program run for `duration`, as its own event loop does between two events: not
/// a wait of the program's (those hold its periodic work back).
void RunFor(std::chrono::milliseconds duration);

} // namespace BenchSim
