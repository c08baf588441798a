#include "ui/about/frmAbout.h"

#include "TarnVersion.h"
#include "ui/main/MessageBoxes.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <QFileInfo>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {
#ifdef Q_OS_WIN
/// The registry names the system information tool of Windows in one of two ways.
constexpr const char* kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kSysInfoValue = "PATH";
constexpr const char* kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kSysInfoLocationValue = "MSINFO";
constexpr const char* kSysInfoFileName = "\\MSINFO32.EXE";
constexpr DWORD kKeyValueBufferSize = 1024;

/// Reads the text value `subKeyRef` of the key `keyName` under `keyRoot` into `keyVal`; false,
/// with `keyVal` empty, when the key cannot be opened or the value cannot be read.
bool GetKeyValue(HKEY keyRoot, const char* keyName, const char* subKeyRef, QString& keyVal)
{
    keyVal.clear();
    HKEY key = nullptr;
    // Read access is enough, and an ordinary user has no more on HKEY_LOCAL_MACHINE.
    if (RegOpenKeyExA(keyRoot, keyName, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char buffer[kKeyValueBufferSize] = {};
    DWORD size = kKeyValueBufferSize;
    const LONG result =
        RegQueryValueExA(key, subKeyRef, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return false;
    QByteArray bytes(buffer, static_cast<qsizetype>(size));
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    keyVal = QString::fromLocal8Bit(bytes);
    return true;
}
#else
/// System-information tools, in order of preference.
const char* const kSysInfoTools[] = {"hardinfo", "gnome-system-monitor", "ksysguard",
                                     "xfce4-taskmanager"};
#endif
constexpr int kIconSize = 48;
} // namespace

frmAbout::frmAbout(MessageBoxes& boxes, QWidget* parent) : QDialog(parent), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kProgramTitle));

    Picture1 = new QLabel;
    Picture1->setObjectName(QStringLiteral("Picture1"));
    // The program's own icon, as on its windows.
    Picture1->setPixmap(QIcon(QStringLiteral(":/icons/tarnconf-%1.png").arg(kIconSize))
                            .pixmap(kIconSize, kIconSize));

    lblTitle = new QLabel(QString::fromLatin1(kProgramTitle));
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(QStringLiteral("Version " TARN_VERSION_TEXT));
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription =
        new QLabel(QStringLiteral("Configuration software for the Tarn Mobile sprinkler system."));
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lbl_CompanyName =
        new QLabel(QStringLiteral("Tarn Systems Ltd.\n1 Example Road\nSampletown EX1 2AB"));
    lbl_CompanyName->setObjectName(QStringLiteral("lbl_CompanyName"));
    lblDisclaimer = new QLabel(QStringLiteral("Tel. +00 000 000 000\nFax +00 000 000 001"));
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblWWW = new QLabel(QStringLiteral("www.tarn-systems.example"));
    lblWWW->setObjectName(QStringLiteral("lblWWW"));
    lblWWW->setCursor(Qt::PointingHandCursor);
    QPalette linkPalette = lblWWW->palette();
    linkPalette.setColor(QPalette::WindowText, linkPalette.color(QPalette::Link));
    lblWWW->setPalette(linkPalette);
    lblWWW->installEventFilter(this);

    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."));
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addWidget(lblDescription);
    text->addSpacing(12);
    text->addWidget(lbl_CompanyName);
    text->addWidget(lblDisclaimer);
    text->addWidget(lblWWW);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Picture1, 0, Qt::AlignTop);
    layout->addLayout(text, 1);
    layout->addLayout(buttons);
}

QString frmAbout::SysInfoProgram()
{
#ifdef Q_OS_WIN
    QString path;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, path))
        return path;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue, path)) {
        path += QLatin1String(kSysInfoFileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
#else
    for (const char* tool : kSysInfoTools) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (!path.isEmpty())
            return path;
    }
    return {};
#endif
}

void frmAbout::StartSysInfo()
{
    const QString program = SysInfoProgram();
    if (!program.isEmpty() && QProcess::startDetached(program, {}))
        return;
    m_boxes.plain(QStringLiteral("System Information Is Unavailable At This Time"));
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblWWW && event->type() == QEvent::MouseButtonRelease)
        handleWwwClicked();
    return QDialog::eventFilter(watched, event);
}

void frmAbout::handleWwwClicked()
{
    // A failed launch is of no consequence here.
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + lblWWW->text()));
}
