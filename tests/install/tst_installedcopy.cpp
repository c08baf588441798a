// An installed copy (cmake --install into a temporary prefix) started as a user would start it:
// no TARN_HOME, a fresh home folder, the program folder made in the user's data folder.

#include "SimProcess.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

/// Long enough for any machine, however loaded; a wait ends as soon as its condition holds.
constexpr int kInstallTimeoutMs = 120000;
constexpr int kProgramTimeoutMs = 30000;

} // namespace

class TestInstalledCopy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    QTemporaryDir m_home;
    QProcess m_program;

    QString userFolder() const { return m_home.filePath(u"data/TarnConf"_s); }
    QString installed(const QString& path) const { return m_prefix.filePath(path); }

    /// The installed tarnconf (or `program`) with the home folder and nothing of the build's
    /// environment.
    void startProgram(const QString& program = u"bin/tarnconf"_s, const QStringList& args = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"TARN_HOME"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"HOME"_s, m_home.path());
        env.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"data"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_home.path());
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
        install.start(
            qEnvironmentVariable("TARN_CMAKE"),
            {u"--install"_s, qEnvironmentVariable("TARN_BUILD"), u"--prefix"_s, m_prefix.path()});
        QVERIFY(install.waitForFinished(kInstallTimeoutMs));
        QCOMPARE(install.exitCode(), 0);
    }

    /// Every file in its place; the desktop entry and the metadata pass their validators.
    void installedFiles()
    {
        const QString desktop = u"share/applications/example.tarn_systems.tarnconf.desktop"_s;
        const QString metadata = u"share/metainfo/example.tarn_systems.tarnconf.metainfo.xml"_s;
        for (const QString& path :
             {u"bin/tarnconf"_s, u"bin/tarn-sim"_s, u"bin/tarn"_s, u"share/tarnconf/Tarn.INI"_s,
              desktop, metadata, u"share/icons/hicolor/scalable/apps/tarnconf.svg"_s,
              u"share/icons/hicolor/48x48/apps/tarnconf.png"_s, u"share/man/man1/tarnconf.1.gz"_s,
              u"share/man/man1/tarn-sim.1.gz"_s, u"share/man/man1/tarn.1.gz"_s})
            QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(path));
        for (QStringList command :
             {QStringList{u"desktop-file-validate"_s, installed(desktop)},
              {u"appstreamcli"_s, u"validate"_s, u"--no-net"_s, installed(metadata)}}) {
            const QString tool = command.takeFirst();
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(tool + " is not installed (tools/run-tests.sh installs it)"));
            QProcess validator;
            validator.setProcessChannelMode(QProcess::ForwardedChannels);
            validator.start(tool, command);
            QVERIFY(validator.waitForFinished(kProgramTimeoutMs));
            QCOMPARE(validator.exitCode(), 0);
        }
    }

    void manPages_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("namesSample");
        QTest::newRow("tarnconf") << u"tarnconf"_s << true;
        QTest::newRow("tarn") << u"tarn"_s << true;
        QTest::newRow("tarn-sim") << u"tarn-sim"_s << false;
    }

    /// Every option and command that a program's --help lists heads an entry of its man page,
    /// whole on one line at 80 columns; the page renders without a warning and names the
    /// sample Tarn.INI where this install put it.
    void manPages()
    {
        QFETCH(QString, program);
        QFETCH(bool, namesSample);
        for (const QString& tool : {u"man"_s, u"gzip"_s})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(tool + " is not installed"));
        const QString page = installed(u"share/man/man1/%1.1.gz"_s.arg(program));

        QProcess help;
        help.start(installed(u"bin/"_s + program), {u"--help"_s});
        QVERIFY(help.waitForFinished(kProgramTimeoutMs));
        QCOMPARE(help.exitCode(), 0);
        // "  TERM  what it does": two blanks, the term, then two or more blanks or the end.
        const QRegularExpression termLine(u"^  (\\S.*?)(?:\\s{2,}|$)"_s);
        QStringList terms;
        for (const QString& line : QString::fromUtf8(help.readAllStandardOutput()).split(u'\n'))
            if (const QRegularExpressionMatch match = termLine.match(line); match.hasMatch())
                terms << match.captured(1);
        QVERIFY(terms.size() >= 3);

        QProcess man;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        env.insert(u"MANWIDTH"_s, u"80"_s);
        env.remove(u"MAN_KEEP_FORMATTING"_s);
        man.setProcessEnvironment(env);
        man.start(u"man"_s, {u"--warnings"_s, u"-l"_s, page});
        QVERIFY(man.waitForFinished(kProgramTimeoutMs));
        QCOMPARE(man.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(man.readAllStandardError()), QString());
        QStringList lines = QString::fromUtf8(man.readAllStandardOutput()).split(u'\n');
        for (QString& line : lines)
            line = line.trimmed();
        for (const QString& term : terms) {
            const bool heads =
                std::any_of(lines.begin(), lines.end(), [&term](const QString& line) {
                    return line == term || line.startsWith(term + u' ');
                });
            QVERIFY2(heads, qPrintable(term));
        }

        QProcess source;
        source.start(u"gzip"_s, {u"-dc"_s, page});
        QVERIFY(source.waitForFinished(kProgramTimeoutMs));
        const QByteArray text = source.readAllStandardOutput();
        QVERIFY(!text.contains('@'));
        QCOMPARE(text.contains(QFile::encodeName(installed(u"share/tarnconf/Tarn.INI"_s))),
                 namesSample);
    }

    /// First start: the user's folder is made with the sample. Second start, after the user
    /// mapped COM1 to the simulator: the status is read and the user's file stays as it is.
    void firstAndSecondStart()
    {
        const QString ini = userFolder() + u"/Tarn.INI"_s;
        const QByteArray sample = ReadAll(installed(u"share/tarnconf/Tarn.INI"_s));
        QVERIFY(!sample.isEmpty());

        startProgram();
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(ini) == sample, kProgramTimeoutMs);
        stopProgram();

        SimProcess sim;
        QVERIFY(sim.start());
        QByteArray edited = ReadAll(ini);
        edited += "\r\n[PORTS]\r\nCOM1=" + sim.slavePath().toLocal8Bit() + "\r\n";
        QVERIFY(WriteAll(ini, edited));

        startProgram();
        // Command 52: the status read of the status page.
        QTRY_VERIFY_WITH_TIMEOUT(sim.codes().contains(52), kProgramTimeoutMs);
        QCOMPARE(ReadAll(ini), edited);
        QCOMPARE(QDir(userFolder()).entryList({"*.ini", "*.INI"}, QDir::Files),
                 QStringList{"Tarn.INI"});
        stopProgram();

        // The installed command line reads the same user's Tarn.INI.
        const qsizetype before = sim.codes().size();
        startProgram(u"bin/tarn"_s, {u"status"_s});
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
