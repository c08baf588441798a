// An installed copy (cmake --install into a temporary prefix) started as a user would start it:
// no TARN_HOME, a fresh home folder, the program folder made in the user's data folder.

#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

/// Long enough for any machine, however loaded; a wait ends as soon as its condition holds.
constexpr int kInstallTimeoutMs = 120000;
constexpr int kProgramTimeoutMs = 30000;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestInstalledCopy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    QTemporaryDir m_home;
    QProcess m_program;

    QString userFolder() const { return m_home.filePath(QStringLiteral("data/TarnConf")); }
    QString installed(const QString& path) const { return m_prefix.filePath(path); }

    /// The installed tarnconf (or `program`) with the home folder and nothing of the build's
    /// environment.
    void startProgram(const QString& program = QStringLiteral("bin/tarnconf"),
                      const QStringList& args = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("TARN_HOME"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        m_program.setProcessEnvironment(env);
        m_program.setProcessChannelMode(QProcess::ForwardedChannels);
        m_program.start(installed(program), args);
        QVERIFY2(m_program.waitForStarted(), qPrintable(m_program.errorString()));
    }

    void stopProgram()
    {
        m_program.kill();
        m_program.waitForFinished();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid() && m_home.isValid());
        QProcess install;
        install.setProcessChannelMode(QProcess::ForwardedChannels);
        install.start(qEnvironmentVariable("TARN_CMAKE"),
                      {QStringLiteral("--install"), qEnvironmentVariable("TARN_BUILD"),
                       QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY(install.waitForFinished(kInstallTimeoutMs));
        QCOMPARE(install.exitCode(), 0);
    }

    void installedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("program") << "bin/tarnconf";
        QTest::newRow("simulator") << "bin/tarn-sim";
        QTest::newRow("sample") << "share/tarnconf/Tarn.INI";
        QTest::newRow("desktop entry")
            << "share/applications/example.tarn_systems.tarnconf.desktop";
        QTest::newRow("metadata") << "share/metainfo/example.tarn_systems.tarnconf.metainfo.xml";
        QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/tarnconf.svg";
        QTest::newRow("48 px icon") << "share/icons/hicolor/48x48/apps/tarnconf.png";
        QTest::newRow("program man page") << "share/man/man1/tarnconf.1.gz";
        QTest::newRow("simulator man page") << "share/man/man1/tarn-sim.1.gz";
        QTest::newRow("command line") << "bin/tarn";
        QTest::newRow("command line man page") << "share/man/man1/tarn.1.gz";
    }

    void installedFiles()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(path));
    }

    void validators_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("desktop entry")
            << "desktop-file-validate"
            << QStringList{installed("share/applications/example.tarn_systems.tarnconf.desktop")};
        QTest::newRow("metadata")
            << "appstreamcli"
            << QStringList{"validate", "--no-net",
                           installed("share/metainfo/example.tarn_systems.tarnconf.metainfo.xml")};
    }

    void validators()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + " is not installed (tools/run-tests.sh installs it)"));
        QProcess validator;
        validator.setProcessChannelMode(QProcess::ForwardedChannels);
        validator.start(tool, arguments);
        QVERIFY(validator.waitForFinished(kProgramTimeoutMs));
        QCOMPARE(validator.exitCode(), 0);
    }

    /// First start: the user's folder is made with the sample. Second start, after the user
    /// mapped COM1 to the simulator: the status is read and the user's file stays as it is.
    void firstAndSecondStart()
    {
        const QString ini = userFolder() + QStringLiteral("/Tarn.INI");
        const QByteArray sample = ReadAll(installed(QStringLiteral("share/tarnconf/Tarn.INI")));
        QVERIFY(!sample.isEmpty());
        QVERIFY(!QFileInfo::exists(userFolder()));

        startProgram();
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(ini) == sample, kProgramTimeoutMs);
        stopProgram();

        SimProcess sim;
        QVERIFY(sim.start());
        QByteArray edited = ReadAll(ini);
        edited += "\r\n[PORTS]\r\nCOM1=" + sim.slavePath().toLocal8Bit() + "\r\n";
        {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(edited), edited.size());
        }

        startProgram();
        // Command 52: the status read of the status page.
        QTRY_VERIFY_WITH_TIMEOUT(sim.codes().contains(52), kProgramTimeoutMs);
        QCOMPARE(ReadAll(ini), edited);
        QCOMPARE(QDir(userFolder()).entryList({"*.ini", "*.INI"}, QDir::Files),
                 QStringList{"Tarn.INI"});
        stopProgram();

        // The installed command line reads the same user's Tarn.INI.
        const qsizetype before = sim.codes().size();
        startProgram(QStringLiteral("bin/tarn"), {QStringLiteral("status")});
        QVERIFY(m_program.waitForFinished(kProgramTimeoutMs));
        QCOMPARE(m_program.exitCode(), 0);
        QCOMPARE(sim.codes().mid(before).first(), 64);
    }

    void cleanupTestCase()
    {
        if (m_program.state() != QProcess::NotRunning)
            stopProgram();
    }
};

QTEST_GUILESS_MAIN(TestInstalledCopy)
#include "tst_installedcopy.moc"
