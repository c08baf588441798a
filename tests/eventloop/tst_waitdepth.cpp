#include "eventloop/WaitDepth.h"

#include <QTest>

#include <memory>

/// Work held back by a wait runs once the last wait has ended, and never for a window that
/// has closed meanwhile.
class tst_WaitDepth : public QObject
{
    Q_OBJECT

private slots:
    void deferred_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("contextGone");
        QTest::addColumn<bool>("runs");
        QTest::newRow("idle: now") << 0 << false << true;
        QTest::newRow("in a wait: after it") << 1 << false << true;
        QTest::newRow("in nested waits: after the outer") << 2 << false << true;
        QTest::newRow("its window closed meanwhile: never") << 1 << true << false;
    }

    void deferred()
    {
        QFETCH(int, depth);
        QFETCH(bool, contextGone);
        QFETCH(bool, runs);
        auto context = std::make_unique<QObject>();
        int ran = 0;
        {
            std::vector<std::unique_ptr<WaitDepth::Scope>> waits;
            for (int i = 0; i < depth; ++i)
                waits.push_back(std::make_unique<WaitDepth::Scope>());
            const bool now = WaitDepth::WhenIdle(context.get(), [&ran] { ++ran; });
            QCOMPARE(now, depth == 0);
            while (!waits.empty()) {
                QCoreApplication::processEvents();
                QCOMPARE(ran, depth == 0 ? 1 : 0);
                waits.pop_back();
            }
            if (contextGone)
                context.reset();
        }
        QTRY_COMPARE(WaitDepth::Deferred(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(ran, runs ? 1 : 0);
    }

    /// Work left behind by a window that has closed does not queue the next window's behind
    /// it: asked for once the waits are over, that runs at once.
    void closedWindowHoldsNothingBack()
    {
        auto closed = std::make_unique<QObject>();
        {
            const WaitDepth::Scope wait;
            WaitDepth::WhenIdle(closed.get(), [] {});
        }
        closed.reset();
        QObject next;
        bool ran = false;
        QVERIFY(WaitDepth::WhenIdle(&next, [&ran] { ran = true; }));
        QVERIFY(ran);
        QCOMPARE(WaitDepth::Deferred(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_WaitDepth)
#include "tst_waitdepth.moc"
