#include "controller/RequestWait.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_RequestWait : public QObject
{
    Q_OBJECT

private slots:
    /// What a wait is called on the status line.
    void waitText_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("first showing") << 64 << 300 << u"the version read\u2026 1 s"_s;
        QTest::newRow("rounded") << 50 << 2600 << u"the clock read\u2026 3 s"_s;
        QTest::newRow("outputs") << 100 << 1000 << u"the outputs command\u2026 1 s"_s;
        QTest::newRow("unknown") << 53 << 4000 << u"the request\u2026 4 s"_s;
    }

    void waitText()
    {
        QFETCH(int, command);
        QFETCH(int, ms);
        QFETCH(QString, text);
        QCOMPARE(RequestWait::Text(RequestWait::Subject(command), std::chrono::milliseconds(ms)),
                 u"Waiting for Tarn's reply to "_s + text);
    }
};

QTEST_MAIN(tst_RequestWait)
#include "tst_requestwait.moc"
