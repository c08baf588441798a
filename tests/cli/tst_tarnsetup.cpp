#include "JsonPut.h"
#include "ProgramHome.h"
#include "SchemaCheck.h"
#include "SimProcess.h"
#include "SmallDisk.h"
#include "TarnRun.h"
#include "TestFiles.h"

#include "data/DateCodec.h"
#include "data/TarnDateTime.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr int kRunTimeoutMs = TarnRun::kRunTimeoutMs;
const QStringList& kStatusJournal = SimProcess::kStatusRead;
const auto Line = &SimProcess::Line;

/// The journal line of command 104: the zone as a byte, the profile number in
/// hex.
QString ZoneProfile(char zone, const char* hex8)
{
    return Line(104, QByteArray(1, zone) + hex8);
}

const QByteArray kUnset = "00000000";

QByteArray Packed(int year, int month, int day)
{
    return QByteArray::fromStdString(EncodePackedDate(TarnDateTime::FromParts(year, month, day)));
}

const auto kPacked = [](int y, int m, int d) { return QString::fromLatin1(Packed(y, m, d)); };

/// The simulator as it starts, and any reply it was told to give instead of ACK
/// undone.
QStringList Defaults()
{
    return u"version V2.07;delays 1E0A053C010203010204;profile 0 1;profile 1 "
           u"2;profile 2 3;"
           u"ack 99;ack 102;ack 104"_s.split(u';')
           << u"admin 0001E240"_s + kPacked(2024, 3, 14) + kPacked(2024, 5, 2) +
                  kPacked(2026, 5, 4) + kPacked(2025, 5, 6);
}

/// Set up otherwise than the simulator starts: delays 20/10/10/30, messages 4 5
/// 6, outputs 1,2 / 3,4 / none, profiles 2 2 1, serial number 654321,
/// manufactured 2023-01-10, installed 2023-02-01, serviced 2025-03-01 and
/// 2024-03-01.
QStringList OtherSettings()
{
    return {u"delays 140A0A1E040506030C00"_s, u"profile 0 2"_s, u"profile 2 1"_s,
            u"admin 0009FBF1"_s + kPacked(2023, 1, 10) + kPacked(2023, 2, 1) + kPacked(2025, 3, 1) +
                kPacked(2024, 3, 1)};
}

/// The file's setup without its source.
QJsonObject WithoutSource(const QByteArray& file)
{
    QJsonObject setup = QJsonDocument::fromJson(file).object();
    setup.remove(u"source"_s);
    return setup;
}
} // namespace

/// tarn setup dump, diff and apply as separate processes against one tarn-sim,
/// set back to its start before every case.
class tst_TarnSetup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    SimProcess m_sim;
    ProgramHome m_home;
    /// The simulator's setup as it starts, dumped.
    QByteArray m_file;
    TableVerdicts m_runsSchema;

    /// The schema's verdict on one file ("valid" or "invalid: ...").
    static QString schemaVerdict(const QByteArray& file)
    {
        QStringList verdicts;
        QString errText;
        return SchemaCheck::Verdicts({file}, verdicts, errText) ? verdicts.first() : errText;
    }

    /// Runs tarn on `sim`'s terminal to its end, standard input empty (no
    /// terminal).
    static TarnRun run(const SimProcess& sim, const QStringList& args,
                       const QString& stdoutFile = {})
    {
        return TarnRun::Run(QStringList{u"--device"_s, sim.slavePath()} + args, {}, u"C.UTF-8"_s,
                            stdoutFile);
    }

    /// The setup file of `sim`, as dumped.
    QByteArray dump(const SimProcess& sim)
    {
        const TarnRun result = run(sim, {u"setup"_s, u"dump"_s});
        return result.exitCode == 0 ? result.out : QByteArray();
    }

    QString write(const QString& name, const QByteArray& bytes)
    {
        return WriteAll(m_dir.filePath(name), bytes) ? m_dir.filePath(name) : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_sim.start() && m_home.installIni(m_sim.slavePath()));
        m_file = dump(m_sim);
        QVERIFY(!m_file.isEmpty());
    }

    void init()
    {
        for (const QString& line : Defaults())
            QVERIFY(m_sim.command(line));
    }

    void dumpApplyDump()
    {
        for (const QString& line : OtherSettings())
            QVERIFY(m_sim.command(line));
        QVERIFY(WithoutSource(dump(m_sim)) != WithoutSource(m_file));
        const QString path = write(u"first.json"_s, m_file);
        const qsizetype journalBefore = m_sim.journal().size();

        const TarnRun applied =
            run(m_sim, {u"setup"_s, u"apply"_s, path, u"--yes"_s, u"--factory"_s});
        QCOMPARE(applied.exitCode, 0);
        QVERIFY2(applied.out.endsWith("verified\n"), applied.out.constData());
        QVERIFY(applied.out.contains("zone 1 outputs: 1,2 \xE2\x86\x92 1\n"));
        // The factory values are in the plan it reports, as they are written.
        QVERIFY2(applied.out.contains("serial number: 654321 \xE2\x86\x92 123456\n") &&
                     applied.out.contains("serial number (99)"),
                 applied.out.constData());
        // Read, identified again after the question, the blocks in the setup window's order
        // (zone 2 already runs profile 2), read back.
        QStringList expected = kStatusJournal;
        expected << u"64"_s << u"51"_s << u"55"_s << Line(98, "1E0A053C01020301020400")
                 << ZoneProfile(0, "00000001") << u"102 *"_s << ZoneProfile(2, "00000003")
                 << u"102 *"_s
                 // One field each, the others unset: serial number, manufactured,
                 // installed, then both service dates.
                 << Line(99, "0001E240" + kUnset + kUnset + kUnset + kUnset)
                 << Line(99, kUnset + Packed(2024, 3, 14) + kUnset + kUnset + kUnset)
                 << Line(99, kUnset + kUnset + Packed(2024, 5, 2) + kUnset + kUnset)
                 << Line(99, kUnset + kUnset + kUnset + Packed(2026, 5, 4) + Packed(2025, 5, 6))
                 << kStatusJournal;
        const QStringList sent = m_sim.journal().mid(journalBefore);
        QCOMPARE(sent, SimProcess::Wildcarded(expected, sent));

        QCOMPARE(WithoutSource(dump(m_sim)), WithoutSource(m_file));
    }

    /// A zone whose profile number was acknowledged without its definition differs from every
    /// file, in diff and apply, until both are written again.
    void halfDoneZoneWrite()
    {
        QVERIFY(m_sim.command(u"profile 0 2"_s));
        const QString path = write(u"profile2.json"_s, dump(m_sim));
        QVERIFY(m_sim.command(u"profile 0 1"_s) && m_sim.command(u"ack 102 NAK"_s));
        QCOMPARE(run(m_sim, {u"setup"_s, u"apply"_s, path, u"--yes"_s}).exitCode, 1);

        QVERIFY(m_sim.command(u"ack 102"_s));
        const TarnRun differs = run(m_sim, {u"setup"_s, u"diff"_s, path});
        QCOMPARE(differs.exitCode, 1);
        QVERIFY2(
            differs.out.contains("zone 1 profile: 2 Continuous 30 min (definition not confirmed) "
                                 "\xE2\x86\x92 2 Continuous 30 min"),
            differs.out.constData());
        const qsizetype before = m_sim.journal().size();
        const TarnRun applied = run(m_sim, {u"setup"_s, u"apply"_s, path, u"--yes"_s});
        QCOMPARE(applied.exitCode, 0);
        QVERIFY2(applied.out.endsWith("verified\n"), applied.out.constData());
        const QStringList sent = m_sim.journal().mid(before);
        // The number again, and this time its definition right after it.
        const qsizetype zone = sent.indexOf(ZoneProfile(0, "00000002"));
        QVERIFY(zone >= 0 && zone + 1 < sent.size());
        QVERIFY(sent[zone + 1].startsWith(u"102 "_s));
        QCOMPARE(run(m_sim, {u"setup"_s, u"diff"_s, path}).exitCode, 0);
    }

    void dumpReadsBack_data()
    {
        QTest::addColumn<QStringList>("simLines");
        QTest::newRow("manual stop delay 255, detector alarm delay 0")
            << QStringList{u"delays 000A05FF010203010204"_s};
        QTest::newRow("profile FFFF") << QStringList{u"profile 1 65535"_s};
        // Installed before manufactured, a service in the future and one before it later.
        QTest::newRow("dates in the future and out of order")
            << QStringList{u"admin 0001E240"_s + kPacked(2024, 3, 14) + kPacked(2024, 1, 2) +
                           kPacked(2027, 5, 4) + kPacked(2028, 5, 6)};
    }

    /// What the controller holds, its dump holds, and diff takes back: equal, exit 0.
    void dumpReadsBack()
    {
        QFETCH(QStringList, simLines);
        for (const QString& line : simLines)
            QVERIFY(m_sim.command(line));
        const QByteArray file = dump(m_sim);
        QVERIFY(!file.isEmpty());
        QCOMPARE(schemaVerdict(file), u"valid"_s);
        const TarnRun diff = run(m_sim, {u"setup"_s, u"diff"_s, write(u"held.json"_s, file)});
        QCOMPARE(diff.exitCode, 0);
        QVERIFY2(diff.err.contains(u"Tarn's setup equals"_s), qPrintable(diff.err));
    }

    void dumpOutputFails_data()
    {
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<QString>("message");
        QTest::newRow("standard output full")
            << false << u"standard output could not be written: No space left on device"_s;
        QTest::newRow("file on a full disk") << true << u"could not be saved"_s;
    }

    /// A dump that cannot be written is an error, and the file it was to replace
    /// stays whole.
    void dumpOutputFails()
    {
        QFETCH(bool, toFile);
        QFETCH(QString, message);
        SmallDisk disk;
        if (toFile && !disk.mounted())
            QSKIP(SmallDisk::skipReason());
        const QString file = disk.filePath(u"setup.json"_s);
        const QByteArray old = "{}\n";
        QStringList args{u"setup"_s, u"dump"_s};
        if (toFile) {
            QVERIFY(WriteAll(file, old) && disk.fill());
            args << u"--output"_s << file;
        }
        const TarnRun result = run(m_sim, args, toFile ? QString() : u"/dev/full"_s);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(!toFile || ReadAll(file) == old);
    }

    /// diff and apply of a file changed from the simulator's own: exit code,
    /// messages, and the frames the simulator received (the status read first;
    /// -1: not counted).
    void runs_data()
    {
        QTest::addColumn<QStringList>("simLines");
        QTest::addColumn<QStringList>("changes"); // "path=JSON", e.g. "zones[2].outputs=[1,3]"
        QTest::addColumn<QStringList>("args");    // the subcommand, then the file, then these
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("sent"); // a frame among them
        const QString pulsed =
            uR"(zones[1].profile={"id": 3, "name": "Pulsed", "definition": )"
            uR"("T,0,F,120,T,180,F,300,T,360,F,480,T,540,F,660,T,720,F,840,S,900"})"_s;
        const QString otherPulsed =
            uR"(zones[1].profile={"id": 3, "name": "Pulsed", "definition": "T,0,F,60,T,90,S,120"})"_s;
        const QStringList stopped{
            u"zones[0].message=9"_s, pulsed,
            uR"(dates={"installed": "2024-06-01", "lastService": "2026-05-04", )"
            uR"("serviceBefore": "2025-05-06"})"_s};
        const QStringList diff{u"diff"_s};
        const QStringList yes{u"apply"_s, u"--yes"_s};
        const QString written = u"Written: delays, zone messages and outputs (98)"_s;
        const auto row = [&](const char* name, const QStringList& simLines,
                             const QStringList& changes, const QStringList& args, int exitCode,
                             const QString& err, int frames, const QByteArray& out = {},
                             const QString& sent = {}) {
            QTest::newRow(name) << simLines << changes << args << exitCode << err << out << frames
                                << sent;
            QByteArray file = m_file;
            for (const QString& change : changes)
                file = JsonPut(file, change);
            m_runsSchema.add(name, file);
        };
        const QStringList outputs{u"zones[2].outputs=[1,3]"_s};
        row("diff equal", {}, {}, diff, 0, u"Tarn's setup equals"_s, 8);
        row("diff zone 2 outputs", {u"delays 1E0A053C010203010A04"_s}, {}, diff, 1, {}, 8,
            "zone 2 outputs: 2,4 \xE2\x86\x92 2\n");
        row("diff refused file", {}, {u"formatVersion=null"_s}, diff, 2,
            u"formatVersion: must be a whole number"_s, 0);
        row("diff no answer", {u"mute 1"_s}, {}, diff, 2, u"Communication timeout error."_s, -1);
        // A refusal stops the writes at once and tells which blocks went and which
        // did not.
        // A value the controller holds may stand in the file; one it does not is written only
        // where the setup window would write it.
        const QStringList held255{u"delays 1E0A05FF010203010204"_s};
        row("a delay of 255 held, a message written", held255,
            {u"delays.manualStop=255"_s, u"zones[0].message=9"_s}, yes, 0, {}, 20, "verified\n",
            Line(98, "1E0A05FF09020301020400"));
        row("a delay of 255 over 60: refused, the rest written", {},
            {u"delays.manualStop=255"_s, u"dates.installed=\"2024-06-01\""_s}, yes, 1,
            u"Refused: delays, zone messages and outputs (98): manual stop delay 255 is outside "
            u"1 to 250.\n"_s,
            20, "verified\n", Line(99, kUnset + kUnset + Packed(2024, 6, 1) + kUnset + kUnset));
        // A service recorded since the file was saved: apply never takes it back.
        const QStringList serviced{u"admin 0001E240"_s + kPacked(2024, 3, 14) +
                                   kPacked(2024, 5, 2) + kPacked(2026, 12, 1) +
                                   kPacked(2026, 5, 4)};
        row("service dates going back: refused, the rest written", serviced,
            {u"delays.manualStop=90"_s}, yes, 1,
            u"Refused: service dates (99): the last service date would go back from 2026-12-01 "
            u"to 2026-05-04 (--force-dates writes it).\n"_s,
            20, "verified\n", Line(98, "1E0A055A01020301020400"));
        row("service dates going back, --force-dates", serviced, {u"delays.manualStop=90"_s},
            yes + QStringList{u"--force-dates"_s}, 0, {}, 21, "verified\n",
            Line(99, kUnset + kUnset + kUnset + Packed(2026, 5, 4) + Packed(2025, 5, 6)));
        // A file from 2.07 on a 2.06 controller: what that firmware takes, when asked for.
        row("dates to firmware 2.06, --only delays,zones", {u"version V2.06"_s},
            {u"zones[0].message=9"_s}, yes + QStringList{u"--only"_s, u"delays,zones"_s}, 0,
            u"Left out: installation date (99), service dates (99): not in --only.\n"_s, 17,
            "verified\n", Line(98, "1E0A053C09020301020400"));
        row("--only with another name", {}, {}, yes + QStringList{u"--only"_s, u"profiles"_s}, 2,
            u"--only takes delays, zones, dates, factory, not \"profiles\""_s, 0);
        // Cut to 32 bytes it would lose its end: refused before anything is sent.
        row("a definition of 42 bytes", {},
            {uR"(zones[1].profile={"id": 3, "name": "Long", "definition": "T,0,F,0,S,5040"})"_s},
            yes + QStringList{u"--use-file-profiles"_s}, 2,
            u"is refused: zones[1].profile.definition: compiles to 42 bytes; Tarn holds at most 32"_s,
            0);
        // The controller may have taken a command it did not answer.
        row("104 unanswered", {u"mute 1 104"_s}, stopped, yes, 1,
            u"Stopped: zone 2 profile (104, 102) failed (command 104 got no answer).\n"_s +
                written +
                u".\nNot confirmed: zone 2 profile (104, 102).\nNot written: installation date "
                u"(99).\n"_s,
            13);
        row("104 refused", {u"ack 104 NAK"_s}, stopped, yes, 1,
            u"Stopped: zone 2 profile (104, 102) failed.\n"_s + written +
                u".\nNot written: zone 2 profile (104, 102), installation date (99)."_s,
            13);
        row("102 refused after 104", {u"ack 102 NAK"_s}, stopped, yes, 1,
            u"Stopped: zone 2 profile (104, 102) failed (command 104 of it was "
            u"acknowledged, "
            u"command 102 not).\n"_s +
                written + u".\nNot written: zone 2 profile (104, 102), installation date (99)."_s,
            14);
        row("date refused", {u"ack 99 NAK"_s}, stopped, yes, 1,
            u"Stopped: installation date (99) failed.\n"_s + written +
                u", zone 2 profile (104, 102).\nNot written: installation date (99)."_s,
            15);
        row("--dry-run sends nothing", {}, outputs, {u"apply"_s, u"--dry-run"_s}, 0,
            u"--dry-run: nothing written."_s, 8);
        row("no terminal, no --yes", {}, outputs, {u"apply"_s}, 2,
            u"there is no terminal to ask on: give --yes"_s, 0);
        row("profile defined otherwise in Tarn.INI", {}, QStringList{otherPulsed} + outputs, yes, 2,
            u"zone 2 profile 3 is defined differently in Tarn.INI"_s, 8);
        // The file's definition: 60 s of T (0x80), 30 s of F (0x00), 30 s of T.
        row("--use-file-profiles", {}, {otherPulsed}, yes + QStringList{u"--use-file-profiles"_s},
            0, {}, 21, "verified\n", u"102 0100BC1E9E"_s);
        // Dates for a controller that cannot keep them: refused before anything is
        // written.
        row("dates to firmware 2.06", {u"version V2.06"_s}, {}, yes, 2,
            u"Tarn has firmware V 2.06: the serial number and the dates need 2.07 or later; "
            u"--only delays,zones writes the rest. Nothing written."_s,
            7);
        m_runsSchema.judge();
    }

    void runs()
    {
        QFETCH(QStringList, simLines);
        QFETCH(QStringList, changes);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QFETCH(QByteArray, out);
        QFETCH(int, frames);
        QFETCH(QString, sent);
        for (const QString& line : simLines)
            QVERIFY(m_sim.command(line));
        QByteArray file = m_file;
        for (const QString& change : changes)
            file = JsonPut(file, change);
        args.insert(1, write(u"run.json"_s, file));
        const qsizetype before = m_sim.journal().size();
        const TarnRun result = run(m_sim, QStringList{u"setup"_s} + args);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        QVERIFY2(result.out.contains(out), result.out.constData());
        const QStringList journal = m_sim.journal().mid(before);
        if (frames >= 0) {
            QCOMPARE(journal.size(), frames);
            // Before 2.07 there is no administrative data (51) to read.
            QStringList status = kStatusJournal;
            if (simLines.contains(u"version V2.06"_s))
                status.removeAll(u"51"_s);
            QCOMPARE(journal.mid(0, status.size()), status.mid(0, qMin(frames, status.size())));
        }
        QVERIFY(sent.isEmpty() || journal.contains(sent));
        // The schema refuses what the reader refuses, but the length of a compiled profile,
        // which it cannot tell.
        const bool refused = result.err.contains(u" is refused: "_s) &&
                             !result.err.contains(u"Tarn holds at most"_s);
        const QString verdict = m_runsSchema.current();
        QVERIFY2((verdict == u"valid") != refused, qPrintable(verdict));
    }

    void applyAsks_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("swap"); // to the simulator while the question waits
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("writes");
        QTest::newRow("yes") << QByteArray("y\n") << QString() << u"verified"_s << 0 << 1;
        QTest::newRow("no") << QByteArray("n\n") << QString() << u"Nothing written."_s << 0 << 0;
        QTest::newRow("end of input")
            << QByteArray("\x04") << QString() << u"Nothing written."_s << 0 << 0;
        // The cable moved to another controller at the question: it gets nothing.
        QTest::newRow("another Tarn at the question")
            << QByteArray("y\n") << u"admin 0009FBF1"_s + QString(32, u'0')
            << u"Another Tarn is connected now: serial 654321, V2.07. The setup was read from "
               u"serial 123456. Nothing written."_s
            << 1 << -1;
    }

    /// On a terminal apply asks, and only "y" writes.
    void applyAsks()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, swap);
        QFETCH(QString, message);
        QFETCH(int, exitCode);
        QFETCH(int, writes);
        // script(1) gives tarn a terminal of its own.
        const QString script = QStandardPaths::findExecutable(u"script"_s);
        if (script.isEmpty())
            QSKIP("script(1) is needed for a terminal");
        const QString path = write(u"asks.json"_s, JsonPut(m_file, u"zones[0].message=7"_s));
        const qsizetype journalBefore = m_sim.journal().size();
        QProcess tarn;
        tarn.start(script, {u"-qec"_s,
                            u"'%1/tarn' --device '%2' setup apply '%3'"_s.arg(
                                qEnvironmentVariable("TARN_BIN"), m_sim.slavePath(), path),
                            u"/dev/null"_s});
        QVERIFY(tarn.waitForStarted());
        // The answer once the question is there, as a person gives it.
        QByteArray shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += tarn.readAllStandardOutput()).contains("[y/N]"),
                                 kRunTimeoutMs);
        if (!swap.isEmpty())
            QVERIFY(m_sim.command(swap));
        tarn.write(answer);
        QVERIFY(tarn.waitForFinished(kRunTimeoutMs));
        QCOMPARE(tarn.exitCode(), exitCode);
        const QString out = QString::fromUtf8(shown + tarn.readAllStandardOutput());
        QVERIFY2(out.contains(message), qPrintable(out));
        const QStringList sent = m_sim.journal().mid(journalBefore);
        if (writes < 0) {
            // Identified again after the answer, and nothing written.
            QCOMPARE(sent, kStatusJournal + (QStringList{u"64"_s, u"51"_s, u"55"_s}));
            return;
        }
        // The status read, then for a write the controller identified again (64, 51, 55), the
        // write and the read-back.
        QCOMPARE(sent.size(), kStatusJournal.size() * (1 + writes) + writes * 4);
    }
};

QTEST_GUILESS_MAIN(tst_TarnSetup)
#include "tst_tarnsetup.moc"
