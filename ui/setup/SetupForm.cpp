#include "ui/setup/SetupForm.h"

#include "ui/setup/SetupWidgets.h"
#include "ui/setup/TodayCalendar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SetupWidgets;

QWidget* SetupForm::buildZones()
{
    static const char* const kZoneCaptions[kZones] = {"Detector 1 or Manual release 1",
                                                      "Detector 2 or Manual release 2",
                                                      "Detector 3 or 4 or Manual release 3"};
    Frame5 = Group("Frame5", "Zones", kOuterGroupPoints);
    auto* zones = new QVBoxLayout(Frame5);
    for (int zone = 0; zone < kZones; ++zone) {
        Frame1[zone] = Group("", kZoneCaptions[zone], kZoneFramePoints);
        Frame1[zone]->setObjectName(QStringLiteral("Frame1_%1").arg(zone));
        cboProfiles[zone] = new QComboBox;
        cboProfiles[zone]->setObjectName(QStringLiteral("cboProfiles_%1").arg(zone));
        cboProfiles[zone]->setToolTip(QStringLiteral("Available profiles"));
        cboProfiles[zone]->setFont(SetupFont(kControlPoints));
        cboProfiles[zone]->setEditable(false);

        Frame2[zone] = Group("", "Outputs", kControlPoints);
        Frame2[zone]->setObjectName(QStringLiteral("Frame2_%1").arg(zone));
        auto* outputs = new QHBoxLayout(Frame2[zone]);
        for (int j = 0; j < kOutputsPerZone; ++j) {
            const int index = kOutputsPerZone * zone + j;
            chkOutput[index] = new QCheckBox(QString::number(j + 1));
            chkOutput[index]->setObjectName(QStringLiteral("chkOutput_%1").arg(index));
            chkOutput[index]->setFont(WindowDefaultFont());
            outputs->addWidget(chkOutput[index]);
        }

        auto* frame = new QGridLayout(Frame1[zone]);
        frame->addWidget(Label(Label1, zone, "Running profile:"), 0, 0);
        frame->addWidget(cboProfiles[zone], 0, 1);
        frame->addWidget(Frame2[zone], 1, 0, 1, 2);
        frame->setColumnStretch(1, 1);
        zones->addWidget(Frame1[zone]);
    }
    cmdSetZoneSettings =
        Button("cmdSetZoneSettings", "Set all zone settings", "Send new settings to system");
    zones->addWidget(cmdSetZoneSettings);
    zones->addStretch();
    return Frame5;
}

QWidget* SetupForm::buildDelays()
{
    Frame3[0] = Group("Frame3_0", "Time delays", kOuterGroupPoints);
    frame4[0] = Group("frame4_0", "Detectors", kControlPoints);
    frame4[1] = Group("frame4_1", "Manual release", kControlPoints);
    txtDetectorAlarmDelay = TextBox("txtDetectorAlarmDelay");
    txtManualAlarmDelay = TextBox("txtManualAlarmDelay");
    txtManualStopDelay = TextBox("txtManualStopDelay");

    auto* detectors = new QGridLayout(frame4[0]);
    detectors->addWidget(Label(Label1, 3, "Alarm delay:"), 0, 0);
    detectors->addWidget(txtDetectorAlarmDelay, 0, 1);
    auto* manual = new QGridLayout(frame4[1]);
    manual->addWidget(Label(Label1, 4, "Alarm delay:"), 0, 0);
    manual->addWidget(txtManualAlarmDelay, 0, 1);
    manual->addWidget(Label(Label1, 5, "Stop delay:"), 1, 0);
    manual->addWidget(txtManualStopDelay, 1, 1);

    cmdSetDelays = Button("cmdSetDelays", "Set delays", "Send new delays to system");
    auto* layout = new QVBoxLayout(Frame3[0]);
    layout->addWidget(frame4[0]);
    layout->addWidget(frame4[1]);
    layout->addWidget(cmdSetDelays, 0, Qt::AlignRight);
    return Frame3[0];
}

QWidget* SetupForm::buildInformation()
{
    static constexpr const char* kSetToolTip = "Send new value to system";
    fraInformation = Group("fraInformation", kInformationCaptionOld, kOuterGroupPoints);
    txtSerialNumber = TextBox("txtSerialNumber");
    txtSerialNumber->setMaxLength(kSerialNumberLength);
    cmdSetSerialNumber = Button("cmdSetSerialNumber", "Set", kSetToolTip);
    dtpManufactoringDate = DatePicker("dtpManufactoringDate");
    cmdSetManufactoringDate = Button("cmdSetManufactoringDate", "Set", kSetToolTip);
    dtpInstallationDate = DatePicker("dtpInstallationDate");
    cmdSetInstallationDate = Button("cmdSetInstallationDate", "Set", kSetToolTip);
    dtpServiceDate = DatePicker("dtpServiceDate");
    // A service is entered on the day it is done.
    dtpServiceDate->setCalendarWidget(new TodayCalendar);
    cmdSetServiceDate = Button("cmdSetServiceDate", "Set", kSetToolTip);
    cmdClearLog = Button("cmdClearLog", "Delete all log events", "Deletes all stored log events");

    auto* grid = new QGridLayout(fraInformation);
    grid->addWidget(Label(Label1, 13, "Serial number:"), 0, 0);
    grid->addWidget(txtSerialNumber, 0, 1);
    grid->addWidget(cmdSetSerialNumber, 0, 2);
    grid->addWidget(Label(Label1, 12, "Manufacturing date:"), 1, 0);
    grid->addWidget(dtpManufactoringDate, 1, 1);
    grid->addWidget(cmdSetManufactoringDate, 1, 2);
    grid->addWidget(Label(Label1, 11, "Installation date:"), 2, 0);
    grid->addWidget(dtpInstallationDate, 2, 1);
    grid->addWidget(cmdSetInstallationDate, 2, 2);
    grid->addWidget(Label(Label1, 10, "Service date:"), 3, 0);
    grid->addWidget(dtpServiceDate, 3, 1);
    grid->addWidget(cmdSetServiceDate, 3, 2);
    grid->addWidget(Label(Label1, 6, "Event log:"), 4, 0);
    grid->addWidget(cmdClearLog, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return fraInformation;
}

QWidget* SetupForm::buildClock()
{
    Frame3[1] = Group("Frame3_1", "Tarn Clock", kOuterGroupPoints);
    frame4[2] = Group("frame4_2", "PC Date && Time", kControlPoints);
    lblPCTime = new QLabel(QStringLiteral("-"));
    lblPCTime->setObjectName(QStringLiteral("lblPCTime"));
    lblPCTime->setFont(SetupFont(kControlPoints, true));
    lblPCTime->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* pcTime = new QHBoxLayout(frame4[2]);
    pcTime->addWidget(lblPCTime);
    pcTime->addStretch();
    cmdSetTarnClock = Button("cmdSetTarnClock", "Set", "Sets the Tarn clock");
    auto* layout = new QHBoxLayout(Frame3[1]);
    layout->addWidget(frame4[2], 1);
    layout->addWidget(cmdSetTarnClock, 0, Qt::AlignBottom);
    return Frame3[1];
}
