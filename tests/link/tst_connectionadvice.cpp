// The plain-language advice for a port that would not open, the kinds of open failure, and
// the port items of the communication settings.

#include "ProgramHome.h"
#include "SimProcess.h"

#include "link/ConnectionAdvice.h"
#include "link/PortDevice.h"
#include "link/SerialPort.h"

#include <QFile>
#include <QTest>

#include <grp.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(PortFailure)

namespace {

/// A group other than root that the file at `path` can be given; empty when there is none.
QString GiveFileAGroup(const QString& path)
{
    const QByteArray file = path.toLocal8Bit();
    if (::geteuid() != 0)
        return ::getegid() == 0 ? QString() : DeviceGroup(path);
    ::setgrent();
    QString name;
    while (const group* entry = ::getgrent()) {
        if (entry->gr_gid != 0 && ::chown(file.constData(), uid_t(-1), entry->gr_gid) == 0) {
            name = QString::fromLocal8Bit(entry->gr_name);
            break;
        }
    }
    ::endgrent();
    return name;
}

} // namespace

class tst_ConnectionAdvice : public QObject
{
    Q_OBJECT

private slots:
    void advice_data()
    {
        QTest::addColumn<PortFailure>("failure");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing, others present")
            << PortFailure::DeviceMissing << "/dev/ttyUSB3"
            << QStringList{u"/dev/ttyUSB0 (COM1)"_s, u"/dev/ttyS4"_s}
            << "/dev/ttyUSB3 is not there: is the serial adapter plugged in and the controller's "
               "cable connected? Serial devices present now: /dev/ttyUSB0 (COM1), /dev/ttyS4.";
        QTest::newRow("missing, none present")
            << PortFailure::DeviceMissing << "/dev/ttyUSB3" << QStringList()
            << "/dev/ttyUSB3 is not there: is the serial adapter plugged in and the controller's "
               "cable connected? No serial device is present now.";
        QTest::newRow("busy") << PortFailure::DeviceBusy << "/dev/ttyACM0" << QStringList()
                              << "Another program has /dev/ttyACM0 open (find it with: fuser -v "
                                 "/dev/ttyACM0). Close that program, then try again.";
        QTest::newRow("permission, no group to name")
            << PortFailure::PermissionDenied << "/nonexistent/tty" << QStringList()
            << "You may not use /nonexistent/tty: ask the administrator for read and write "
               "access to it, then try again.";
        QTest::newRow("nothing to advise")
            << PortFailure::Other << "/dev/ttyS0" << QStringList() << QString();
        QTest::newRow("no failure")
            << PortFailure::None << "/dev/ttyS0" << QStringList() << QString();
    }

    void advice()
    {
        QFETCH(PortFailure, failure);
        QFETCH(QString, device);
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        QCOMPARE(ConnectionAdvice(failure, device, present), expected);
    }

    /// The group that owns the device is named, with the command that joins it.
    void permissionNamesTheGroup()
    {
        ProgramHome home;
        const QString device = home.filePath(u"ttyLocked"_s);
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString group = GiveFileAGroup(device);
        if (group.isEmpty())
            QSKIP("no group other than root to give the device");
        QCOMPARE(DeviceGroup(device), group);
        const QString advice = ConnectionAdvice(PortFailure::PermissionDenied, device, {});
        QVERIFY2(advice.startsWith(u"You may not use %1: join the group \"%2\" that owns it "
                                   u"(sudo usermod -a -G %2 "_s.arg(device, group)) &&
                     advice.endsWith(u"), then log out and log in again."_s),
                 qPrintable(advice));
    }

    /// What a failed open was, read from the port, and the devices present named by port.
    void failureKindsAndPresentDevices()
    {
        ProgramHome home;
        SimProcess sim;
        QVERIFY(sim.start());
        const QString ini = home.filePath(u"Tarn.INI"_s);
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[PORTS]\r\nCOM2=" + sim.slavePath().toLocal8Bit() +
                   "\r\nCOM3=/nonexistent/tty3\r\nCOM5=" + sim.slavePath().toLocal8Bit() + "\r\n");
        file.close();

        SerialPort first;
        SerialPort second;
        for (SerialPort* port : {&first, &second}) {
            port->setIniPath(ini);
            QVERIFY(port->setSettings(u"9600,n,8,1"_s));
        }
        first.setCommPort(3);
        QVERIFY(!first.open());
        QCOMPARE(first.failure(), PortFailure::DeviceMissing);
        const QString missing = ConnectionAdvice(first);
        QVERIFY2(missing.contains(u"/nonexistent/tty3 is not there"_s) &&
                     missing.contains(sim.slavePath() + u" (COM2, COM5)"_s),
                 qPrintable(missing));
        QVERIFY(!PresentSerialDevices(ini).join(u' ').contains(u"nonexistent"_s));

        first.setCommPort(2);
        QVERIFY(first.open());
        QCOMPARE(first.failure(), PortFailure::None);
        second.setCommPort(5);
        QVERIFY(!second.open());
        QCOMPARE(second.failure(), PortFailure::DeviceBusy);
        QVERIFY(ConnectionAdvice(second).startsWith(u"Another program has "_s));
    }

    void itemText_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("vendor"); ///< -1: no USB identifiers
        QTest::addColumn<QString>("expected");
        QTest::newRow("not present")
            << "/dev/ttyUSB2" << false << "" << -1 << "COM3 - /dev/ttyUSB2 (not present)";
        QTest::newRow("present, unknown to the system")
            << "/tmp/sim" << true << "" << -1 << "COM3 - /tmp/sim (present)";
        QTest::newRow("USB adapter") << "/dev/ttyUSB2" << true << "FT232R USB UART" << 0x403
                                     << "COM3 - /dev/ttyUSB2 (present: FT232R USB UART, USB "
                                        "0403:6001)";
        QTest::newRow("device named like the port")
            << "COM3" << true << "" << -1 << "COM3 (present)";
    }

    void itemText()
    {
        QFETCH(QString, device);
        QFETCH(bool, present);
        QFETCH(QString, description);
        QFETCH(int, vendor);
        QFETCH(QString, expected);
        PortDevice port;
        port.port = 3;
        port.device = device;
        port.present = present;
        port.description = description;
        port.hasUsbIds = vendor >= 0;
        port.vendorId = quint16(vendor);
        port.productId = 0x6001;
        QCOMPARE(port.itemText(), expected);
        QCOMPARE(PortDevice::NumberOfItem(port.itemText()), 3);
    }

    void numberOfItem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("two digits") << "COM15 - /dev/ttyS2 (present)" << 15;
        QTest::newRow("bare name") << "COM7" << 7;
        QTest::newRow("no number") << "COM" << 0;
        QTest::newRow("beyond the last port") << "COM16" << 0;
    }

    void numberOfItem()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(PortDevice::NumberOfItem(text), number);
    }
};

QTEST_GUILESS_MAIN(tst_ConnectionAdvice)
#include "tst_connectionadvice.moc"
