// The archive's background writer on a PostgreSQL server the test runs itself: the local queue
// sent before the program ends once the server is back, and a server that starts refusing
// the connection said as a refusal.

#include "ArchiveRecords.h"
#include "PostgresCluster.h"

#include <csignal>

using namespace ArchiveRecords;

namespace {
/// Longer than the server's retry interval: the probe has tried it by then.
constexpr int kProbedMs = 25000;
} // namespace

class TestArchiveWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!m_cluster.missing().isEmpty())
            QSKIP(qPrintable(m_cluster.missing()));
        QString errText;
        QVERIFY2(m_cluster.ready(errText), qPrintable(errText));
    }
    void cleanup() { m_cluster.signalAll(SIGCONT); }

    void queueSentBeforeTheEnd_data()
    {
        QTest::addColumn<bool>("background");
        QTest::newRow("stored on the program's thread") << false;
        QTest::newRow("stored by the background writer") << true;
    }
    /// What was queued while the server was stopped reaches it within the program's end
    /// (Flush), not at the next start.
    void queueSentBeforeTheEnd()
    {
        QFETCH(bool, background);
        QTemporaryDir folder;
        HistoryArchive archive(kProgram);
        QVERIFY(archive.Open(folder.path(), m_cluster.address()));
        const QString serial = QStringLiteral("Q%1").arg(background);
        const auto id = archive.ControllerId({serial, 2.07, QStringLiteral("COM1")});
        QVERIFY(id);
        if (background)
            QVERIFY(archive.StoreInBackground());
        QVERIFY(archive.StoreEvent(*id, Event(QStringLiteral("A"))));
        QVERIFY(archive.Flush(std::chrono::seconds(5)));
        QVERIFY(m_cluster.signalAll(SIGSTOP));
        QVERIFY(archive.StoreEvent(*id, Event(QStringLiteral("B"))));
        QTRY_VERIFY_WITH_TIMEOUT(archive.isQueueing(), kProbedMs);
        QVERIFY(m_cluster.signalAll(SIGCONT));
        QVERIFY(archive.Flush(std::chrono::seconds(5)));
        QVERIFY2(!archive.isQueueing(), qPrintable(archive.fault()));
        HistoryArchive reader(kProgram);
        QVERIFY(reader.OpenForReading(folder.path(), m_cluster.address()));
        const auto found = reader.FindController(serial);
        QVERIFY(found);
        QCOMPARE(reader.Events(found->id).size(), std::size_t(2));
    }

    /// A server that refuses the connection once the run is on (the role may no longer log
    /// in) is said as a refusal by the probe that tries it again, not as one not reached.
    void refusedMidRun()
    {
        QVERIFY(admin(QStringLiteral("CREATE ROLE technician LOGIN SUPERUSER")));
        QTemporaryDir folder;
        HistoryArchive archive(kProgram);
        QString address = m_cluster.address();
        address.replace(QLatin1String(PostgresCluster::kUser) + u'@',
                        QStringLiteral("technician@"));
        QVERIFY2(archive.Open(folder.path(), address), qPrintable(archive.fault()));
        const auto id = archive.ControllerId({QStringLiteral("R1"), 2.07, QStringLiteral("COM1")});
        QVERIFY(id);
        QVERIFY(m_cluster.signalAll(SIGSTOP));
        QVERIFY(archive.StoreEvent(*id, Event(QStringLiteral("A"))));
        QVERIFY(archive.isQueueing());
        QVERIFY(m_cluster.signalAll(SIGCONT));
        QVERIFY(admin(QStringLiteral("ALTER ROLE technician NOLOGIN")));
        QTRY_VERIFY2_WITH_TIMEOUT(archive.fault().contains(QLatin1String("refused")),
                                  qPrintable(archive.fault()), kProbedMs);
        QVERIFY(archive.isQueueing());
        QVERIFY2(!archive.fault().contains(QLatin1String("cannot be reached")),
                 qPrintable(archive.fault()));
    }

private:
    bool admin(const QString& sql)
    {
        ArchiveConnection db;
        QString errText;
        return Connect(db, QString(), m_cluster.address(), errText) && db.Exec(sql, errText);
    }

    PostgresCluster m_cluster;
};

QTEST_GUILESS_MAIN(TestArchiveWriter)
#include "tst_archivewriter.moc"
