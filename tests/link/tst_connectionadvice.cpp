// The advice for a port that would not open, the kinds of open failure, and the port items.

#include "ProgramHome.h"
#include "SimProcess.h"
#include "TestFiles.h"

#include "link/ConnectionAdvice.h"
#include "link/PortDevice.h"
#include "link/SerialPort.h"

#include <QFile>
#include <QTest>

#include <grp.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class tst_ConnectionAdvice : public QObject
{
    Q_OBJECT

private slots:
    /// The group that owns the device is named, with the command that joins it.
    void permissionNamesTheGroup()
    {
        ProgramHome home;
        const QString device = home.filePath(u"ttyLocked"_s);
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const group* other = ::getgrnam(::geteuid() == 0 ? "dialout" : "");
        if (other && ::fchown(file.handle(), uid_t(-1), other->gr_gid) != 0)
            other = nullptr;
        const QString name = other ? QString::fromLocal8Bit(other->gr_name) : DeviceGroup(device);
        if (name.isEmpty() || name == u"root"_s)
            QSKIP("no group other than root to give the device");
        QCOMPARE(DeviceGroup(device), name);
        const QString advice = ConnectionAdvice(PortFailure::PermissionDenied, device, {});
        QVERIFY2(advice.startsWith(u"You may not use %1: join the group \"%2\" that owns it "
                                   u"(sudo usermod -a -G %2 "_s.arg(device, name)) &&
                     advice.endsWith(u"), then log out and log in again."_s),
                 qPrintable(advice));
    }

    /// A failed open tells its kind; the devices present are named with their port numbers,
    /// a device in use with the command that finds its holder.
    void failureKindsAndPresentDevices()
    {
        ProgramHome home;
        SimProcess sim;
        QVERIFY(sim.start());
        const QByteArray device = sim.slavePath().toLocal8Bit();
        const QString ini = home.filePath(u"Tarn.INI"_s);
        QVERIFY(WriteAll(ini, "[PORTS]\r\nCOM2=" + device +
                                  "\r\nCOM3=/nonexistent/tty3\r\nCOM5=" + device));
        SerialPort first;
        first.setIniPath(ini);
        first.setCommPort(3);
        QVERIFY(!first.open());
        QCOMPARE(first.failure(), PortFailure::DeviceMissing);
        const QString missing = ConnectionAdvice(first);
        QVERIFY2(missing.startsWith(u"/nonexistent/tty3 is not there"_s) &&
                     missing.contains(sim.slavePath() + u" (COM2, COM5)"_s) &&
                     !missing.contains(u"tty3 (COM3)"_s),
                 qPrintable(missing));
        first.setCommPort(2);
        QVERIFY(first.open());
        QCOMPARE(first.failure(), PortFailure::None);
        SerialPort second;
        second.setIniPath(ini);
        second.setCommPort(5);
        QVERIFY(!second.open());
        QCOMPARE(second.failure(), PortFailure::DeviceBusy);
        const QString busy = ConnectionAdvice(second);
        QVERIFY2(busy.contains(u"fuser -v "_s + sim.slavePath()), qPrintable(busy));
    }

    void itemText()
    {
        // Plain present and missing devices: tst_frmcomsetup.
        QCOMPARE((PortDevice{3, u"/dev/ttyUSB2"_s, true, u"FT232R USB UART"_s, true, 0x403, 0x6001}
                      .itemText()),
                 u"COM3 - /dev/ttyUSB2 (present: FT232R USB UART, USB 0403:6001)"_s);
        QCOMPARE((PortDevice{3, u"COM3"_s, true, {}, false, 0, 0}.itemText()), u"COM3 (present)"_s);
        QCOMPARE(PortDevice::NumberOfItem(u"COM15 - /dev/ttyS2"_s), 15);
        QCOMPARE(PortDevice::NumberOfItem(u"COM16"_s), 0);
    }
};

QTEST_GUILESS_MAIN(tst_ConnectionAdvice)
#include "tst_connectionadvice.moc"
