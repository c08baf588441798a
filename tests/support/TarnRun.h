#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

/// tarn (in TARN_BIN) run as a separate process to its end, standard input given or empty.
struct TarnRun
{
    static constexpr int kRunTimeoutMs = 60000;

    /// Starts tarn with `args` in the locale `locale`; false when it did not start.
    static bool Start(QProcess& tarn, const QStringList& args,
                      const QString& locale = QStringLiteral("C"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), locale);
        tarn.setProcessEnvironment(env);
        tarn.start(qEnvironmentVariable("TARN_BIN") + QStringLiteral("/tarn"), args);
        return tarn.waitForStarted();
    }

    /// Runs tarn to its end; standard output goes into `stdoutFile` when one is given.
    static TarnRun Run(const QStringList& args, const QByteArray& input = {},
                       const QString& locale = QStringLiteral("C"), const QString& stdoutFile = {})
    {
        TarnRun result;
        QProcess tarn;
        if (!stdoutFile.isEmpty())
            tarn.setStandardOutputFile(stdoutFile);
        if (!Start(tarn, args, locale))
            return result;
        tarn.write(input);
        tarn.closeWriteChannel();
        if (!tarn.waitForFinished(kRunTimeoutMs) || tarn.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = tarn.exitCode();
        result.out = tarn.readAllStandardOutput();
        result.err = QString::fromUtf8(tarn.readAllStandardError());
        return result;
    }

    int exitCode = -1; ///< -1: not started, not ended in time, or crashed
    QByteArray out;
    QString err;
};
