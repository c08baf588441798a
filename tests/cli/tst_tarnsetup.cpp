#include "ProgramHome.h"
#include "SimProcess.h"
#include "SmallDisk.h"

#include "data/DateCodec.h"
#include "data/TarnDateTime.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr int kRunTimeoutMs = 60000;

const QStringList kStatusJournal{u"64"_s,    u"50"_s,    u"52"_s,    u"55"_s,
                                 u"54 00"_s, u"54 01"_s, u"54 02"_s, u"51"_s};

/// The journal line of a command whose data is 8-bit text.
QString Line(int code, const QByteArray& data)
{
    return QString::number(code) + u' ' + QString::fromLatin1(data.toHex().toUpper());
}

/// The journal line of command 104: the zone as a byte, the profile number in hex.
QString ZoneProfile(char zone, const char* hex8)
{
    return Line(104, QByteArray(1, zone) + hex8);
}

const QByteArray kUnset = "00000000";

QByteArray Packed(int year, int month, int day)
{
    return QByteArray::fromStdString(EncodePackedDate(TarnDateTime::FromParts(year, month, day)));
}

/// A second controller set up otherwise than the simulator's own: delays 20/10/10/30,
/// messages 4 5 6, outputs 1,2 / 3,4 / none, profiles 2 2 1, serial number 654321,
/// manufactured 2023-01-10, installed 2023-02-01, serviced 2025-03-01 and 2024-03-01.
QStringList OtherSettings()
{
    const auto packed = [](int y, int m, int d) { return QString::fromLatin1(Packed(y, m, d)); };
    return {u"delays 140A0A1E040506030C00"_s, u"profile 0 2"_s, u"profile 2 1"_s,
            u"admin 0009FBF1"_s + packed(2023, 1, 10) + packed(2023, 2, 1) + packed(2025, 3, 1) +
                packed(2024, 3, 1)};
}

/// The file's setup without its source.
QJsonObject WithoutSource(const QByteArray& file)
{
    QJsonObject setup = QJsonDocument::fromJson(file).object();
    setup.remove(u"source"_s);
    return setup;
}

/// `file` with `value` at a key of the top level or of one zone (zone 1..3).
QByteArray Changed(const QByteArray& file, int zone, const QString& key, const QJsonValue& value)
{
    QJsonObject root = QJsonDocument::fromJson(file).object();
    if (zone == 0) {
        root.insert(key, value);
    } else {
        QJsonArray zones = root.value(u"zones"_s).toArray();
        QJsonObject z = zones.at(zone - 1).toObject();
        z.insert(key, value);
        zones[zone - 1] = z;
        root.insert(u"zones"_s, zones);
    }
    return QJsonDocument(root).toJson();
}
} // namespace

/// tarn setup dump, diff and apply as separate processes against tarn-sim.
class tst_TarnSetup : public QObject
{
    Q_OBJECT

    struct Result
    {
        int exitCode = -1;
        QByteArray out;
        QString err;
    };

    QTemporaryDir m_dir;

    /// Runs tarn on `sim`'s terminal to its end, standard input empty (no terminal).
    static Result run(const SimProcess& sim, QStringList args, const QString& stdoutFile = {})
    {
        Result result;
        QProcess tarn;
        if (!stdoutFile.isEmpty())
            tarn.setStandardOutputFile(stdoutFile);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        tarn.setProcessEnvironment(env);
        args.prepend(sim.slavePath());
        args.prepend(u"--device"_s);
        tarn.start(qEnvironmentVariable("TARN_BIN") + u"/tarn"_s, args);
        if (!tarn.waitForStarted())
            return result;
        tarn.closeWriteChannel();
        if (!tarn.waitForFinished(kRunTimeoutMs) || tarn.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = tarn.exitCode();
        result.out = tarn.readAllStandardOutput();
        result.err = QString::fromUtf8(tarn.readAllStandardError());
        return result;
    }

    /// The setup file of `sim`, as dumped.
    QByteArray dump(const SimProcess& sim)
    {
        const Result result = run(sim, {u"setup"_s, u"dump"_s});
        return result.exitCode == 0 ? result.out : QByteArray();
    }

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return file.fileName();
    }

private slots:
    void dumpApplyDump()
    {
        SimProcess first;
        SimProcess second;
        ProgramHome home;
        QVERIFY(first.start() && second.start() && home.installIni(first.slavePath()));
        for (const QString& line : OtherSettings())
            QVERIFY(second.command(line));
        const QByteArray before = dump(first);
        QVERIFY(!before.isEmpty());
        QVERIFY(WithoutSource(dump(second)) != WithoutSource(before));
        const QString path = write(u"first.json"_s, before);
        const qsizetype journalBefore = second.journal().size();

        const Result applied =
            run(second, {u"setup"_s, u"apply"_s, path, u"--yes"_s, u"--factory"_s});
        QCOMPARE(applied.exitCode, 0);
        QVERIFY2(applied.out.endsWith("verified\n"), applied.out.constData());
        QVERIFY(applied.out.contains("zone 1 outputs: 1,2 \xE2\x86\x92 1\n"));
        // Read, the blocks in the setup window's order (zone 2 already runs profile 2), read back.
        QStringList expected = kStatusJournal;
        expected << Line(98, "1E0A053C01020301020400") << ZoneProfile(0, "00000001") << u"102 *"_s
                 << ZoneProfile(2, "00000003")
                 << u"102 *"_s
                 // One field each, the others unset: serial number, manufactured, installed,
                 // then both service dates.
                 << Line(99, "0001E240" + kUnset + kUnset + kUnset + kUnset)
                 << Line(99, kUnset + Packed(2024, 3, 14) + kUnset + kUnset + kUnset)
                 << Line(99, kUnset + kUnset + Packed(2024, 5, 2) + kUnset + kUnset)
                 << Line(99, kUnset + kUnset + kUnset + Packed(2026, 5, 4) + Packed(2025, 5, 6))
                 << kStatusJournal;
        const QStringList sent = second.journal().mid(journalBefore);
        for (qsizetype i = 0; i < qMin(sent.size(), expected.size()); ++i)
            if (expected[i].endsWith(u'*') && sent[i].startsWith(expected[i].chopped(1)))
                expected[i] = sent[i];
        QCOMPARE(sent, expected);

        const QByteArray after = dump(second);
        QVERIFY(!after.isEmpty());
        QCOMPARE(WithoutSource(after), WithoutSource(before));
    }

    void dumpOutputFails_data()
    {
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<QString>("message");
        QTest::newRow("standard output full")
            << false << u"standard output could not be written: No space left on device"_s;
        QTest::newRow("file on a full disk") << true << u"could not be saved"_s;
    }

    /// A dump that cannot be written is an error, and the file it was to replace stays whole.
    void dumpOutputFails()
    {
        QFETCH(bool, toFile);
        QFETCH(QString, message);
        SmallDisk disk;
        if (toFile && !disk.mounted())
            QSKIP(SmallDisk::skipReason());
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start() && home.installIni(sim.slavePath()));
        const QString file = disk.filePath(u"setup.json"_s);
        const QByteArray old = "{}\n";
        QStringList args{u"setup"_s, u"dump"_s};
        if (toFile) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
            f.close();
            QVERIFY(disk.fill());
            args << u"--output"_s << file;
        }
        const Result result = run(sim, args, toFile ? QString() : u"/dev/full"_s);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        if (toFile) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), old);
        }
    }

    void diffExitCodes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("simLines");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("equal") << QByteArray() << QStringList() << 0 << QByteArray()
                               << u"Tarn's setup equals"_s;
        QTest::newRow("zone 2 outputs differ")
            << QByteArray() << QStringList{u"delays 1E0A053C010203010A04"_s} << 1
            << QByteArray("zone 2 outputs: 2,4 \xE2\x86\x92 2\n") << QString();
        QTest::newRow("refused file")
            << QByteArray("{\"format\": \"tarn-setup\"}") << QStringList() << 2 << QByteArray()
            << u"formatVersion: must be a whole number"_s;
        QTest::newRow("no answer") << QByteArray() << QStringList{u"mute 1"_s} << 2 << QByteArray()
                                   << u"Communication timeout error."_s;
    }

    void diffExitCodes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, simLines);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QString, err);
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start() && home.installIni(sim.slavePath()));
        if (file.isEmpty())
            file = dump(sim);
        const QString path = write(u"diff.json"_s, file);
        for (const QString& line : simLines)
            QVERIFY(sim.command(line));
        const Result result = run(sim, {u"setup"_s, u"diff"_s, path});
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, out);
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
    }

    void applyStopped_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("sent");
        QTest::newRow("104 refused")
            << u"ack 104 NAK"_s
            << u"Stopped: zone 2 profile (104, 102) failed.\n"
               u"Written: delays, zone messages and outputs (98).\n"
               u"Not written: zone 2 profile (104, 102), installation date (99)."_s
            << 2;
        QTest::newRow("102 refused after 104")
            << u"ack 102 NAK"_s
            << u"Stopped: zone 2 profile (104, 102) failed (command 104 of it was acknowledged, "
               u"command 102 not).\nWritten: delays, zone messages and outputs (98).\n"
               u"Not written: zone 2 profile (104, 102), installation date (99)."_s
            << 3;
        QTest::newRow("date refused") << u"ack 99 NAK"_s
                                      << u"Stopped: installation date (99) failed.\n"
                                         u"Written: delays, zone messages and outputs (98), zone "
                                         u"2 profile (104, 102).\nNot written: installation date "
                                         u"(99)."_s
                                      << 4;
    }

    /// A refusal stops the writes at once and tells which blocks went and which did not.
    void applyStopped()
    {
        QFETCH(QString, refused);
        QFETCH(QString, message);
        QFETCH(int, sent);
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start() && home.installIni(sim.slavePath()));
        QByteArray file = dump(sim);
        file = Changed(file, 1, u"message"_s, 9);
        file = Changed(file, 2, u"profile"_s,
                       QJsonObject{{u"id"_s, 3},
                                   {u"name"_s, u"Pulsed"_s},
                                   {u"definition"_s,
                                    u"T,0,F,120,T,180,F,300,T,360,F,480,T,540,F,660,T,720,F,840,"
                                    u"S,900"_s}});
        QJsonObject dates = QJsonDocument::fromJson(file).object().value(u"dates"_s).toObject();
        dates.insert(u"installed"_s, u"2024-06-01"_s);
        file = Changed(file, 0, u"dates"_s, dates);
        const QString path = write(u"stopped.json"_s, file);
        QVERIFY(sim.command(refused));
        const qsizetype journalBefore = sim.journal().size();

        const Result result = run(sim, {u"setup"_s, u"apply"_s, path, u"--yes"_s});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(!result.out.contains("verified"));
        // The read, then the writes up to the refused one, and nothing after it.
        const QStringList journal = sim.journal().mid(journalBefore);
        QCOMPARE(journal.mid(0, kStatusJournal.size()), kStatusJournal);
        QCOMPARE(journal.size(), kStatusJournal.size() + sent);
    }

    void applyRefusals_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        /// Frames received: the status read alone, or nothing at all.
        QTest::addColumn<bool>("read");
        /// Zone 2 gets profile 3 with another definition than Tarn.INI's.
        QTest::addColumn<bool>("otherDefinition");
        QTest::newRow("--dry-run sends nothing")
            << QStringList{u"--dry-run"_s} << 0 << u"--dry-run: nothing written."_s << true
            << false;
        QTest::newRow("no terminal, no --yes")
            << QStringList() << 2 << u"there is no terminal to ask on: give --yes"_s << false
            << false;
        QTest::newRow("profile defined otherwise in Tarn.INI")
            << QStringList{u"--yes"_s} << 2
            << u"zone 2 profile 3 is defined differently in Tarn.INI"_s << true << true;
    }

    void applyRefusals()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(bool, read);
        QFETCH(bool, otherDefinition);
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start() && home.installIni(sim.slavePath()));
        QByteArray file = dump(sim);
        if (otherDefinition)
            file = Changed(file, 2, u"profile"_s,
                           QJsonObject{{u"id"_s, 3},
                                       {u"name"_s, u"Pulsed"_s},
                                       {u"definition"_s, u"T,0,F,60,T,90,S,120"_s}});
        file = Changed(file, 3, u"outputs"_s, QJsonArray{1, 3});
        const QString path = write(u"refused.json"_s, file);
        const qsizetype journalBefore = sim.journal().size();

        const Result result = run(sim, QStringList{u"setup"_s, u"apply"_s, path} + options);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(sim.journal().mid(journalBefore), read ? kStatusJournal : QStringList());
    }

    void applyAsks_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("writes");
        QTest::newRow("yes") << QByteArray("y\n") << u"verified"_s << 1;
        QTest::newRow("no") << QByteArray("n\n") << u"Nothing written."_s << 0;
        QTest::newRow("end of input") << QByteArray("\x04") << u"Nothing written."_s << 0;
    }

    /// On a terminal apply asks, and only "y" writes.
    void applyAsks()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        QFETCH(int, writes);
        // script(1) gives tarn a terminal of its own.
        const QString script = QStandardPaths::findExecutable(u"script"_s);
        if (script.isEmpty())
            QSKIP("script(1) is needed for a terminal");
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start() && home.installIni(sim.slavePath()));
        const QString path = write(u"asks.json"_s, Changed(dump(sim), 1, u"message"_s, 7));
        const qsizetype journalBefore = sim.journal().size();
        QProcess tarn;
        tarn.start(script, {u"-qec"_s,
                            u"'%1/tarn' --device '%2' setup apply '%3'"_s.arg(
                                qEnvironmentVariable("TARN_BIN"), sim.slavePath(), path),
                            u"/dev/null"_s});
        QVERIFY(tarn.waitForStarted());
        // The answer once the question is there, as a person gives it.
        QByteArray shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += tarn.readAllStandardOutput()).contains("[y/N]"),
                                 kRunTimeoutMs);
        tarn.write(answer);
        QVERIFY(tarn.waitForFinished(kRunTimeoutMs));
        QCOMPARE(tarn.exitCode(), 0);
        const QString out = QString::fromUtf8(shown + tarn.readAllStandardOutput());
        QVERIFY2(out.contains(message), qPrintable(out));
        QCOMPARE(sim.journal().size() - journalBefore,
                 kStatusJournal.size() * (1 + writes) + writes);
    }

    /// Dates for a controller that cannot keep them: refused before anything is written.
    void applyDatesToOldFirmware()
    {
        SimProcess first;
        SimProcess old;
        ProgramHome home;
        QVERIFY(first.start() && old.start({u"--version"_s, u"V2.06"_s}) &&
                home.installIni(first.slavePath()));
        const QString path = write(u"dates.json"_s, dump(first));
        const Result result = run(old, {u"setup"_s, u"apply"_s, path, u"--yes"_s});
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(u"Tarn has firmware V 2.06: the serial number and the dates "
                                     u"need 2.07 or later. Nothing written."_s),
                 qPrintable(result.err));
        QCOMPARE(old.journal(), kStatusJournal.mid(0, kStatusJournal.size() - 1));
    }

    void useFileProfiles()
    {
        SimProcess sim;
        ProgramHome home;
        QVERIFY(sim.start() && home.installIni(sim.slavePath()));
        const QByteArray file = Changed(dump(sim), 2, u"profile"_s,
                                        QJsonObject{{u"id"_s, 3},
                                                    {u"name"_s, u"Pulsed"_s},
                                                    {u"definition"_s, u"T,0,F,60,T,90,S,120"_s}});
        const QString path = write(u"profiles.json"_s, file);
        const Result result =
            run(sim, {u"setup"_s, u"apply"_s, path, u"--yes"_s, u"--use-file-profiles"_s});
        QCOMPARE(result.exitCode, 0);
        // The file's definition: 60 s of T (0x80), 30 s of F (0x00), 30 s of T.
        QVERIFY2(sim.journal().contains(u"102 0100BC1E9E"_s), qPrintable(sim.journal().join(u' ')));
        QVERIFY(result.out.endsWith("verified\n"));
    }
};

QTEST_GUILESS_MAIN(tst_TarnSetup)
#include "tst_tarnsetup.moc"
