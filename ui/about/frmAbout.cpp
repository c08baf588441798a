#include "ui/about/frmAbout.h"

#include "TarnVersion.h"
#include "ui/main/MessageBoxes.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace {
/// System-information tools, in order of preference.
const char* const kSysInfoTools[] = {"hardinfo", "gnome-system-monitor", "ksysguard",
                                     "xfce4-taskmanager"};
constexpr int kIconSize = 48;
} // namespace

frmAbout::frmAbout(MessageBoxes& boxes, QWidget* parent) : QDialog(parent), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kProgramTitle));

    Picture1 = new QLabel;
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(
        style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(kIconSize, kIconSize));

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
    for (const char* tool : kSysInfoTools) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (!path.isEmpty())
            return path;
    }
    return {};
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
