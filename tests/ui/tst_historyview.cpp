// The History views against tarn-sim: the events and status snapshots of a controller,
// filtered, sorted and exported; the Pictures tab; View > Fleet.

#include "CsvReadBack.h"
#include "HistoryProgramTest.h"

#include "data/Catalogues.h"
#include "history/FleetModel.h"
#include "history/HistoryArchive.h"
#include "history/HistoryEventModel.h"
#include "ui/history/PicturesCanvas.h"
#include "ui/history/PicturesTab.h"
#include "ui/history/frmFleet.h"
#include "ui/history/frmHistory.h"

#include <QBrush>
#include <QDateEdit>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QXmlStreamReader>

class tst_HistoryView : public HistoryProgramTest
{
    Q_OBJECT

private slots:
    /// The view lists the controller's events, filters them by code and date, sorts them by
    /// value and exports the rows shown.
    void viewFiltersSortsExports()
    {
        QVERIFY(open(6));
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        window()->mnuViewHistory->trigger();
        frmHistory* history = window()->HistoryWindow;
        QCOMPARE(history->lvControllers->topLevelItemCount(), 1);
        history->lvControllers->topLevelItem(0)->setSelected(true);
        QAbstractItemModel* model = history->tvEvents->model();
        QCOMPARE(model->rowCount(), 6);
        history->txtCode->setText(u"2"_s);
        history->cmdFilter->click();
        QCOMPARE(model->rowCount(), 2);
        // The event's text as Tarn.INI gives it does as well as its code.
        history->txtCode->setText(
            QString::fromStdString(EventCodeCatalogue.Find("2")->Text).toUpper());
        history->cmdFilter->click();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(history->lblEvents->text(), u"2 events"_s);
        history->txtCode->clear();
        history->chkFrom->setChecked(true);
        history->dtpFrom->setDate(QDate(2026, 1, 2));
        history->cmdFilter->click();
        QCOMPARE(model->rowCount(), 0);
        history->chkFrom->setChecked(false);
        // "To" keeps the whole day: the events of 10:00 on it.
        history->chkTo->setChecked(true);
        history->dtpTo->setDate(QDate(2026, 1, 1));
        history->cmdFilter->click();
        QCOMPARE(model->rowCount(), 6);
        history->chkTo->setChecked(false);
        history->cmdFilter->click();
        history->tvEvents->sortByColumn(HistoryEventModel::ColumnTemp, Qt::AscendingOrder);
        // Temperatures 20 down to 15: by value, the last read first.
        QCOMPARE(model->index(0, HistoryEventModel::ColumnNo).data().toString(), u"006"_s);
        QCOMPARE(model->index(5, HistoryEventModel::ColumnNo).data().toString(), u"001"_s);

        // A status snapshot tells what changed since the one before.
        QVERIFY(sim().command(u"inputs 000019"_s));
        window()->IdentifyController();
        QVERIFY(sim().command(u"inputs 00001A"_s));
        window()->IdentifyController();
        history->Refresh();
        const int snapshots = history->lvStatus->topLevelItemCount();
        const QTreeWidgetItem* last = history->lvStatus->topLevelItem(snapshots - 1);
        QCOMPARE(last->text(1), u"1 changed"_s);
        QCOMPARE((QStringList{last->child(0)->text(1), last->child(0)->text(2),
                              last->child(0)->text(3)}),
                 (QStringList{u"Temperature"_s, u"25 \u00b0C"_s, u"26 \u00b0C"_s}));

        // tools/screenshot.sh pictures the view.
        if (const QString folder = qEnvironmentVariable("TARN_SCREENSHOT_DIR"); !folder.isEmpty()) {
            history->tabHistory->setCurrentIndex(0);
            history->resize(1200, 420);
            history->grab().save(folder + u"/screenshot-history.png"_s);
        }

        QTemporaryDir dir;
        const QString path = dir.filePath(u"events.csv"_s);
        boxes().expectSaveFile(path);
        history->cmdExport->click();
        QCOMPARE(QFileInfo(boxes().suggested()).fileName(),
                 u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) + u"_history.csv"_s);
        // As sorted, read back by Python's csv module: the controller in every row.
        const QList<QStringList> rows = CsvReadBack(ReadAll(path));
        QCOMPARE(rows.size(), 7);
        QCOMPARE(rows[0].join(u','), u"serial,firmware,number,time,celsius,fahrenheit,code,text,"
                                     u"read_at,program"_s);
        QCOMPARE(rows[1].mid(0, 3), (QStringList{u"123456"_s, u"2.07"_s, u"6"_s}));
        QCOMPARE(rows[1][4], u"15"_s);
        QCOMPARE(rows[1][5], u"59"_s);
        QCOMPARE(rows[1][9], u"tarnconf"_s);
        QVERIFY(QDateTime::fromString(rows[1][8], Qt::ISODate).isValid());
    }

    /// The Pictures tab draws the controller's events, zooms and pans their time, and exports
    /// them as shown: a PNG of the export size and an SVG that is well-formed XML.
    void picturesExported()
    {
        QVERIFY(open(6));
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        window()->mnuViewHistory->trigger();
        frmHistory* history = window()->HistoryWindow;
        history->lvControllers->topLevelItem(0)->setSelected(true);
        // Their events are read once the tab is shown.
        PicturesCanvas* canvas = history->tabPictures->picCanvas;
        QVERIFY(canvas->series().marks.empty());
        history->tabHistory->setCurrentWidget(history->tabPictures);
        const std::vector<HistoryPictures::Mark>& marks = canvas->series().marks;
        QCOMPARE(marks.size(), 6u);
        QCOMPARE(marks.front().time, QDateTime(QDate(2026, 1, 1), QTime(10, 0), Qt::UTC));
        QCOMPARE(marks.back().time, QDateTime(QDate(2026, 1, 1), QTime(10, 5), Qt::UTC));
        QCOMPARE(canvas->series().months.size(), 1u);
        QCOMPARE(canvas->series().months.front().Total(), 6);

        // Two wheel steps in around the middle, a drag to later times, a double click for all.
        const QDateTime from = canvas->shownFrom(), to = canvas->shownTo();
        const QPoint middle(canvas->width() / 2, canvas->height() / 2);
        QWheelEvent wheel(middle, canvas->mapToGlobal(middle), {}, {0, 240}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
        const qint64 span = canvas->shownFrom().msecsTo(canvas->shownTo());
        QCOMPARE(span,
                 qint64(from.msecsTo(to) * PicturesCanvas::kZoomStep * PicturesCanvas::kZoomStep));
        QTest::mousePress(canvas, Qt::LeftButton, {}, middle);
        QTest::mouseMove(canvas, middle - QPoint(50, 0));
        QMouseEvent drag(QEvent::MouseMove, middle - QPoint(50, 0),
                         canvas->mapToGlobal(middle - QPoint(50, 0)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(canvas, &drag);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, middle - QPoint(50, 0));
        QVERIFY(canvas->shownFrom() > from);
        QCOMPARE(canvas->shownFrom().msecsTo(canvas->shownTo()), span);
        QTest::mouseDClick(canvas, Qt::LeftButton, {}, middle);
        QCOMPARE(canvas->shownFrom(), from);
        QCOMPARE(canvas->shownTo(), to);

        // tools/screenshot.sh pictures the tab.
        if (const QString folder = qEnvironmentVariable("TARN_SCREENSHOT_DIR"); !folder.isEmpty()) {
            history->resize(1200, 600);
            history->grab().save(folder + u"/screenshot-pictures.png"_s);
        }

        QTemporaryDir dir;
        const QString png = dir.filePath(u"pictures.png"_s);
        boxes().expectSaveFile(png);
        history->tabPictures->cmdExportPng->click();
        QCOMPARE(QFileInfo(boxes().suggested()).fileName(),
                 u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) + u"_pictures.png"_s);
        QImageReader reader(png);
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.size(), QSize(PicturesTab::kExportWidth, PicturesTab::kExportHeight));
        QVERIFY(!reader.read().isNull());

        const QString svg = dir.filePath(u"pictures.svg"_s);
        boxes().expectSaveFile(svg);
        history->tabPictures->cmdExportSvg->click();
        QCOMPARE(QFileInfo(boxes().suggested()).fileName(),
                 u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) + u"_pictures.svg"_s);
        QXmlStreamReader xml(ReadAll(svg));
        int elements = 0;
        QString root;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && elements++ == 0)
                root = xml.name().toString();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(root, u"svg"_s);
        QVERIFY(elements > 10);
    }

    /// View > Fleet: the controller read, with the alarms its visit brought, beside two more
    /// of the history, the one due for service in red and first; only those due on request;
    /// the CSV named after the date, read back value for value.
    void fleetView()
    {
        QVERIFY(open(6));
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        const auto due = archive().ControllerId({u"204511"_s, 2.07, u"COM2"_s});
        QVERIFY(due && archive().StoreStatus(
                           *due, uR"({"admin":{"lastService":"2020-01-10T09:00:00"}})"_s));
        QVERIFY(archive().ControllerId({QString(), 2.06, u"COM3"_s}));
        window()->mnuViewFleet->trigger();
        frmFleet* fleet = window()->FleetWindow;
        QVERIFY(fleet && fleet->isVisible());
        const QAbstractItemModel* model = fleet->tvFleet->model();
        QCOMPARE(model->rowCount(), 3);
        // Sorted by the days since the last service, the most first.
        QCOMPARE(model->index(0, FleetModel::ColumnSerial).data().toString(), u"204511"_s);
        QCOMPARE(model->index(0, FleetModel::ColumnDaysSince).data(Qt::ForegroundRole),
                 QVariant(QBrush(Qt::red)));
        QVERIFY(!model->index(1, FleetModel::ColumnDaysSince).data(Qt::ForegroundRole).isValid());
        QCOMPARE(model->index(1, FleetModel::ColumnSerial).data().toString(), u"123456"_s);
        QCOMPARE(model->index(1, FleetModel::ColumnFirmware).data().toString(), u"2.07"_s);
        // Codes 1, 2, 3: the detector alarms.
        QCOMPARE(model->index(1, FleetModel::ColumnAlarms).data().toString(), u"6"_s);
        QCOMPARE(model->index(1, FleetModel::ColumnFaults).data().toString(), u"0"_s);
        fleet->chkDue->setChecked(true);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(fleet->lblFleet->text(),
                 u"3 controllers, 1 due for service (more than 365 days since the last)"_s);
        fleet->chkDue->setChecked(false);
        QCOMPARE(model->rowCount(), 3);
        // tools/screenshot.sh pictures the view.
        if (const QString folder = qEnvironmentVariable("TARN_SCREENSHOT_DIR"); !folder.isEmpty())
            fleet->grab().save(folder + u"/screenshot-fleet.png"_s);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"fleet.csv"_s);
        boxes().expectSaveFile(path);
        fleet->cmdExport->click();
        QCOMPARE(QFileInfo(boxes().suggested()).fileName(),
                 QDate::currentDate().toString(Qt::ISODate) + u"_fleet.csv"_s);
        const QList<QStringList> rows = CsvReadBack(ReadAll(path));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[1].mid(0, 5), (QStringList{u"204511"_s, u"2.07"_s, u"COM2"_s, rows[1][3],
                                                 u"2020-01-10T09:00:00"_s}));
        QCOMPARE(rows[2].mid(0, 3), (QStringList{u"123456"_s, u"2.07"_s, u"COM1"_s}));
        QCOMPARE(rows[2].mid(6), (QStringList{u"6"_s, u"0"_s}));
        QCOMPARE(rows[3].mid(0, 3), (QStringList{QString(), u"2.06"_s, u"COM3"_s}));
    }
};

QTEST_MAIN(tst_HistoryView)
#include "tst_historyview.moc"
