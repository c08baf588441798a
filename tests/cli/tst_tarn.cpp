#include "ProgramHome.h"
#include "SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int kRunTimeoutMs = 60000;

/// The journal line of a command whose data is 8-bit text.
QString Line(int code, const QByteArray& data)
{
    return QString::number(code) + u' ' + QString::fromLatin1(data.toHex().toUpper());
}

const QStringList kStatusJournal{u"64"_s,    u"50"_s,    u"52"_s,    u"55"_s,
                                 u"54 00"_s, u"54 01"_s, u"54 02"_s, u"51"_s};
} // namespace

/// tarn run as a user runs it: its own process, its own Tarn.INI with COM1 on tarn-sim.
class tst_Tarn : public QObject
{
    Q_OBJECT

    struct Result
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    /// Starts the simulator, writes Tarn.INI and runs tarn with `args` to its end.
    Result run(SimProcess& sim, ProgramHome& home, const QStringList& args,
               const QStringList& simOptions = {}, const QStringList& simLines = {},
               const QByteArray& input = {}, const QString& traceFile = {})
    {
        Result result;
        if (!sim.start(simOptions) || !home.installIni(sim.slavePath()))
            return result;
        for (const QString& line : simLines) {
            if (!sim.command(line))
                return result;
        }
        QProcess tarn;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LC_ALL"_s, u"C"_s);
        if (!traceFile.isEmpty())
            env.insert(u"TARN_TRACE"_s, traceFile);
        tarn.setProcessEnvironment(env);
        tarn.start(qEnvironmentVariable("TARN_BIN") + u"/tarn"_s, args);
        if (!tarn.waitForStarted())
            return result;
        tarn.write(input);
        tarn.closeWriteChannel();
        if (!tarn.waitForFinished(kRunTimeoutMs) || tarn.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = tarn.exitCode();
        result.out = QString::fromUtf8(tarn.readAllStandardOutput());
        result.err = QString::fromUtf8(tarn.readAllStandardError());
        return result;
    }

private slots:
    void commandFrames_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("simLines");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        /// The journal; an entry ending in "*" matches any data after it.
        QTest::addColumn<QStringList>("journal");
        QTest::addColumn<QString>("message");

        const QStringList none;
        QTest::newRow("status") << QStringList{u"status"_s} << none << none << QByteArray() << 0
                                << kStatusJournal << QString();
        QTest::newRow("status, old firmware: no admin data")
            << QStringList{u"status"_s} << QStringList{u"--version"_s, u"V2.05"_s} << none
            << QByteArray() << 0 << kStatusJournal.mid(0, 7) << QString();
        QTest::newRow("log --all")
            << QStringList{u"log"_s, u"--all"_s} << QStringList{u"--events"_s, u"2"_s} << none
            << QByteArray() << 0 << QStringList{u"64"_s, u"66 01"_s, u"48"_s, u"48"_s, u"48"_s}
            << QString();
        QTest::newRow("log --all, old firmware: no rewind")
            << QStringList{u"log"_s, u"--all"_s} << QStringList{u"--version"_s, u"V2.05"_s} << none
            << QByteArray() << 1 << QStringList{u"64"_s} << u"V 2.07 or later"_s;
        QTest::newRow("log: new events only")
            << QStringList{u"log"_s} << QStringList{u"--events"_s, u"1"_s} << none << QByteArray()
            << 0 << QStringList{u"64"_s, u"48"_s, u"48"_s} << QString();
        QTest::newRow("set-clock")
            << QStringList{u"set-clock"_s} << none << none << QByteArray() << 0
            << QStringList{u"65 *"_s} << u"Tarn was updated succesfully!"_s;
        // The zones' messages and outputs go back as the controller reported them.
        QTest::newRow("set-delays")
            << QStringList{u"set-delays"_s, u"10"_s, u"20"_s, u"30"_s} << none << none
            << QByteArray() << 0 << QStringList{u"55"_s, Line(98, "0A0A141E01020301020400")}
            << u"Tarn was updated succesfully!"_s;
        QTest::newRow("set-delays: refused value")
            << QStringList{u"set-delays"_s, u"10"_s, u"251"_s, u"30"_s} << none << none
            << QByteArray() << 2 << QStringList() << u"Incorrect value (Manual Alarm Delay)"_s;
        QTest::newRow("outputs: one command, whole word")
            << QStringList{u"outputs"_s, u"pump=1"_s, u"valve2=1"_s, u"valve1=0"_s} << none << none
            << QByteArray() << 0 << QStringList{Line(100, "0500")} << QString();
        QTest::newRow("outputs: unknown name")
            << QStringList{u"outputs"_s, u"pump=1"_s, u"sprinkler=1"_s} << none << none
            << QByteArray() << 2 << QStringList() << u"sprinkler=1"_s;
        QTest::newRow("delete-log --yes")
            << QStringList{u"delete-log"_s, u"--yes"_s} << none << none << QByteArray() << 0
            << QStringList{u"66 00"_s} << u"Tarn was updated succesfully!"_s;
        QTest::newRow("delete-log, confirmed")
            << QStringList{u"delete-log"_s} << none << none << QByteArray("y\n") << 0
            << QStringList{u"66 00"_s} << u"Tarn was updated succesfully!"_s;
        QTest::newRow("delete-log, declined")
            << QStringList{u"delete-log"_s} << none << none << QByteArray("n\n") << 0
            << QStringList() << u"Nothing deleted."_s;
        QTest::newRow("detect") << QStringList{u"detect"_s} << none << none << QByteArray() << 0
                                << QStringList{u"64"_s}
                                << u"Auto detect has succesfully connected to Tarn using COM1."_s;
        QTest::newRow("NAK by command")
            << QStringList{u"outputs"_s, u"buzzer=1"_s} << none << QStringList{u"ack 100 NAK"_s}
            << QByteArray() << 1 << QStringList{u"100 *"_s}
            << u"Communication error. NAK recieved. Command H64"_s;
        QTest::newRow("time-out") << QStringList{u"status"_s} << none << QStringList{u"mute 1"_s}
                                  << QByteArray() << 1 << QStringList{u"64"_s}
                                  << u"Communication timeout error."_s;
        QTest::newRow("bad option")
            << QStringList{u"status"_s, u"--all"_s} << none << none << QByteArray() << 2
            << QStringList() << u"status does not take --all"_s;
        QTest::newRow("bad port") << QStringList{u"--port"_s, u"16"_s, u"status"_s} << none << none
                                  << QByteArray() << 2 << QStringList() << u"--port"_s;
        QTest::newRow("no command") << QStringList() << none << none << QByteArray() << 2
                                    << QStringList() << u"no command given"_s;
    }

    void commandFrames()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, simLines);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QStringList, journal);
        QFETCH(QString, message);

        SimProcess sim;
        ProgramHome home;
        const Result result = run(sim, home, args, simOptions, simLines, input);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        const QStringList sent = sim.journal();
        QCOMPARE(sent.size(), journal.size());
        for (qsizetype i = 0; i < sent.size(); ++i) {
            if (journal[i].endsWith(u'*'))
                QVERIFY2(sent[i].startsWith(journal[i].chopped(1)), qPrintable(sent[i]));
            else
                QCOMPARE(sent[i], journal[i]);
        }
    }

    void statusJson()
    {
        SimProcess sim;
        ProgramHome home;
        const Result result = run(sim, home, {u"status"_s, u"--json"_s});
        QCOMPARE(result.exitCode, 0);
        QJsonParseError error;
        const QJsonObject status = QJsonDocument::fromJson(result.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(status[u"version"_s].toDouble(), 2.07);
        QCOMPARE(status[u"delays"_s][u"manualStop"_s].toInt(), 60);
        QCOMPARE(status[u"admin"_s][u"serialNumber"_s].toString(), u"123456"_s);
        QCOMPARE(status[u"admin"_s][u"manufactured"_s].toString(), u"2024-03-14T00:00:00"_s);
        QVERIFY(
            QDateTime::fromString(status[u"controllerTime"_s].toString(), Qt::ISODate).isValid());
        const QJsonArray zones = status[u"zones"_s].toArray();
        QCOMPARE(zones.size(), 3);
        QCOMPARE(zones[1][u"outputs"_s].toArray(), (QJsonArray{false, true, false, false}));
        QCOMPARE(zones[2][u"profileType"_s].toString(), u"Diverting valve 2"_s);
        QVERIFY(status[u"inputs"_s][u"detectors"_s].toArray().first().isBool());
    }

    void logFormats_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("tsv") << u"tsv"_s << false;
        QTest::newRow("tsv file (tarn.logg layout)") << u"tsv"_s << true;
        QTest::newRow("csv") << u"csv"_s << false;
        QTest::newRow("json") << u"json"_s << false;
    }

    void logFormats()
    {
        QFETCH(QString, format);
        QFETCH(bool, toFile);
        constexpr int kEvents = 4;
        SimProcess sim;
        ProgramHome home;
        const QString file = home.filePath(u"events.out"_s);
        QStringList args{u"log"_s, u"--all"_s, u"--format"_s, format};
        if (toFile)
            args << u"--output"_s << file;
        const Result result = run(sim, home, args, {u"--events"_s, QString::number(kEvents)});
        QCOMPARE(result.exitCode, 0);
        QString text = result.out;
        if (toFile) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::ReadOnly));
            const QByteArray bytes = out.readAll();
            if (format == u"tsv"_s)
                QCOMPARE(bytes.count("\r\n"), kEvents + 1);
            text = QString::fromLatin1(bytes);
        }

        QList<QStringList> rows;
        if (format == u"json"_s) {
            const QJsonArray events = QJsonDocument::fromJson(text.toUtf8()).array();
            for (const QJsonValue& event : events) {
                QVERIFY(event[u"celsius"_s].isDouble());
                rows.append({QString::number(event[u"number"_s].toInt()),
                             event[u"time"_s].toString(), event[u"text"_s].toString()});
            }
        } else {
            QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
            QVERIFY(!lines.isEmpty());
            const QString header = lines.takeFirst().trimmed();
            const QChar separator = format == u"csv"_s ? u',' : u'\t';
            QCOMPARE(header.split(separator).size(), format == u"csv"_s ? 5 : 4);
            for (const QString& line : lines) {
                const QStringList cells = line.trimmed().split(separator);
                rows.append({cells.first(), cells.at(1), cells.last()});
            }
        }
        QCOMPARE(rows.size(), kEvents);
        for (int i = 0; i < kEvents; ++i) {
            QCOMPARE(rows[i][0].toInt(), i + 1);
            QVERIFY(!rows[i][2].isEmpty());
            if (format != u"tsv"_s)
                QVERIFY2(QDateTime::fromString(rows[i][1], Qt::ISODate).isValid(),
                         qPrintable(rows[i][1]));
        }
    }

    void trace_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("simLines");
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<QString>("pattern");

        const QString time = u"^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "_s;
        QTest::newRow("reply") << QStringList{u"status"_s} << QStringList() << QStringList()
                               << false
                               << time + u"<  64 '@' data=56322E3037 text=\"V2.07\" reply$"_s;
        QTest::newRow("reply, TARN_TRACE file")
            << QStringList{u"status"_s} << QStringList() << QStringList() << true
            << time + u"<  54 '6' data=31 text=\"1\" reply$"_s;
        QTest::newRow("ACK") << QStringList{u"delete-log"_s, u"--yes"_s} << QStringList()
                             << QStringList() << false
                             << time + u"<  66 'B' data=41434B text=\"ACK\" ACK$"_s;
        QTest::newRow("not acknowledged")
            << QStringList{u"delete-log"_s, u"--yes"_s} << QStringList{u"--nak"_s, u"66"_s}
            << QStringList() << false
            << time + u"<  66 'B' data=4E414B text=\"NAK\" not acknowledged$"_s;
        QTest::newRow("CRC error")
            << QStringList{u"status"_s} << QStringList{u"--corrupt-every"_s, u"1"_s}
            << QStringList() << false
            << time + u"<  64 '@' data=56322E3037 .* CRC error \\(\\d+\\)$"_s;
        QTest::newRow("time-out") << QStringList{u"status"_s} << QStringList()
                                  << QStringList{u"mute 1"_s} << false
                                  << time + u"!  64 '@' time-out$"_s;
    }

    void trace()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, simLines);
        QFETCH(bool, toFile);
        QFETCH(QString, pattern);
        SimProcess sim;
        ProgramHome home;
        const QString file = home.filePath(u"trace.txt"_s);
        if (!toFile)
            args.prepend(u"--trace"_s);
        const Result result =
            run(sim, home, args, simOptions, simLines, {}, toFile ? file : QString());
        QVERIFY(result.exitCode >= 0);
        QString text = result.err;
        if (toFile) {
            QFile trace(file);
            QVERIFY(trace.open(QIODevice::ReadOnly));
            text = QString::fromUtf8(trace.readAll());
        }
        const QRegularExpression line(pattern, QRegularExpression::MultilineOption);
        QVERIFY2(line.match(text).hasMatch(), qPrintable(text));
    }

    /// Ctrl+C while the log is read: the request on the line is finished, and every event
    /// the controller sent is written.
    void logInterrupted()
    {
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start({u"--events"_s, u"500"_s, u"--reply-delay"_s, u"50"_s}) &&
                home.installIni(sim.slavePath()));
        QProcess tarn;
        tarn.start(qEnvironmentVariable("TARN_BIN") + u"/tarn"_s,
                   {u"log"_s, u"--all"_s, u"--format"_s, u"csv"_s});
        QVERIFY(tarn.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(sim.journal().count(u"48"_s) >= 3, 20000);
        QCOMPARE(::kill(static_cast<pid_t>(tarn.processId()), SIGINT), 0);
        QVERIFY(tarn.waitForFinished(kRunTimeoutMs));
        QCOMPARE(tarn.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tarn.exitCode(), 0);
        const QStringList rows =
            QString::fromUtf8(tarn.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts).mid(1);
        const qsizetype requests = sim.journal().count(u"48"_s);
        QVERIFY(requests < 500);
        QCOMPARE(rows.size(), requests);
        QCOMPARE(rows.last().section(u',', 0, 0).toLongLong(), requests);
        QVERIFY(QString::fromUtf8(tarn.readAllStandardError())
                    .contains(u"Stopped: %1 events read."_s.arg(requests)));
    }

    /// Test mode, the inputs printed as they change, the outputs off when it is stopped.
    void watchInputs()
    {
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start() && home.installIni(sim.slavePath()));
        QProcess tarn;
        tarn.start(qEnvironmentVariable("TARN_BIN") + u"/tarn"_s, {u"watch-inputs"_s});
        QVERIFY(tarn.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(tarn.canReadLine(), 10000);
        const QString first = QString::fromUtf8(tarn.readLine());
        QVERIFY(sim.command(u"inputs 0F0014"_s));
        QTRY_VERIFY_WITH_TIMEOUT(tarn.canReadLine(), 10000);
        const QString second = QString::fromUtf8(tarn.readLine());
        QVERIFY2(first.section(u' ', 1) != second.section(u' ', 1), qPrintable(first + second));
        tarn.terminate();
        QVERIFY(tarn.waitForFinished(10000));
        QCOMPARE(tarn.exitCode(), 0);
        const QStringList sent = sim.journal();
        QCOMPARE(sent.first(), u"105"_s);
        QVERIFY(sent.count(u"52"_s) >= 2);
        QCOMPARE(sent.last(), Line(100, "0000"));
    }
};

QTEST_GUILESS_MAIN(tst_Tarn)
#include "tst_tarn.moc"
