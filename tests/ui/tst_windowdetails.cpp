#include "RunningProgram.h"

#include "ui/about/frmAbout.h"
#include "ui/setup/TodayCalendar.h"
#include "ui/setup/frmSetup.h"

#include <QDateEdit>
#include <QIcon>

/// Details of the windows: the service date's calendar and the about box's picture.
class tst_WindowDetails : public ProgramTest
{
    Q_OBJECT

private slots:
    /// The service date's calendar opens on the month of today, whatever date the field
    /// holds, and its Today button picks today.
    void serviceCalendarOpensOnToday()
    {
        QVERIFY(startProgram());
        frmSetup setup(window()->tarn, boxes(), window());
        auto* picker = setup.findChild<QDateEdit*>(u"dtpServiceDate"_s);
        QVERIFY(picker);
        auto* calendar = qobject_cast<TodayCalendar*>(picker->calendarWidget());
        QVERIFY(calendar);
        picker->setDate(QDate(2019, 5, 1));
        calendar->setSelectedDate(picker->date());
        // As when the picker's button opens it.
        calendar->window()->show();
        const QDate today = QDate::currentDate();
        QCOMPARE(calendar->yearShown(), today.year());
        QCOMPARE(calendar->monthShown(), today.month());
        calendar->cmdToday->click();
        QCOMPARE(picker->date(), today);
    }

    /// The about box shows the program's own icon.
    void aboutShowsTheProgramIcon()
    {
        frmAbout about(boxes());
        const QImage shown = about.Picture1->pixmap().toImage();
        QVERIFY(!shown.isNull());
        const QImage icon = QIcon(u":/icons/tarnconf-48.png"_s).pixmap(48, 48).toImage();
        QCOMPARE(shown.size(), icon.size());
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32),
                 icon.convertToFormat(QImage::Format_ARGB32));
    }
};

QTEST_MAIN(tst_WindowDetails)
#include "tst_windowdetails.moc"
