#pragma once

#include <csignal>
#include <sys/types.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>

#include <pwd.h>
#include <unistd.h>

/// A throwaway PostgreSQL cluster of its own, listening only on a Unix socket in its temporary
/// folder, with the superuser "tarn" trusted. initdb refuses root: as root the server's programs
/// run as the user "postgres" (Debian's postgresql package).
class PostgresCluster
{
public:
    static constexpr const char* kUser = "tarn";
    static constexpr const char* kServerUser = "postgres";
    /// How long the server may take to start or to stop.
    static constexpr std::chrono::seconds kStartTimeout{30};
    /// How often a starting server is asked whether it takes connections yet.
    static constexpr std::chrono::milliseconds kReadyPoll{100};

    PostgresCluster() : m_dir(QDir::tempPath() + QStringLiteral("/tarn-pg-XXXXXX"))
    {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& version : versions) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
            if (QFile::exists(bin + QStringLiteral("/initdb")))
                m_bin = bin;
        }
    }
    ~PostgresCluster()
    {
        QString ignored;
        stop(ignored);
    }
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    /// Empty when the server's programs are there.
    QString missing() const
    {
        return m_bin.isEmpty() ? QStringLiteral("PostgreSQL's server programs are not installed "
                                                "(Debian package postgresql)")
                               : QString();
    }

    /// The archive's address of the cluster's database "postgres".
    QString address() const
    {
        return QStringLiteral("postgresql://%1@%2/postgres")
            .arg(QLatin1String(kUser), m_dir.path());
    }

    /// A new cluster, started.
    bool ready(QString& errText) { return init(errText) && start(errText); }

    bool init(QString& errText)
    {
        if (!m_dir.isValid() || !missing().isEmpty()) {
            errText = missing();
            return false;
        }
        if (geteuid() == 0) {
            const passwd* owner = getpwnam(kServerUser);
            if (!owner || ::chown(QFile::encodeName(m_dir.path()).constData(), owner->pw_uid,
                                  owner->pw_gid) != 0) {
                errText = QStringLiteral("the folder cannot be given to the user postgres");
                return false;
            }
        }
        return run(QStringLiteral("initdb"),
                   {QStringLiteral("-D"), dataPath(), QStringLiteral("-U"), QLatin1String(kUser),
                    QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("--no-sync"),
                    QStringLiteral("-E"), QStringLiteral("UTF8")},
                   errText);
    }

    bool start(QString& errText)
    {
        QStringList command = asServerUser(
            QStringLiteral("postgres"),
            {QStringLiteral("-D"), dataPath(), QStringLiteral("-k"), m_dir.path(),
             QStringLiteral("-c"), QStringLiteral("listen_addresses="), QStringLiteral("-F")});
        m_server.setStandardErrorFile(m_dir.filePath(QStringLiteral("server.log")),
                                      QIODevice::Append);
        m_server.start(command.takeFirst(), command);
        if (!m_server.waitForStarted()) {
            errText = m_server.errorString();
            return false;
        }
        for (auto waited = std::chrono::milliseconds(0); waited < kStartTimeout;
             waited += kReadyPoll) {
            QString ignored;
            if (run(QStringLiteral("pg_isready"),
                    {QStringLiteral("-q"), QStringLiteral("-h"), m_dir.path(), QStringLiteral("-U"),
                     QLatin1String(kUser)},
                    ignored))
                return true;
            if (m_server.state() != QProcess::Running)
                break;
            QThread::msleep(kReadyPoll.count());
        }
        errText = QStringLiteral("the server did not start; see %1")
                      .arg(m_dir.filePath(QStringLiteral("server.log")));
        return false;
    }

    bool stop(QString& errText)
    {
        if (m_server.state() == QProcess::NotRunning)
            return true;
        const bool stopped =
            run(QStringLiteral("pg_ctl"),
                {QStringLiteral("stop"), QStringLiteral("-D"), dataPath(), QStringLiteral("-m"),
                 QStringLiteral("fast"), QStringLiteral("-w")},
                errText);
        m_server.waitForFinished(int(std::chrono::milliseconds(kStartTimeout).count()));
        return stopped;
    }

    /// Sends `signal` to the server and every process it started (SIGSTOP: a server that stops
    /// answering without closing its connections).
    bool signalAll(int signal) const
    {
        QFile pidFile(dataPath() + QStringLiteral("/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            return false;
        const QByteArray postmaster = pidFile.readLine().trimmed();
        QList<pid_t> pids{static_cast<pid_t>(postmaster.toInt())};
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            // pid (name) state ppid ...
            if (stat.open(QIODevice::ReadOnly)) {
                const QByteArray line = stat.readAll();
                const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
                if (fields.size() > 1 && fields[1] == postmaster)
                    pids << static_cast<pid_t>(entry.toInt());
            }
        }
        bool all = pids.first() > 0;
        for (const pid_t pid : pids)
            all = ::kill(pid, signal) == 0 && all;
        return all;
    }

private:
    QString dataPath() const { return m_dir.filePath(QStringLiteral("data")); }

    QStringList asServerUser(const QString& program, const QStringList& args) const
    {
        const QString path = m_bin + u'/' + program;
        if (geteuid() != 0)
            return QStringList{path} + args;
        return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"),
                           QLatin1String(kServerUser), QStringLiteral("--"), path} +
               args;
    }

    bool run(const QString& program, const QStringList& args, QString& errText) const
    {
        QStringList command = asServerUser(program, args);
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(command.takeFirst(), command);
        if (!process.waitForFinished(int(std::chrono::milliseconds(kStartTimeout).count())) ||
            process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            errText = QStringLiteral("%1 failed: %2")
                          .arg(program, QString::fromLocal8Bit(process.readAll()).trimmed());
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QProcess m_server;
};
