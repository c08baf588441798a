#include "ScriptedMessageBoxes.h"

#include "ui/about/frmAbout.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using Kind = ScriptedMessageBoxes::Kind;

class tst_frmAbout : public QObject
{
    Q_OBJECT
    QByteArray m_path;

private slots:
    void init() { m_path = qgetenv("PATH"); }
    void cleanup() { qputenv("PATH", m_path); }

    /// The system-information tool started, or the box when there is none.
    void sysInfo_data()
    {
        QTest::addColumn<bool>("toolPresent");
        QTest::newRow("tool started") << true;
        QTest::newRow("no tool") << false;
    }

    void sysInfo()
    {
        QFETCH(bool, toolPresent);
        QTemporaryDir tools;
        const QString marker = tools.filePath(QStringLiteral("started"));
        QFile tool(tools.filePath(QStringLiteral("gnome-system-monitor")));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\ntouch '" + marker.toLocal8Bit() + "'\n");
        tool.close();
        QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH",
                toolPresent ? tools.path().toLocal8Bit() + ":/bin:/usr/bin" : "/nonexistent");
        ScriptedMessageBoxes boxes;
        if (!toolPresent)
            boxes.expect(Kind::Plain,
                         QStringLiteral("System Information Is Unavailable At This Time"));
        frmAbout about(boxes);
        if (toolPresent && !frmAbout::SysInfoProgram().startsWith(tools.path()))
            QSKIP("a system-information tool preferred to the stand-in is installed");
        about.show();
        about.cmdSysInfo->click();
        QCOMPARE(boxes.pending(), 0);
        QVERIFY(about.isVisible());
        if (toolPresent) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
            QVERIFY(boxes.shown().isEmpty());
        }
    }
};

QTEST_MAIN(tst_frmAbout)
#include "tst_frmabout.moc"
