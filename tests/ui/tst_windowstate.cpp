#include "RunningProgram.h"

#include "eventloop/WaitDepth.h"

#include <QKeyEvent>

/// What the main window shows of the link and of its waits: a wait that lasts, the work it
/// holds back, the link not working, values gone stale.
class tst_WindowState : public ProgramTest
{
    Q_OBJECT

    QString status() const { return window()->lblAppStatus[1]->text().trimmed(); }

    /// Runs `check` once a request has waited `ms` for its reply.
    void duringWait(int ms, const std::function<void()>& check)
    {
        QTimer::singleShot(ms, window(), [this, check] {
            QVERIFY(!WaitDepth::Idle());
            check();
        });
    }

private slots:
    /// A status read that waits: a busy pointer and what it waits for, for how long; the
    /// About box asked for three times meanwhile opens once, after the wait, and the status
    /// line says so at once.
    void waitIsShown()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        window()->show();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        QVERIFY(sim().command(u"delay 1300"_s));
        QString waiting, held;
        Qt::CursorShape pointer = Qt::ArrowCursor;
        duringWait(1200, [&] {
            waiting = status();
            pointer = window()->cursor().shape();
            for (int k = 0; k < 3; ++k)
                QTest::keyClick(window(), Qt::Key_F1);
            held = status();
            QVERIFY(sim().command(u"delay 0"_s));
        });
        int aboutBoxes = 0;
        auto* closer = new QTimer(window());
        connect(closer, &QTimer::timeout, window(), [&aboutBoxes] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                aboutBoxes += modal->objectName() == u"frmAbout"_s;
                modal->close();
            }
        });
        closer->start(kCheckMs);
        window()->UpdateStatusPage();
        QCOMPARE(waiting, u"Waiting for Tarn's reply to the status read\u2026 1 s"_s);
        QCOMPARE(pointer, Qt::BusyCursor);
        QCOMPARE(held, u"Opening the About box once Tarn has answered\u2026 "
                       u"Waiting for Tarn's reply to the status read\u2026 1 s"_s);
        QTRY_COMPARE(aboutBoxes, 1);
        QTest::qWait(200);
        QCOMPARE(aboutBoxes, 1);
        QCOMPARE(window()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY2(!status().startsWith(u"Waiting"_s), qPrintable(status()));
    }

    /// A short wait shows nothing.
    void shortWaitIsNotShown()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        QVERIFY(sim().command(u"delay 100"_s));
        QStringList seen;
        auto* watch = new QTimer(window());
        connect(watch, &QTimer::timeout, window(), [&] { seen.append(status()); });
        watch->start(kCheckMs);
        window()->UpdateStatusPage();
        for (const QString& line : std::as_const(seen))
            QVERIFY2(!line.startsWith(u"Waiting"_s), qPrintable(line));
    }
};

QTEST_MAIN(tst_WindowState)
#include "tst_windowstate.moc"
