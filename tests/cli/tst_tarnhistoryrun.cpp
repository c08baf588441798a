#include "ProgramHome.h"
#include "SimProcess.h"
#include "TarnRun.h"
#include "history/ArchiveConnection.h"
#include "history/HistoryArchive.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
/// A row of scenarios().
void Scenario(const char* name, const QStringList& steps, const QString& records,
              const QString& said)
{
    QTest::newRow(name) << steps << records << said;
}
} // namespace

/// tarn log, status and history against tarn-sim, run after run on one program folder: what
/// the service history holds at the end.
class tst_TarnHistoryRun : public QObject
{
    Q_OBJECT

private slots:
    void scenarios_data();
    void scenarios();
};

void tst_TarnHistoryRun::scenarios_data()
{
    // Steps: "sim OPTIONS" (re)starts the simulator on COM1 ("{dir}" a folder of the test's
    // own), "ctl LINE" sends it a line, "tarn=N ARGS" runs tarn, which must end with exit code N;
    // "tarn& ARGS" starts it, "wait TEXT" waits until it said TEXT, "join=N" until it ended;
    // "lock" and "unlock" the history's write lock held by another program, "damage" its file;
    // "ini LINE" adds a line to Tarn.INI; "out TEXT" checks that the last run printed TEXT.
    QTest::addColumn<QStringList>("steps");
    // Per record, oldest first: its serial number ("-" for none) and its events; "none" for no
    // history at all.
    QTest::addColumn<QString>("records");
    // A part of the last tarn run's standard error ("" when it must be empty).
    QTest::addColumn<QString>("said");
    const QString zeroSerial = u"ctl admin "_s + QString(40, u'0');
    Scenario("two V2.06 controllers on one port",
             {u"sim --version V2.06 --events 3 --seed 1"_s, u"tarn=0 log"_s,
              u"sim --version V2.06 --events 2 --seed 2"_s, u"tarn=0 log"_s},
             u"-:3 -:2"_s, u"new record, number 2"_s);
    Scenario("serial number 0 is none",
             {u"sim --events 3 --seed 1"_s, zeroSerial, u"tarn=0 log --all"_s,
              u"sim --events 2 --seed 2"_s, zeroSerial, u"tarn=0 log --all"_s},
             u"-:3 -:2"_s, u"new record, number 2"_s);
    Scenario("a controller without serial number known by its events",
             {u"sim --events 3 --store {dir}/a"_s, zeroSerial, u"tarn=0 log --all"_s,
              u"sim --events 2 --seed 2"_s, zeroSerial, u"tarn=0 log --all"_s,
              u"sim --store {dir}/a"_s, zeroSerial, u"tarn=0 log --all"_s},
             u"-:3 -:2"_s, QString());
    Scenario("records of one controller merged by hand",
             {u"sim --version V2.06 --events 3 --seed 1"_s, u"tarn=0 log"_s,
              u"sim --version V2.06 --events 2 --seed 2"_s, u"tarn=0 log"_s,
              u"tarn=0 history merge 1 2"_s},
             u"-:5"_s, QString());
    Scenario("two serial numbers are never merged",
             {u"sim --events 2 --seed 1"_s, u"tarn=0 log"_s,
              u"ctl admin 00000007"_s + QString(32, u'0'), u"tarn=0 status"_s,
              u"tarn=1 history merge 1 2"_s},
             u"*:2 7:0"_s, u"two controllers"_s);
    // A reading stopped by a request lost, then the new events only: those the rewind sent
    // again come again.
    Scenario("a rewind's reading interrupted, then new events",
             {u"sim --events 40"_s, u"tarn=0 log"_s, u"ctl faults 17 0 0"_s, u"tarn=1 log --all"_s,
              u"ctl faults 0 0 0"_s, u"tarn=0 log"_s},
             u"*:40"_s, QString());
    // Replies 1-8: the first log; 9-11: version, serial number and the rewind of the second.
    Scenario("a rewind's answer damaged, then new events",
             {u"sim --events 5 --corrupt-every 11"_s, u"tarn=0 log"_s, u"tarn=1 log --all"_s,
              u"ctl faults 0 0 0"_s, u"tarn=0 log"_s},
             u"*:5"_s, QString());
    Scenario("an event as one before the log was deleted is another",
             {u"sim"_s, u"ctl event A65794900F06"_s, u"tarn=0 log"_s, u"tarn=0 delete-log --yes"_s,
              u"ctl event A65794900F06"_s, u"tarn=0 log --all"_s, u"tarn=0 log --all"_s},
             u"*:2"_s, QString());
    Scenario("a lock while reading: held, said, stored",
             {u"sim --events 30"_s, u"tarn=0 status"_s, u"lock"_s, u"tarn& log"_s,
              u"wait locked by another program"_s, u"unlock"_s, u"join=0"_s},
             u"*:30"_s, u"is locked by another program: what is read is kept"_s);
    Scenario("a lock held for good: not archived, said",
             {u"sim --events 5"_s, u"tarn=0 status"_s, u"lock"_s, u"tarn=1 log"_s, u"unlock"_s},
             u"*:0"_s, u"5 records of what was read or written could not be kept"_s);
    // The event came from 123456 (read before it), but the line failed while its record could
    // not be made (the history locked), and 777 answered since: it is printed and filed as
    // 123456's, not under an unknown controller.
    Scenario("held events, the line lost, another controller read",
             {u"sim"_s, u"ctl admin 00000005"_s + QString(32, u'0'), u"tarn=0 status"_s, u"lock"_s,
              u"sim --events 3 --reply-delay 300 --drop-every 5"_s,
              u"tarn& log --all --format csv"_s, u"wait Communication timeout error."_s,
              u"ctl faults 0 0 0"_s, u"ctl admin 00000309"_s + QString(32, u'0'), u"unlock"_s,
              u"join=1"_s, u"out 123456,2.07,"_s},
             u"5:0 777:0 123456:1"_s, u"Communication timeout error."_s);
    Scenario("history switched off",
             {u"sim --events 2"_s, u"ini [HISTORY]"_s, u"ini Database=off"_s,
              u"tarn=0 log --format csv"_s, u"out 123456,2.07,"_s},
             u"none"_s, QString());
    Scenario("a damaged history said once",
             {u"sim --events 2"_s, u"tarn=0 status"_s, u"damage"_s, u"tarn=1 log"_s}, QString(),
             u"cannot be used: file is not a database. The program goes on without it."_s);
}

void tst_TarnHistoryRun::scenarios()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, records);
    QFETCH(QString, said);
    ProgramHome home;
    QTemporaryDir dir;
    SimProcess sim;
    TarnRun last;
    const QString history = home.filePath(QLatin1String(HistoryArchive::kFileName));
    ArchiveConnection locker;
    QString errText;
    QProcess background;
    QString backgroundSaid;
    for (const QString& step : steps) {
        const QString rest = step.section(u' ', 1).replace(u"{dir}"_s, dir.path());
        if (step.section(u' ', 0, 0) == "sim"_L1) {
            QVERIFY(sim.start(rest.split(u' ', Qt::SkipEmptyParts)) &&
                    home.installIni(sim.slavePath()));
        } else if (step.startsWith("ctl "_L1)) {
            QVERIFY2(sim.command(rest), qPrintable(step));
        } else if (step == "lock"_L1) {
            QVERIFY(locker.OpenSqlite(history, HistoryArchive::kBusyTimeout, errText));
            QVERIFY2(locker.Begin(errText), qPrintable(errText));
        } else if (step == "unlock"_L1) {
            locker.Rollback();
            locker.Close();
        } else if (step.startsWith("ini "_L1)) {
            QFile ini(home.filePath(u"Tarn.INI"_s));
            QVERIFY(ini.open(QIODevice::Append) && ini.write((rest + u"\r\n"_s).toLatin1()) > 0);
        } else if (step == "damage"_L1) {
            QFile file(history);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.write(QByteArray(32, 'x')) == 32);
        } else if (step.startsWith("out "_L1)) {
            QVERIFY2(last.out.contains(rest.toUtf8()), qPrintable(QString::fromUtf8(last.out)));
        } else if (step.startsWith("tarn& "_L1)) {
            QVERIFY(TarnRun::Start(background, rest.split(u' ')));
        } else if (step.startsWith("wait "_L1)) {
            QTRY_VERIFY_WITH_TIMEOUT(
                (backgroundSaid += QString::fromUtf8(background.readAllStandardError()))
                    .contains(rest),
                TarnRun::kRunTimeoutMs);
        } else if (step.startsWith("join="_L1)) {
            QVERIFY(background.state() == QProcess::NotRunning ||
                    background.waitForFinished(TarnRun::kRunTimeoutMs));
            last.exitCode = background.exitCode();
            last.err = backgroundSaid + QString::fromUtf8(background.readAllStandardError());
            last.out = background.readAllStandardOutput();
            QVERIFY2(last.exitCode == step.mid(5).toInt(), qPrintable(last.err));
        } else {
            last = TarnRun::Run(rest.split(u' '));
            QVERIFY2(last.exitCode == step.section(u' ', 0, 0).section(u'=', 1).toInt(),
                     qPrintable(step + u": "_s + last.err));
        }
    }
    if (said.isEmpty())
        QVERIFY2(last.err.isEmpty(), qPrintable(last.err));
    else
        QVERIFY2(last.err.contains(said), qPrintable(last.err));
    // Each state of the history in one sentence, once.
    QVERIFY2(last.err.count(u"without it"_s) <= 1 && last.err.count(u"locked"_s) <= 1,
             qPrintable(last.err));
    if (records.isEmpty())
        return;
    if (records == "none"_L1) {
        QVERIFY(!QFile::exists(history));
        return;
    }
    HistoryArchive archive(u"test"_s);
    QVERIFY(archive.Open(home.path()));
    QStringList got;
    for (const ArchivedController& controller : archive.Controllers())
        got << (controller.key.serialNumber.isEmpty() ? u"-"_s : controller.key.serialNumber) +
                   u':' + QString::number(archive.Events(controller.id).size());
    if (records.startsWith(u'*') && !got.isEmpty())
        got.first().replace(0, got.first().indexOf(u':'), u"*"_s);
    QCOMPARE(got.join(u' '), records);
}

QTEST_GUILESS_MAIN(tst_TarnHistoryRun)
#include "tst_tarnhistoryrun.moc"
