#include "ui/main/frmTraffic.h"

#include "config/FileReplace.h"
#include "config/ProgramFolder.h"
#include "eventloop/WaitDepth.h"
#include "link/Tarn_Comm.h"
#include "link/TrafficRecord.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/TextEditorLauncher.h"

#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 420;

QLabel* CounterLabel(const char* name)
{
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    return label;
}
} // namespace

frmTraffic::frmTraffic(Tarn_Comm* link, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmTraffic"));
    setWindowTitle(QStringLiteral("Traffic"));
    resize(kInitialWidth, kInitialHeight);

    txtTraffic = new QPlainTextEdit;
    txtTraffic->setObjectName(QStringLiteral("txtTraffic"));
    txtTraffic->setReadOnly(true);
    txtTraffic->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtTraffic->setMaximumBlockCount(kMaxLines);
    txtTraffic->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    lblRequests = CounterLabel("lblRequests");
    lblReplies = CounterLabel("lblReplies");
    lblTimeOuts = CounterLabel("lblTimeOuts");
    lblCrcErrors = CounterLabel("lblCrcErrors");
    lblFailed = CounterLabel("lblFailed");

    cmdPause = new QPushButton(QString::fromLatin1(kCaptionPause));
    cmdPause->setObjectName(QStringLiteral("cmdPause"));
    cmdClear = new QPushButton(QStringLiteral("&Clear"));
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdSave = new QPushButton(QStringLiteral("&Save"));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    connect(cmdPause, &QPushButton::clicked, this, &frmTraffic::handlePause);
    connect(cmdClear, &QPushButton::clicked, this, &frmTraffic::handleClear);
    // Its boxes and the editor's start open once a wait under way has ended.
    connect(cmdSave, &QPushButton::clicked, this,
            [this] { WaitDepth::WhenIdle(this, [this] { handleSave(); }); });

    auto* counters = new QHBoxLayout;
    for (QLabel* label : {lblRequests, lblReplies, lblTimeOuts, lblCrcErrors, lblFailed})
        counters->addWidget(label);
    counters->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPause);
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdSave);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(counters);
    layout->addWidget(txtTraffic, 1);
    layout->addLayout(buttons);
    ShowCounters();
}

void frmTraffic::setLink(Tarn_Comm* link)
{
    const bool following = m_following;
    Follow(false);
    m_link = link;
    Follow(following);
}

void frmTraffic::showEvent(QShowEvent* event)
{
    Follow(true);
    QWidget::showEvent(event);
}

void frmTraffic::hideEvent(QHideEvent* event)
{
    // Closed (or hidden), the window no longer follows: the link makes no records for it.
    Follow(false);
    QWidget::hideEvent(event);
}

void frmTraffic::Follow(bool on)
{
    if (on && m_link && !m_following)
        connect(m_link, &Tarn_Comm::traffic, this, &frmTraffic::handleTraffic);
    else if (!on && m_link && m_following)
        disconnect(m_link, &Tarn_Comm::traffic, this, &frmTraffic::handleTraffic);
    m_following = on && m_link;
}

void frmTraffic::handleTraffic(const TrafficRecord& record)
{
    m_counters.Add(record);
    ShowCounters();
    const QString line = record.Line();
    if (m_paused) {
        m_held.append(line);
        if (m_held.size() > kMaxLines)
            m_held.removeFirst();
        return;
    }
    txtTraffic->appendPlainText(line);
}

void frmTraffic::ShowCounters()
{
    lblRequests->setText(QStringLiteral("Requests: %1").arg(m_counters.requests));
    lblReplies->setText(QStringLiteral("Replies: %1").arg(m_counters.replies));
    lblTimeOuts->setText(QStringLiteral("Time-outs: %1").arg(m_counters.timeOuts));
    lblCrcErrors->setText(QStringLiteral("CRC errors: %1").arg(m_counters.crcErrors));
    lblFailed->setText(QStringLiteral("Failed: %1 %")
                           .arg(QLocale().toString(100 * m_counters.FailedShare(), 'f', 1)));
}

void frmTraffic::handlePause()
{
    m_paused = !m_paused;
    cmdPause->setText(QString::fromLatin1(m_paused ? kCaptionResume : kCaptionPause));
    if (m_paused)
        return;
    for (const QString& line : std::as_const(m_held))
        txtTraffic->appendPlainText(line);
    m_held.clear();
}

void frmTraffic::handleClear()
{
    txtTraffic->clear();
    m_held.clear();
    m_counters = TrafficCounters();
    ShowCounters();
}

void frmTraffic::handleSave()
{
    const std::string file = ProgramFile(kFileName);
    const QString path = QDir::toNativeSeparators(QString::fromStdString(file));
    QString text = txtTraffic->toPlainText();
    if (!text.isEmpty())
        text += u'\n';
    for (const QString& line : std::as_const(m_held))
        text += line + u'\n';
    std::string errText;
    if (!ReplaceFileContent(file, text.toUtf8().toStdString(), errText)) {
        m_boxes.critical(QStringLiteral("The traffic could not be saved as %1.\n%2")
                             .arg(path, QString::fromStdString(errText)));
        return;
    }
    QString editorError;
    if (!TextEditorLauncher::Open(path, editorError))
        m_boxes.critical(editorError + QStringLiteral("\nThe traffic is saved as %1.").arg(path));
}
