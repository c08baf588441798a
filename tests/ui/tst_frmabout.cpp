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

    void sysInfoUnavailable()
    {
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toLocal8Bit());
        ScriptedMessageBoxes boxes;
        boxes.expect(Kind::Plain, QStringLiteral("System Information Is Unavailable At This Time"));
        frmAbout about(boxes);
        about.show();
        about.cmdSysInfo->click();
        QCOMPARE(boxes.pending(), 0);
        QVERIFY(about.isVisible());
    }

    void sysInfoToolStarted()
    {
        QTemporaryDir tools;
        const QString marker = tools.filePath(QStringLiteral("started"));
        QFile tool(tools.filePath(QStringLiteral("gnome-system-monitor")));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\ntouch '" + marker.toLocal8Bit() + "'\n");
        tool.close();
        QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", tools.path().toLocal8Bit() + ":/bin:/usr/bin");
        ScriptedMessageBoxes boxes;
        frmAbout about(boxes);
        if (!frmAbout::SysInfoProgram().startsWith(tools.path()))
            QSKIP("a system-information tool preferred to the stand-in is installed");
        about.cmdSysInfo->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QVERIFY(boxes.shown().isEmpty());
    }
};

QTEST_MAIN(tst_frmAbout)
#include "tst_frmabout.moc"
