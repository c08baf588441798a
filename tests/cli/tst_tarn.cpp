#include "CsvReadBack.h"
#include "ProgramHome.h"
#include "SimProcess.h"
#include "SmallDisk.h"
#include "TarnRun.h"
#include "TarnVersion.h"
#include "TestFiles.h"
#include "controller/FunctionTest.h"
#include "history/HistoryArchive.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <QScopeGuard>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int kRunTimeoutMs = TarnRun::kRunTimeoutMs;
/// For a line that tarn prints while it runs.
constexpr int kLineTimeoutMs = 10000;
const auto Line = &SimProcess::Line;

/// The event lines of a TSV report (after its header line).
int TsvEvents(const QByteArray& report)
{
    return static_cast<int>(report.count("\r\n")) - 1;
}
} // namespace

/// tarn run as a user runs it: its own process, its own Tarn.INI with COM1 on tarn-sim.
class tst_Tarn : public QObject
{
    Q_OBJECT

    /// The simulator with `simOptions`, and Tarn.INI with COM1 on it.
    static bool onSim(SimProcess& sim, ProgramHome& home, const QStringList& simOptions = {})
    {
        return sim.start(simOptions) && home.installIni(sim.slavePath());
    }
    /// The simulator with `simOptions` and `simLines`, Tarn.INI on it, then tarn to its end.
    static TarnRun run(SimProcess& sim, ProgramHome& home, const QStringList& args,
                       const QStringList& simOptions = {}, const QStringList& simLines = {},
                       const QByteArray& input = {})
    {
        bool ready = onSim(sim, home, simOptions);
        for (const QString& line : simLines)
            ready = ready && sim.command(line);
        return ready ? TarnRun::Run(args, input) : TarnRun();
    }

private slots:
    void commandFrames_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        /// The journal; an entry ending in "*" matches any data after it.
        QTest::addColumn<QStringList>("journal");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("simLines");
        QTest::addColumn<QByteArray>("input");
        /// With --trace: a line of the trace on standard error, after its time of day.
        QTest::addColumn<QString>("trace");
        const auto row = [](const char* name, const QStringList& args, int exitCode,
                            const QStringList& journal, const QString& message = {},
                            const QStringList& simOptions = {}, const QStringList& simLines = {},
                            const QByteArray& input = {}, const QString& trace = {}) {
            QTest::newRow(name) << args << exitCode << journal << message << simOptions << simLines
                                << input << trace;
        };
        const QString updated = u"Tarn was updated succesfully!"_s;
        row("status", {u"status"_s}, 0, SimProcess::kStatusRead, {}, {}, {}, {},
            u"<  64 '@' data=56322E3037 text=\"V2.07\" reply"_s);
        row("status, a part refused", {u"status"_s}, 1, SimProcess::kStatusRead,
            u"Tarn refused a part of the status"_s, {u"--nak"_s, u"55"_s});
        row("log --all", {u"log"_s, u"--all"_s}, 0,
            {u"64"_s, u"51"_s, u"66 01"_s, u"48"_s, u"48"_s, u"48"_s}, {}, {u"--events"_s, u"2"_s});
        row("log --all, old firmware: no rewind", {u"log"_s, u"--all"_s}, 1, {u"64"_s},
            u"V 2.07 or later"_s, {u"--version"_s, u"V2.05"_s});
        row("log: new events only", {u"log"_s}, 0, {u"64"_s, u"51"_s, u"48"_s, u"48"_s}, {},
            {u"--events"_s, u"1"_s});
        row("log: the version refused", {u"log"_s}, 1, {u"64"_s},
            u"Tarn could not be identified: its version reply tells no version."_s,
            {u"--nak"_s, u"64"_s});
        row("status: a version reply without a version", {u"status"_s}, 1,
            SimProcess::kStatusRead.mid(0, 7), u"it is not read"_s, {}, {u"ack 64 X"_s});
        row("log: the serial number refused", {u"log"_s}, 1, {u"64"_s, u"51"_s},
            u"Tarn could not be identified (serial number): Tarn refused the request."_s,
            {u"--nak"_s, u"51"_s});
        row("log: the next event refused", {u"log"_s}, 1, {u"64"_s, u"51"_s, u"48"_s},
            u"Tarn refused to send the next event; 0 events read."_s,
            {u"--events"_s, u"1"_s, u"--nak"_s, u"48"_s});
        // A write identifies the controller in the same action and reads what it leaves as it
        // is right before it: the history files it under that controller's serial number.
        const QStringList identity{u"64"_s, u"51"_s, u"55"_s};
        // The clock as it read right before it was set, for the history.
        const QStringList clock = identity + QStringList{u"50"_s, u"65 *"_s};
        row("set-clock", {u"set-clock"_s}, 0, clock, updated);
        row("set-clock refused", {u"set-clock"_s}, 1, clock,
            u"Communication error. NAK recieved. Command H41"_s, {}, {u"ack 65 NAK"_s});
        // The zones' messages and outputs go back as the controller reported them.
        row("set-delays", {u"set-delays"_s, u"10"_s, u"20"_s, u"30"_s}, 0,
            identity + QStringList{Line(98, "0A0A141E01020301020400")}, updated);
        row("set-delays: refused value", {u"set-delays"_s, u"10"_s, u"251"_s, u"30"_s}, 2, {},
            u"Incorrect value (Manual Alarm Delay)"_s);
        row("outputs: one command, whole word",
            {u"outputs"_s, u"pump=1"_s, u"valve2=1"_s, u"valve1=0"_s}, 0, {Line(100, "0500")});
        row("outputs, switched on: a warning that they stay on", {u"outputs"_s, u"pump=1"_s}, 0,
            {Line(100, "0100")},
            u"tarn: the outputs stay on until they are switched off (tarn outputs off)."_s);
        row("outputs off", {u"outputs"_s, u"off"_s}, 0, {Line(100, "0000")});
        row("outputs --for, its controller not identified after it",
            {u"outputs"_s, u"pump=1"_s, u"--for"_s, u"1"_s}, 1,
            {Line(100, "0100"), Line(100, "0000"), u"64"_s, u"51"_s},
            u"tarn: the test is not kept in the service history"_s, {u"--nak"_s, u"51"_s});
        // A word lost on the line may have left an output on: it goes again.
        row("outputs off, unanswered once", {u"outputs"_s, u"off"_s}, 0,
            {Line(100, "0000"), Line(100, "0000")}, u"Communication timeout error."_s, {},
            {u"mute 1 100"_s});
        row("outputs off, never answered", {u"outputs"_s, u"off"_s}, 1,
            QStringList(3, Line(100, "0000")), u"Communication timeout error."_s, {},
            {u"mute 5 100"_s});
        row("outputs off takes no --for", {u"outputs"_s, u"off"_s, u"--for"_s, u"1"_s}, 2, {},
            u"tarn: outputs off does not take --for"_s);
        row("outputs --for 0", {u"outputs"_s, u"pump=1"_s, u"--for"_s, u"0"_s}, 2, {},
            u"--for takes a number of seconds from 1 to 86400"_s);
        row("outputs: unknown name, one past the last extra",
            {u"outputs"_s, u"extra4=1"_s, u"extra5=1"_s}, 2, {},
            u"tarn: extra5=1 is not NAME=0 or NAME=1 with a NAME of pump valve1 valve2 buzzer "
            u"alarm extra1 extra2 extra3 extra4"_s);
        const QStringList deleteLog = identity + QStringList{u"66 00"_s};
        row("delete-log --yes", {u"delete-log"_s, u"--yes"_s}, 0, deleteLog, updated, {}, {}, {},
            u"<  66 'B' data=41434B text=\"ACK\" ACK"_s);
        row("delete-log --yes refused", {u"delete-log"_s, u"--yes"_s}, 1, deleteLog,
            u"Could not update Tarn!"_s, {}, {u"ack 66 NAK"_s});
        row("delete-log, confirmed", {u"delete-log"_s}, 0, deleteLog, updated, {}, {}, "y\n");
        row("delete-log, declined", {u"delete-log"_s}, 0, {}, u"Nothing deleted."_s, {}, {}, "n\n");
        row("detect", {u"detect"_s}, 0, {u"64"_s},
            u"Auto detect has succesfully connected to Tarn using COM1."_s);
        row("NAK by command", {u"outputs"_s, u"buzzer=1"_s}, 1, {u"100 *"_s},
            u"Communication error. NAK recieved. Command H64"_s, {}, {u"ack 100 NAK"_s}, {},
            u"< 100 'd' data=4E414B text=\"NAK\" not acknowledged"_s);
        row("time-out", {u"status"_s}, 1, {u"64"_s}, u"Communication timeout error."_s, {},
            {u"mute 1"_s}, {}, u"!  64 '@' time-out"_s);
        // Found out before any event is read.
        row("log --output in a missing folder", {u"log"_s, u"--output"_s, u"no/such/dir/e.tsv"_s},
            2, {}, u"cannot be written: No such file or directory"_s, {u"--events"_s, u"20"_s});
        row("bad option", {u"status"_s, u"--all"_s}, 2, {}, u"status does not take --all"_s);
        const QString portRange = u"--port takes a number from 1 to 15"_s;
        row("port 0", {u"--port"_s, u"0"_s, u"status"_s}, 2, {}, portRange);
        row("port 16", {u"--port"_s, u"16"_s, u"status"_s}, 2, {}, portRange);
        row("no command", {}, 2, {}, u"no command given"_s);
    }

    void commandFrames()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, journal);
        QFETCH(QString, message);
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, simLines);
        QFETCH(QByteArray, input);
        QFETCH(QString, trace);

        SimProcess sim;
        ProgramHome home;
        if (!trace.isEmpty())
            args.prepend(u"--trace"_s);
        const TarnRun result = run(sim, home, args, simOptions, simLines, input);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(sim.journal(), SimProcess::Wildcarded(journal, sim.journal()));
        const QRegularExpression line(u"^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "_s +
                                          QRegularExpression::escape(trace) + u'$',
                                      QRegularExpression::MultilineOption);
        QVERIFY2(trace.isEmpty() || line.match(result.err).hasMatch(), qPrintable(result.err));
    }

    void informational_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        /// A line that standard output holds.
        QTest::addColumn<QString>("line");
        const QString version = u" (TarnConf) " TARN_VERSION_TEXT ""_s;
        QTest::newRow("tarn --version")
            << u"tarn"_s << QStringList{u"--version"_s} << u"tarn"_s + version;
        QTest::newRow("tarnconf --version")
            << u"tarnconf"_s << QStringList{u"--version"_s} << u"tarnconf"_s + version;
        QTest::newRow("tarnconf --help")
            << u"tarnconf"_s << QStringList{u"--help"_s} << u"Usage: tarnconf [-K]"_s;
    }

    /// Told and done without a controller, a Tarn.INI or a window.
    void informational()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, line);
        const QString path = qEnvironmentVariable("TARN_BIN") + u'/' + program;
        if (!QFileInfo::exists(path))
            QSKIP("built without the window program");
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"QT_QPA_PLATFORM"_s);
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        process.setProcessEnvironment(env);
        process.start(path, args);
        QVERIFY(process.waitForFinished(kRunTimeoutMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardError(), QByteArray());
        QVERIFY(QString::fromUtf8(process.readAllStandardOutput()).split(u'\n').contains(line));
    }

    /// The outputs go off after the time, or at once on Ctrl+C or a termination. On a
    /// terminal the seconds left count down; into a pipe nothing is said. The history keeps
    /// the test, its controller asked for only after the off word.
    void outputsFor_data()
    {
        QTest::addColumn<QString>("seconds");
        /// The signal sent once the outputs are on; 0 for none.
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("terminal"); ///< standard error on a pseudo-terminal
        /// The first off word gets no answer: it goes again.
        QTest::addColumn<bool>("offLost");
        QTest::newRow("after the time") << u"1"_s << 0 << QString() << false << false;
        QTest::newRow("after the time, on a terminal")
            << u"2"_s << 0 << u"\rtarn: outputs on, 2 s left \rtarn: outputs on, 1 s left "_s
            << true << false;
        QTest::newRow("after the time, the off word lost")
            << u"1"_s << 0 << u"Communication timeout error."_s << false << true;
        // Longer than the test waits for the program's end.
        QTest::newRow("Ctrl+C") << u"600"_s << int(SIGINT) << u"all outputs are off."_s << false
                                << false;
        QTest::newRow("terminated")
            << u"600"_s << int(SIGTERM) << u"all outputs are off."_s << false << false;
    }

    void outputsFor()
    {
        QFETCH(QString, seconds);
        QFETCH(int, signal);
        QFETCH(QString, message);
        QFETCH(bool, terminal);
        QFETCH(bool, offLost);
        SimProcess sim;
        ProgramHome home;
        QVERIFY(onSim(sim, home));
        QProcess tarn;
        int master = -1;
        int slave = -1;
        const auto closePty = qScopeGuard([&] {
            if (slave >= 0)
                ::close(slave);
            if (master >= 0)
                ::close(master);
        });
        if (terminal) {
            master = ::posix_openpt(O_RDWR | O_NOCTTY);
            QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
            slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
            QVERIFY(slave >= 0);
            tarn.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        }
        QVERIFY(
            TarnRun::Start(tarn, {u"outputs"_s, u"pump=1"_s, u"valve1=1"_s, u"--for"_s, seconds}));
        const QString on = Line(100, "0300");
        if (signal != 0 || offLost) {
            QTRY_VERIFY_WITH_TIMEOUT(sim.journal().contains(on), kLineTimeoutMs);
            QVERIFY(!offLost || sim.command(u"mute 1 100"_s));
        }
        if (signal != 0) {
            // A process id of 0 would signal the whole process group, this test among it.
            const qint64 pid = tarn.processId();
            QVERIFY2(pid > 0, "tarn ended before the signal");
            QCOMPARE(::kill(static_cast<pid_t>(pid), signal), 0);
        }
        QVERIFY(tarn.waitForFinished(kRunTimeoutMs));
        QCOMPARE(tarn.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tarn.exitCode(), 0);
        const QStringList journal = sim.journal();
        const qsizetype words = offLost ? 3 : 2;
        QCOMPARE(journal.mid(0, words),
                 (QStringList{on, Line(100, "0000"), Line(100, "0000")}).mid(0, words));
        for (const QString& line : journal.mid(words))
            QVERIFY2(!line.startsWith(u"100 "_s), qPrintable(line));
        HistoryArchive archive(u"test"_s);
        QVERIFY(archive.Open(home.path()));
        QCOMPARE(archive.Controllers().size(), std::size_t(1));
        const std::vector<ArchivedChange> tests = archive.Changes(archive.Controllers()[0].id);
        QCOMPARE(tests.size(), std::size_t(1));
        QVERIFY(tests[0].isFunctionTest());
        QCOMPARE(tests[0].program, u"tarn"_s);
        const FunctionTest::Fields test = FunctionTest::Read(tests[0]);
        QCOMPARE(test.outputs, (QStringList{u"Pump"_s, u"Valve 1"_s}));
        QVERIFY(!test.inputsRead);
        if (signal == 0)
            QVERIFY2(test.milliseconds >= seconds.toInt() * 1000 &&
                         test.milliseconds < seconds.toInt() * 1000 + kRunTimeoutMs,
                     qPrintable(QString::number(test.milliseconds)));
        QString err = QString::fromUtf8(tarn.readAllStandardError());
        if (terminal) {
            QByteArray bytes(4096, '\0');
            ::fcntl(master, F_SETFL, O_NONBLOCK);
            const ssize_t got = ::read(master, bytes.data(), static_cast<size_t>(bytes.size()));
            err = QString::fromUtf8(bytes.left(qMax<ssize_t>(got, 0)));
            // The line is cleared at the end.
            QVERIFY2(err.endsWith(u"\r"_s + QString(u"tarn: outputs on, 1 s left "_s.size(), u' ') +
                                  u"\r"_s),
                     qPrintable(err));
        } else {
            QVERIFY2(!err.contains(u"left"_s), qPrintable(err));
        }
        QVERIFY2(err.contains(message) && !err.contains(u"stay on"_s), qPrintable(err));
        const QList<double> received = sim.journalSeconds();
        // The journal gives its times to the millisecond.
        QVERIFY(signal != 0 || received[1] - received[0] >= seconds.toDouble() - 0.001);
    }

    /// The message names the folder that was searched.
    void missingIni_data()
    {
        QTest::addColumn<bool>("folderOfThatName");
        QTest::newRow("no Tarn.INI") << false;
        QTest::newRow("a folder named Tarn.INI") << true;
    }

    void missingIni()
    {
        QFETCH(bool, folderOfThatName);
        ProgramHome home;
        QVERIFY(!folderOfThatName || QDir(home.path()).mkdir(u"Tarn.INI"_s));
        const TarnRun result = TarnRun::Run({u"outputs"_s, u"off"_s});
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.err,
                 u"Can\u00B4t find the configuration file Tarn.INI !\nProgram folder searched: "_s +
                     home.path() + u'\n');
    }

    void statusJson()
    {
        SimProcess sim;
        ProgramHome home;
        const TarnRun result = run(sim, home, {u"status"_s, u"--json"_s});
        QCOMPARE(result.exitCode, 0);
        const QJsonObject status = QJsonDocument::fromJson(result.out).object();
        QCOMPARE(status[u"version"_s].toDouble(), 2.07);
        QCOMPARE(status[u"delays"_s][u"manualStop"_s].toInt(), 60);
        QCOMPARE(status[u"admin"_s][u"serialNumber"_s].toString(), u"123456"_s);
        QCOMPARE(status[u"admin"_s][u"manufactured"_s].toString(), u"2024-03-14T00:00:00"_s);
        QVERIFY(
            QDateTime::fromString(status[u"controllerTime"_s].toString(), Qt::ISODate).isValid());
        const QJsonArray zones = status[u"zones"_s].toArray();
        QCOMPARE(zones[1][u"outputs"_s].toArray(), (QJsonArray{false, true, false, false}));
        QCOMPARE(zones[2][u"profileType"_s].toString(), u"Diverting valve 2"_s);
        QVERIFY(status[u"inputs"_s][u"detectors"_s].toArray().first().isBool());
    }

    /// Each format holds every event as the controller sent it (the shipped texts, one with a
    /// comma), a header first where the format has one; numbers as a person writes them. The
    /// CSV is read back by Python's csv module (its read time checked apart).
    void logFormats_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("lines"); ///< for JSON, each event's values joined by "|"
        QTest::newRow("tsv file (tarn.logg layout, Latin-1, CR LF)")
            << u"tsv"_s
            << QStringList{
                   u"No\tTime\tTemp\tMessage"_s,
                   u"001\t4 Dec 2026 14:07:30\t21\u00B0C/69.8\u00B0F\tPump fault, no pressure"_s,
                   u"002\t29 Feb 2024\t5\u00B0C/41\u00B0F\tPump started"_s};
        QTest::newRow("csv")
            << u"csv"_s
            << QStringList{u"serial|firmware|number|time|celsius|fahrenheit|text"_s,
                           u"123456|2.07|1|2026-12-04T14:07:30|21|69.8|Pump fault, no pressure"_s,
                           u"123456|2.07|2|2024-02-29T00:00:00|5|41|Pump started"_s};
        QTest::newRow("json") << u"json"_s
                              << QStringList{
                                     u"1|2026-12-04T14:07:30|21|69.8|Pump fault, no pressure"_s,
                                     u"2|2024-02-29T00:00:00|5|41|Pump started"_s};
    }

    void logFormats()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, lines);
        SimProcess sim;
        ProgramHome home;
        const QString file = home.filePath(u"events.out"_s);
        const bool toFile = format == u"tsv"_s;
        QStringList args{u"log"_s, u"--all"_s, u"--format"_s, format};
        if (toFile)
            args << u"--output"_s << file;
        const TarnRun result =
            run(sim, home, args, {}, {u"event AC44C79E2D15"_s, u"event 825D00000B05"_s});
        QCOMPARE(result.exitCode, 0);
        QStringList got;
        if (format == u"csv"_s) {
            for (QStringList row : CsvReadBack(result.out)) {
                const QString readAt = row.takeAt(2);
                QVERIFY2(readAt == u"read_at"_s ||
                             QRegularExpression(
                                 u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"_s)
                                 .match(readAt)
                                 .hasMatch(),
                         qPrintable(readAt));
                got << row.join(u'|');
            }
        } else if (format == u"json"_s) {
            QVERIFY(result.out.contains("69.8,") && !result.out.contains("69.80"));
            for (const QJsonValue& event : QJsonDocument::fromJson(result.out).array()) {
                got << QStringList{QString::number(event[u"number"_s].toInt()),
                                   event[u"time"_s].toString(),
                                   QString::number(event[u"celsius"_s].toDouble()),
                                   QString::number(event[u"fahrenheit"_s].toDouble()),
                                   event[u"text"_s].toString()}
                           .join(u'|');
            }
        } else {
            got = toFile ? QString::fromLatin1(ReadAll(file)).split(u"\r\n"_s)
                         : QString::fromUtf8(result.out).split(u'\n');
            QCOMPARE(got.takeLast(), QString());
        }
        QCOMPARE(got, lines);
    }

    /// Ctrl+C while the log is read: the request on the line is finished, and every event
    /// the controller sent is written.
    void logInterrupted()
    {
        SimProcess sim;
        ProgramHome home;
        QVERIFY(onSim(sim, home, {u"--events"_s, u"500"_s, u"--reply-delay"_s, u"50"_s}));
        QProcess tarn;
        QVERIFY(TarnRun::Start(tarn, {u"log"_s, u"--all"_s, u"--format"_s, u"csv"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(sim.journal().count(u"48"_s) >= 3, 20000);
        QCOMPARE(::kill(static_cast<pid_t>(tarn.processId()), SIGINT), 0);
        QVERIFY(tarn.waitForFinished(kRunTimeoutMs));
        QCOMPARE(tarn.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tarn.exitCode(), 0);
        const QList<QStringList> rows = CsvReadBack(tarn.readAllStandardOutput()).mid(1);
        const qsizetype requests = sim.journal().count(u"48"_s);
        QVERIFY(requests < 500);
        QCOMPARE(rows.size(), requests);
        QCOMPARE(rows.last().value(3).toLongLong(), requests);
        QVERIFY(QString::fromUtf8(tarn.readAllStandardError())
                    .contains(u"Stopped: %1 events read."_s.arg(requests)));
    }

    void outputFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        /// Where the output goes: "stdout" (/dev/full), "device" (one like /dev/full),
        /// "file" (on a full disk) or, with the program folder on the same disk, "file, home".
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message");
        QTest::newRow("status > /dev/full")
            << QStringList{u"status"_s} << u"stdout"_s
            << u"standard output could not be written: No space left on device"_s;
        QTest::newRow("log > /dev/full: events rescued in the program folder")
            << QStringList{u"log"_s, u"--all"_s} << u"stdout"_s
            << u"The events read are saved in "_s;
        // A device is written, not replaced by a file of that name.
        QTest::newRow("log --output a full device: events rescued in the program folder")
            << QStringList{u"log"_s, u"--all"_s} << u"device"_s
            << u"could not be saved: No space left on device"_s;
        QTest::newRow("log --output on a full disk: events rescued in the program folder")
            << QStringList{u"log"_s, u"--all"_s} << u"file"_s << u"The events read are saved in "_s;
        QTest::newRow("log --output and the program folder on a full disk: on standard output")
            << QStringList{u"log"_s, u"--all"_s} << u"file, home"_s
            << u"they follow on standard output."_s;
    }

    /// An output that cannot be written is an error, and the events read are not lost with it.
    void outputFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QFETCH(QString, message);
        constexpr int kEvents = 40;
        SmallDisk disk;
        if (output.startsWith(u"file"_s) && !disk.mounted())
            QSKIP(SmallDisk::skipReason());
        SimProcess sim;
        ProgramHome home;
        QVERIFY(onSim(sim, home, {u"--events"_s, QString::number(kEvents)}));
        QString folder = home.path();
        const QString file = disk.filePath(u"events.tsv"_s);
        const QByteArray old = "No\tTime\tTemp\tMessage\r\n";
        if (output.startsWith(u"file"_s)) {
            if (output.endsWith(u"home"_s)) {
                folder = QFileInfo(file).path();
                QVERIFY(QFile::copy(home.filePath(u"Tarn.INI"_s), disk.filePath(u"Tarn.INI"_s)));
                qputenv("TARN_HOME", QFile::encodeName(folder));
            }
            QVERIFY(WriteAll(file, old));
            QVERIFY(disk.fill());
            args << u"--output"_s << file;
        }
        // The device is made here, so that a save that replaced it would harm nothing else.
        const QString device = home.filePath(u"full"_s);
        if (output == u"device"_s) {
            if (mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
                QSKIP("a device like /dev/full can be made only by root");
            args << u"--output"_s << device;
        }
        const TarnRun result =
            TarnRun::Run(args, {}, u"C"_s, output == u"stdout"_s ? u"/dev/full"_s : QString());
        qputenv("TARN_HOME", QFile::encodeName(home.path()));
        QCOMPARE(result.exitCode, 1);
        const QString& err = result.err;
        QVERIFY2(err.contains(message), qPrintable(err));
        if (output.startsWith(u"file"_s))
            QCOMPARE(ReadAll(file), old);
        struct stat deviceStatus
        {
        };
        QVERIFY(output != u"device"_s ||
                (stat(QFile::encodeName(device).constData(), &deviceStatus) == 0 &&
                 S_ISCHR(deviceStatus.st_mode)));
        if (args.first() != u"log"_s)
            return;
        const QStringList rescued = QDir(folder).entryList({u"tarn-log-*.tsv"_s}, QDir::Files);
        if (output == u"file, home"_s) {
            QCOMPARE(rescued, QStringList());
            QCOMPARE(TsvEvents(QByteArray(result.out).replace("\n", "\r\n")), kEvents);
        } else {
            QCOMPARE(rescued.size(), 1);
            QVERIFY2(err.contains(QDir(folder).filePath(rescued.first())), qPrintable(err));
            QCOMPARE(TsvEvents(ReadAll(QDir(folder).filePath(rescued.first()))), kEvents);
        }
    }

    /// A damaged reply is an event the controller moved past: its place is marked, and said.
    void logDamagedReply()
    {
        SimProcess sim;
        ProgramHome home;
        // Replies: version, serial number, rewind, events 1 (damaged), 2, 3, 4, END.
        const TarnRun result = run(sim, home, {u"log"_s, u"--all"_s},
                                   {u"--events"_s, u"4"_s, u"--corrupt-every"_s, u"4"_s});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(u"1 damaged reply: 1 event lost."_s), qPrintable(result.err));
        const QStringList rows =
            QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts).mid(1);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], u"001\t\t\tEvent could not be read (damaged reply)"_s);
        QVERIFY(rows[1].startsWith(u"002\t"_s));
    }

    /// What tarn log reads goes into the history once, however often it is read again; a
    /// setup write by tarn is kept there too.
    void historyKept()
    {
        SimProcess sim;
        ProgramHome home;
        QVERIFY(onSim(sim, home, {u"--events"_s, u"3"_s}));
        const QList<QStringList> runs{{u"log"_s},
                                      {u"log"_s, u"--all"_s},
                                      {u"log"_s, u"--all"_s},
                                      {u"set-delays"_s, u"10"_s, u"20"_s, u"30"_s},
                                      {u"set-clock"_s}};
        for (const QStringList& args : runs)
            QCOMPARE(TarnRun::Run(args).exitCode, 0);
        HistoryArchive archive(u"test"_s);
        QVERIFY(archive.Open(home.path()));
        const std::vector<ArchivedController> controllers = archive.Controllers();
        QCOMPARE(controllers.size(), std::size_t(1));
        const std::vector<ArchivedEvent> events = archive.Events(controllers[0].id);
        QCOMPARE(events.size(), std::size_t(3));
        QCOMPARE(events[0].program, u"tarn"_s);
        const std::vector<ArchivedChange> changes = archive.Changes(controllers[0].id);
        QCOMPARE(changes.size(), std::size_t(2));
        QCOMPARE(changes[0].command, 98);
        // The clock as it read right before it was set.
        QCOMPARE(changes[1].command, 65);
        QVERIFY2(changes[1].beforeJson.startsWith(u"{\"clock\":\"2"_s),
                 qPrintable(changes[1].beforeJson));
    }

    /// A history that cannot be opened is said; what it could not keep (a status, a
    /// write, a function test) ends in exit code 1.
    void historyDamaged_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("status") << QStringList{u"status"_s};
        QTest::newRow("set-delays") << QStringList{u"set-delays"_s, u"10"_s, u"20"_s, u"30"_s};
        QTest::newRow("outputs --for")
            << QStringList{u"outputs"_s, u"pump=1"_s, u"--for"_s, u"1"_s};
    }

    void historyDamaged()
    {
        QFETCH(QStringList, args);
        SimProcess sim;
        ProgramHome home;
        QVERIFY(onSim(sim, home) &&
                WriteAll(home.filePath(u"history.sqlite"_s), "not a database, not at all"));
        const TarnRun result = TarnRun::Run(args);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(u"could not be kept in the service history"_s),
                 qPrintable(result.err));
    }

    /// Test mode, the inputs printed as they change, the outputs off when it is stopped; a
    /// scan that got no answer ends in exit code 1.
    void watchInputs_data()
    {
        QTest::addColumn<bool>("scanLost");
        QTest::newRow("stopped") << false;
        QTest::newRow("a scan unanswered") << true;
    }

    void watchInputs()
    {
        QFETCH(bool, scanLost);
        SimProcess sim;
        ProgramHome home;
        QVERIFY(onSim(sim, home));
        QProcess tarn;
        QVERIFY(TarnRun::Start(tarn, {u"watch-inputs"_s}));
        const auto nextStates = [&tarn] {
            if (!QTest::qWaitFor([&tarn] { return tarn.canReadLine(); }, kLineTimeoutMs))
                return QString();
            return QString::fromUtf8(tarn.readLine()).section(u' ', 1).trimmed();
        };
        // The simulator starts with no input active; then detector 2 and manual release 3.
        QCOMPARE(nextStates(), u"detector1=0 detector2=0 detector3=0 detector4=0 manual1=0 "
                               u"manual2=0 manual3=0"_s);
        QVERIFY(sim.command(u"inputs 0D6014"_s));
        QCOMPARE(nextStates(), u"detector1=0 detector2=1 detector3=0 detector4=0 manual1=0 "
                               u"manual2=0 manual3=1"_s);
        QByteArray err;
        if (scanLost) {
            QVERIFY(sim.command(u"mute 1 52"_s));
            QVERIFY(QTest::qWaitFor(
                [&] { return (err += tarn.readAllStandardError()).contains("timeout"); },
                kRunTimeoutMs));
        }
        tarn.terminate();
        QVERIFY(tarn.waitForFinished(10000));
        QCOMPARE(tarn.exitCode(), scanLost ? 1 : 0);
        const QStringList sent = sim.journal();
        QCOMPARE(sent.first(), u"105"_s);
        QCOMPARE(sent.last(), Line(100, "0000"));
    }
};

QTEST_GUILESS_MAIN(tst_Tarn)
#include "tst_tarn.moc"
