#include "ui/comsetup/frmComSetup.h"

#include "config/CIniFile.h"
#include "controller/PortSearch.h"
#include "data/TextNumbers.h"
#include "eventloop/EventWait.h"
#include "link/ConnectionAdvice.h"
#include "link/PortDevice.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "ui/main/BusyPointer.h"
#include "ui/main/MessageBoxes.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

constexpr const char* kSection = "COMMUNICATION";
constexpr const char* kBaudRates[] = {"1200", "2400", "4800", "9600", "19200", "38400", "115200"};

const QString kDetectQuestion =
    QStringLiteral("This function will automatically try to find correct com-port using "
                   "selected baud rate.\nCheck that the communication cable is connected "
                   "properly before continuing.");

} // namespace

frmComSetup::frmComSetup(Tarn_Comm* link, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), tarn(link), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmComSetup"));
    setWindowTitle(QStringLiteral("Communication settings"));
    setModal(true);

    Frame1 = new QGroupBox(QStringLiteral("Communication"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    cboComPorts = new QComboBox;
    cboComPorts->setObjectName(QStringLiteral("cboComPorts"));
    cboComPorts->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cboBaudRates = new QComboBox;
    cboBaudRates->setObjectName(QStringLiteral("cboBaudRates"));
    for (const char* rate : kBaudRates)
        cboBaudRates->addItem(QString::fromLatin1(rate));
    const char* labels[] = {"Com port:", "Baud rate:"};
    QComboBox* lists[] = {cboComPorts, cboBaudRates};
    for (std::size_t i = 0; i < Label1.size(); ++i) {
        Label1[i] = new QLabel(QString::fromLatin1(labels[i]));
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setBuddy(lists[i]);
    }
    cmdAutoDetect = new QPushButton(QString::fromLatin1(kAutoDetectCaption));
    cmdAutoDetect->setObjectName(QStringLiteral("cmdAutoDetect"));
    cmdSave = new QPushButton(QStringLiteral("Save"));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setToolTip(QStringLiteral("Save settings to INI file"));
    OKButton = new QPushButton(QStringLiteral("OK"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    lblDetectProgress = new QLabel;
    lblDetectProgress->setObjectName(QStringLiteral("lblDetectProgress"));
    for (QPushButton* button : {cmdAutoDetect, cmdSave, OKButton, CancelButton})
        button->setAutoDefault(false);
    OKButton->setAutoDefault(true);

    auto* grid = new QGridLayout(Frame1);
    grid->addWidget(Label1[0], 0, 0);
    grid->addWidget(cboComPorts, 0, 1);
    grid->addWidget(Label1[1], 1, 0);
    grid->addWidget(cboBaudRates, 1, 1, Qt::AlignLeft);
    grid->addWidget(cmdAutoDetect, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addSpacing(OKButton->sizeHint().height() / 2);
    buttons->addWidget(cmdSave);
    buttons->addStretch();
    // Outside the frame, which is disabled while the search runs.
    auto* left = new QVBoxLayout;
    left->addWidget(Frame1, 1);
    left->addWidget(lblDetectProgress);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, &frmComSetup::handleOK);
    connect(CancelButton, &QPushButton::clicked, this, &frmComSetup::handleCancel);
    connect(cmdSave, &QPushButton::clicked, this, &frmComSetup::handleSave);
    connect(cmdAutoDetect, &QPushButton::clicked, this, &frmComSetup::handleAutoDetect);
    connect(this, &QDialog::finished, this, [this] { tarn = nullptr; });

    for (int port = 1; port <= kMaxCommPort; ++port)
        cboComPorts->addItem(QStringLiteral("COM%1").arg(port));
    RefreshPortItems();
    SelectFromLink();

    // An adapter plugged in or pulled out while the window is open shows in the list.
    m_portRefresh = new QTimer(this);
    m_portRefresh->setInterval(kPortRefreshInterval);
    connect(m_portRefresh, &QTimer::timeout, this, &frmComSetup::RefreshPortItems);
    m_portRefresh->start();
}

QString frmComSetup::SettingsText(const QString& baudRate)
{
    return baudRate + QStringLiteral(",n,8,1");
}

QString frmComSetup::IniPath() const
{
    return tarn ? tarn->IniPath : QString();
}

void frmComSetup::SelectPort(int port)
{
    int index = -1;
    for (int i = 0; i < cboComPorts->count() && index < 0; ++i) {
        if (PortDevice::NumberOfItem(cboComPorts->itemText(i)) == port)
            index = i;
    }
    cboComPorts->setCurrentIndex(index);
}

void frmComSetup::SelectFromLink()
{
    if (!tarn)
        return;
    SelectPort(tarn->CommPort);
    const QString baudRate = tarn->CommSettings.section(QLatin1Char(','), 0, 0);
    cboBaudRates->setCurrentIndex(cboBaudRates->findText(baudRate, Qt::MatchExactly));
}

void frmComSetup::RefreshPortItems()
{
    if (m_busy)
        return;
    // The ports whose device is there now come first (and are searched first), in bold.
    const QList<QSerialPortInfo> systemPorts = QSerialPortInfo::availablePorts();
    std::vector<PortDevice> devices;
    for (int port = 1; port <= kMaxCommPort; ++port)
        devices.push_back(PortDevice::Describe(port, IniPath(), systemPorts));
    std::stable_partition(devices.begin(), devices.end(),
                          [](const PortDevice& device) { return device.present; });
    QStringList texts;
    for (const PortDevice& device : devices)
        texts << device.itemText();
    QStringList shown;
    for (int i = 0; i < cboComPorts->count(); ++i)
        shown << cboComPorts->itemText(i);
    if (texts == shown)
        return;
    const int selected =
        cboComPorts->currentIndex() < 0 ? 0 : PortDevice::NumberOfItem(cboComPorts->currentText());
    cboComPorts->clear();
    cboComPorts->addItems(texts);
    QFont bold = cboComPorts->font();
    bold.setBold(true);
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].present)
            cboComPorts->setItemData(static_cast<int>(i), bold, Qt::FontRole);
    SelectPort(selected);
}

bool frmComSetup::HasSelection(bool needPort)
{
    const bool port = !needPort || cboComPorts->currentIndex() >= 0;
    const bool baudRate = cboBaudRates->currentIndex() >= 0;
    if (port && baudRate)
        return true;
    if (!port && !baudRate)
        m_boxes.info(QStringLiteral("Please select a com port and a baud rate."));
    else if (!port)
        m_boxes.info(QStringLiteral("Please select a com port."));
    else
        m_boxes.info(QStringLiteral("Please select a baud rate."));
    return false;
}

void frmComSetup::SetBusy(bool busy)
{
    m_busy = busy;
    // Disabled, the window takes no clicks or keys; the close box is refused in closeEvent,
    // and Cancel and Escape only stop a search (reject).
    Frame1->setEnabled(!busy);
    for (QPushButton* button : {cmdSave, OKButton})
        button->setEnabled(!busy);
    // A search can be cancelled; a restart by OK is over within its pause.
    CancelButton->setEnabled(!busy || m_searching);
    if (busy)
        BusyPointer::Set();
    else
        BusyPointer::Reset();
}

QString frmComSetup::StartFailureText(const QString& errText) const
{
    const QString advice = tarn && tarn->comm ? ConnectionAdvice(*tarn->comm) : QString();
    return advice.isEmpty() ? errText : errText + QStringLiteral("\n\n") + advice;
}

void frmComSetup::handleOK()
{
    if (!tarn || m_busy || !HasSelection(true))
        return;
    const auto port = static_cast<int16_t>(PortDevice::NumberOfItem(cboComPorts->currentText()));
    const QString settings = SettingsText(cboBaudRates->currentText());
    SetBusy(true);
    tarn->StopCom();
    WaitProcessingEvents(kRestartPause);
    tarn->CommPort = port;
    tarn->CommSettings = settings;
    QString errText;
    const bool started = tarn->Start(errText);
    SetBusy(false);
    if (started) {
        accept();
        return;
    }
    m_boxes.plain(StartFailureText(errText));
}

void frmComSetup::handleCancel()
{
    reject();
}

void frmComSetup::reject()
{
    // Cancel and Escape during a search only ask it to stop: the request under way runs to
    // its end, and the search ends before the next port.
    if (m_searching && !m_stopSearch) {
        m_stopSearch = true;
        // The port being tried is closed: its wait for a reply ends now.
        if (tarn)
            tarn->StopCom();
        lblDetectProgress->setText(m_trying.isEmpty() ? QStringLiteral("Stopping")
                                                      : m_trying + QStringLiteral(" (stopping)"));
    }
    if (m_busy)
        return;
    QDialog::reject();
}

void frmComSetup::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool frmComSetup::SaveToIni(int port, const QString& settings) const
{
    const std::string path = IniPath().toLocal8Bit().toStdString();
    const CIniFile ini;
    return !path.empty() && ini.UT_IniWrite(kSection, "Port", int64_t{port}, "IN", path) &&
           ini.UT_IniWrite(kSection, "Settings", settings.toLatin1().toStdString(), "ST", path);
}

void frmComSetup::handleSave()
{
    if (m_busy || !HasSelection(true))
        return;
    if (SaveToIni(PortDevice::NumberOfItem(cboComPorts->currentText()),
                  SettingsText(cboBaudRates->currentText())))
        m_boxes.info(QStringLiteral("Communication settings saved to INI-file!"));
    else
        m_boxes.critical(QStringLiteral("Could not save communication settings to INI-file!"));
}

void frmComSetup::handleAutoDetect()
{
    if (!tarn || m_busy || !HasSelection(false))
        return;
    const QString settings = SettingsText(cboBaudRates->currentText());
    PortSearch::Result result;
    if (m_boxes.questionOkCancel(kDetectQuestion))
        result = Search(settings);
    if (result.found >= 0) {
        // The port found is the one in use, now and from the next start on.
        const int port = result.attempts.back().port;
        emit statusMessage(QString());
        m_boxes.info(
            QStringLiteral("Auto detect has succesfully connected to Tarn using COM%1.").arg(port),
            SaveToIni(port, settings)
                ? QStringLiteral("COM%1 is saved in Tarn.INI for the next start.").arg(port)
                : QStringLiteral("COM%1 could not be saved in Tarn.INI: the next start "
                                 "uses the port saved before.")
                      .arg(port));
        return;
    }
    // Cancelled: said on the status line, no error.
    if (result.stopped) {
        const QString text =
            QStringLiteral("Auto detect cancelled%1; COM%2 is in use again, as before.")
                .arg(result.attempts.empty()
                         ? QString()
                         : QStringLiteral(" at COM%1").arg(result.attempts.back().port))
                .arg(tarn->CommPort);
        lblDetectProgress->setText(text);
        emit statusMessage(text);
        return;
    }
    QString why;
    if (!result.attempts.empty())
        why += PortSearch::FailureReport(result, settings, IniPath());
    m_boxes.critical(QStringLiteral("Auto detect could not found a working com-port!"), why);
}

void frmComSetup::ShowTrying(int index)
{
    cboComPorts->setCurrentIndex(index);
    const int port = PortDevice::NumberOfItem(cboComPorts->itemText(index));
    m_trying = QStringLiteral("COM%1 of %2 \u2014 %3")
                   .arg(port)
                   .arg(cboComPorts->count())
                   .arg(PortDevice::Describe(port, IniPath()).device);
    lblDetectProgress->setText(m_trying);
}

PortSearch::Result frmComSetup::Search(const QString& settings)
{
    const int16_t previousPort = tarn->CommPort;
    m_searching = true;
    m_stopSearch = false;
    SetBusy(true);
    cmdAutoDetect->setText(QString::fromLatin1(kSearchingCaption));
    std::vector<int> ports;
    for (int i = 0; i < cboComPorts->count(); ++i)
        ports.push_back(PortDevice::NumberOfItem(cboComPorts->itemText(i)));
    const PortSearch::Result result = PortSearch::Run(
        *tarn, ports, settings, [this](int index) { ShowTrying(index); },
        [this] { return m_stopSearch; });
    if (result.found < 0)
        SelectPort(previousPort);
    cmdAutoDetect->setText(QString::fromLatin1(kAutoDetectCaption));
    lblDetectProgress->clear();
    m_trying.clear();
    m_searching = false;
    SetBusy(false);
    RefreshPortItems();
    return result;
}
