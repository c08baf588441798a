#include "ui/main/EventLogPage.h"

#include "config/FileReplace.h"
#include "config/ProgramFolder.h"
#include "controller/HistoryRecorder.h"
#include "controller/ReportFiles.h"
#include "controller/VisitReport.h"
#include "data/EventLog.h"
#include "eventloop/EventWait.h"
#include "eventloop/WaitDepth.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/PageHost.h"
#include "ui/main/ReportPrinter.h"
#include "ui/main/TextEditorLauncher.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

/// Column widths of the list, in pixels, each with room for its sort indicator; the first
/// takes four digits.
constexpr std::array<int, EventLogPage::kColumns> kColumnWidths{50, 154, 107, 333};
/// Room at the left of each header for its sort indicator.
constexpr int kIndicatorRoom = 14;
constexpr int kIndicatorInset = 2;
/// Item data: the cell's sort key, its C-locale text for the report, the row's list order.
constexpr int kSortRole = Qt::UserRole;
constexpr int kFallbackRole = Qt::UserRole + 1;
constexpr int kSequenceRole = Qt::UserRole + 2;
/// True on the row of an event lost to a damaged reply.
constexpr int kLostRole = Qt::UserRole + 3;

enum Column
{
    ColumnNo,
    ColumnTime,
    ColumnTemp,
    ColumnText
};

QString Text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

QString TemperatureText(const Tarn_Inputs& event, const QLocale& locale)
{
    const QString degree(QChar(0xB0));
    return DisplayFormat::Number(event.LogTemperatureCelsius, locale) + degree +
           QStringLiteral("C/") + DisplayFormat::Number(event.LogTemperatureFarenheit, locale) +
           degree + QStringLiteral("F");
}

/// -1, 0 or 1 as a < b, a == b, a > b on the column's sort key.
int CompareKeys(const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column)
{
    switch (column) {
    case ColumnNo:
    case ColumnTime: {
        const qlonglong x = a->data(column, kSortRole).toLongLong();
        const qlonglong y = b->data(column, kSortRole).toLongLong();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    case ColumnTemp: {
        const double x = a->data(column, kSortRole).toDouble();
        const double y = b->data(column, kSortRole).toDouble();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    default: {
        const int c = QString::compare(a->text(column), b->text(column), Qt::CaseInsensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    }
}

} // namespace

EventLogPage::EventLogPage(PageHost& host, QWidget* parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("picLog"));
    const auto makeButton = [](const char* name, const char* caption, const char* toolTip) {
        auto* button = new QPushButton(Text(caption));
        button->setObjectName(Text(name));
        if (toolTip)
            button->setToolTip(Text(toolTip));
        return button;
    };
    cmdClearLogList = makeButton("cmdClearLogList", "Empty list", "Empties log list");
    cmdGetLogEvents = makeButton("cmdGetLogEvents", kCaptionGetNew, "Get newest log events");
    cmdSaveLog = makeButton("cmdSaveLog", "Save / Print", nullptr);
    cmdSaveLogAs = makeButton("cmdSaveLogAs", "Save as...", nullptr);
    cmdPrintLog = makeButton("cmdPrintLog", "Print...", nullptr);
    cmdGetAllLogEvents = makeButton("cmdGetAllLogEvents", "Get all events", "Get all log events");
    cmdGetAllLogEvents->setEnabled(false);
    // The reading state changes the caption; the buttons beside it stay where they are.
    int captionWidth = 0;
    for (const char* caption : {kCaptionGetNew, kCaptionAbort, kCaptionContinue})
        captionWidth =
            std::max(captionWidth, cmdGetLogEvents->fontMetrics().horizontalAdvance(Text(caption)));
    cmdGetLogEvents->setMinimumWidth(captionWidth + 2 * kIndicatorRoom);

    lvLog = new QTreeWidget;
    lvLog->setObjectName(QStringLiteral("lvLog"));
    lvLog->setColumnCount(kColumns);
    QStringList headers;
    for (const std::string& header : EventLogReport::Headers())
        headers.append(DisplayFormat::Text(header));
    lvLog->setHeaderLabels(headers);
    lvLog->setRootIsDecorated(false);
    lvLog->setUniformRowHeights(true);
    // Eliding lays every cell's text out again on each paint; the cells fit as they are.
    lvLog->setTextElideMode(Qt::ElideNone);
    lvLog->setSortingEnabled(false);
    lvLog->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int k = 0; k < kColumns; ++k)
        lvLog->setColumnWidth(k, kColumnWidths[k]);
    QHeaderView* header = lvLog->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(true);
    header->setStyleSheet(
        QStringLiteral("QHeaderView::section { padding-left: %1px; }").arg(kIndicatorRoom));
    for (int k = 0; k < kColumns; ++k) {
        lblSortUp[k] = new QLabel(QString(QChar(0x2191)), header);
        lblSortUp[k]->setObjectName(QStringLiteral("lblSortUp_%1").arg(k));
        lblSortDown[k] = new QLabel(QString(QChar(0x2193)), header);
        lblSortDown[k]->setObjectName(QStringLiteral("lblSortDown_%1").arg(k));
        for (QLabel* label : {lblSortUp[k], lblSortDown[k]}) {
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
            label->hide();
        }
    }
    lblSortDown[0]->show();
    header->installEventFilter(this);
    connect(header, &QHeaderView::sectionClicked, this, &EventLogPage::handleColumnClick);
    connect(header, &QHeaderView::sectionResized, this, &EventLogPage::PlaceSortIndicators);
    connect(header, &QHeaderView::geometriesChanged, this, &EventLogPage::PlaceSortIndicators);
    connect(lvLog->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &EventLogPage::PlaceSortIndicators);

    lblLogProgress = new QLabel;
    lblLogProgress->setObjectName(QStringLiteral("lblLogProgress"));

    // Their boxes and file dialogs open once a wait has ended, never on top of it.
    const auto whenIdle = [this](void (EventLogPage::*handler)()) {
        return
            [this, handler] { WaitDepth::WhenIdle(this, [this, handler] { (this->*handler)(); }); };
    };
    connect(cmdClearLogList, &QPushButton::clicked, this,
            whenIdle(&EventLogPage::handleEmptyListClicked));
    connect(cmdGetLogEvents, &QPushButton::clicked, this, &EventLogPage::handleGetLogEvents);
    connect(cmdSaveLog, &QPushButton::clicked, this, whenIdle(&EventLogPage::handleSaveLog));
    connect(cmdSaveLogAs, &QPushButton::clicked, this,
            [this] { WaitDepth::WhenIdle(this, [this] { handleSaveLogAs(); }); });
    connect(cmdPrintLog, &QPushButton::clicked, this, whenIdle(&EventLogPage::handlePrintLog));
    connect(cmdGetAllLogEvents, &QPushButton::clicked, this, &EventLogPage::handleGetAllLogEvents);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdGetLogEvents);
    buttons->addWidget(cmdGetAllLogEvents);
    buttons->addWidget(cmdClearLogList);
    buttons->addWidget(cmdSaveLog);
    buttons->addWidget(cmdSaveLogAs);
    buttons->addWidget(cmdPrintLog);
    buttons->addSpacing(kIndicatorRoom);
    buttons->addWidget(lblLogProgress, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvLog, 1);
    layout->addLayout(buttons);
}

bool EventLogPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvLog->header() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        PlaceSortIndicators();
    return QWidget::eventFilter(watched, event);
}

bool EventLogPage::IsShown() const
{
    return isVisibleTo(window());
}

void EventLogPage::EnableGetAll(bool enable)
{
    m_getAllWanted = enable;
    cmdGetAllLogEvents->setEnabled(enable && !m_reading);
}

void EventLogPage::handleGetLogEvents()
{
    const QString caption = cmdGetLogEvents->text();
    if (caption == Text(kCaptionAbort)) {
        // The loop is waiting inside a request; it sees the flag at its next turn.
        m_host.abortLogReading() = true;
        return;
    }
    if (!m_host.LinkReady())
        return;
    // Its questions open only once the request under way has ended.
    if (!WaitDepth::Idle()) {
        WaitDepth::WhenIdle(this, [this] {
            if (cmdGetLogEvents->text() != Text(kCaptionAbort))
                handleGetLogEvents();
        });
        return;
    }
    BeginReading(false);
}

void EventLogPage::BeginReading(bool all)
{
    // From here a click on the button aborts, also while the controller is identified.
    const QString caption = cmdGetLogEvents->text();
    m_host.abortLogReading() = false;
    cmdGetLogEvents->setText(Text(kCaptionAbort));
    cmdGetAllLogEvents->setEnabled(false);
    const auto giveUp = [this, &caption] {
        cmdGetLogEvents->setText(caption);
        cmdGetAllLogEvents->setEnabled(m_getAllWanted);
    };
    if (!KnowController() || m_host.abortLogReading()) {
        giveUp();
        return;
    }
    if (all) {
        handleClearLogList();
        m_host.logEventNo() = 1;
        if (!EventLogReader::Rewind(*m_host.link())) {
            giveUp();
            return;
        }
    }
    // New events go below the rows listed, on every firmware: before 2.07 the controller
    // cannot send the listed ones again. "Empty list" clears.
    m_host.ShowStatus(QStringLiteral("Reading log events..."));
    ReadLogEvents();
}

bool EventLogPage::KnowController()
{
    Tarn_Comm* link = m_host.link();
    if (!link)
        return false;
    IdentityReading reading;
    if (!ControllerIdentity::Read(*link, reading)) {
        m_host.ShowStatus(reading.errText);
        return false;
    }
    if (!reading.catalogueError.isEmpty())
        m_host.messageBoxes().plain(reading.catalogueError);
    const int rows = lvLog->topLevelItemCount();
    bool other = rows > 0 && m_listIdentity.Known() && reading.now != m_listIdentity;
    if (rows > 0 && !other && reading.wasStale && !reading.now.Proven()) {
        // Without a serial number only the technician can tell after the line was lost.
        const int answer = m_host.messageBoxes().choose(
            QStringLiteral("Is this the Tarn whose events are listed?"),
            QStringLiteral("Tarn %1 has no serial number, and the line was lost since the list "
                           "was read: whether the same Tarn answers cannot be told.")
                .arg(reading.now.ShortText()),
            {QStringLiteral("The same Tarn"), QStringLiteral("Another Tarn")});
        if (answer < 0)
            return false;
        other = answer == 1;
    }
    if (other) {
        // One list, one controller: the events of another go into a list of their own.
        if (m_unsaved) {
            const int answer = m_host.messageBoxes().choose(
                QStringLiteral("Another Tarn is connected now: %1. The %2 events listed are "
                               "those of %3 and have not been saved.")
                    .arg(reading.now.Text())
                    .arg(rows)
                    .arg(m_listIdentity.ShortText()),
                QStringLiteral("The events of the Tarn connected now go into a new list."),
                {QStringLiteral("Save as..."), QStringLiteral("Discard them")});
            if (answer < 0 || (answer == 0 && !handleSaveLogAs()))
                return false;
        }
        handleClearLogList();
        m_host.logEventNo() = 1;
    }
    m_listIdentity = reading.now;
    m_listController = Tarn_Inputs();
    m_listController.CPUVersion = link->Inputs.CPUVersion;
    m_listController.SerialNumber = link->Inputs.SerialNumber;
    return true;
}

void EventLogPage::ReadLogEvents()
{
    m_reading = true;
    m_endReached = false;
    cmdGetAllLogEvents->setEnabled(false);
    m_reader = EventLogReader();
    m_reader.abortFlag = &m_host.abortLogReading();
    // The controller has moved past each event: it is listed even when the page was left
    // meanwhile, or it would be lost to the next reading.
    m_reader.event = [this](const Tarn_Inputs& event, const std::string& raw) {
        if (HistoryRecorder* history = m_host.history())
            history->RecordEvent(event, raw);
        AddLogRow(event);
        ++m_host.logEventNo();
    };
    m_reader.lost = [this] {
        if (HistoryRecorder* history = m_host.history())
            history->RecordLost();
        ++m_lostEvents;
        AddLostRow();
        ++m_host.logEventNo();
    };
    m_reader.keepGoing = [this](bool) { return IsShown(); };
    m_reader.progress = [this] { ShowProgress(); };
    ShowProgress();
    const bool ended = m_reader.Read(m_host.link());
    m_reading = false;
    m_readAt = QDateTime::currentDateTime();
    m_endReached = ended;
    ShowProgress();
    cmdGetAllLogEvents->setEnabled(m_getAllWanted);
    cmdGetLogEvents->setText(Text(ended ? kCaptionGetNew : kCaptionContinue));
    m_host.ShowStatus(m_reader.refused() ? QStringLiteral("Tarn refused to send the next event.")
                                         : QString());
    // Only after a reading that ran to its end: one stopped for the close or a dead line must
    // not be held up by a status read. The next one tells otherwise.
    if (HistoryRecorder* history = m_host.history(); ended && history && history->needsIdentity())
        m_host.IdentifyController();
}

void EventLogPage::AddLogRow(const Tarn_Inputs& event)
{
    const QString number = DisplayFormat::Text(EventLogReport::RowNumber(m_host.logEventNo()));
    const QString timeText = DisplayFormat::GeneralDateTime(event.LogTime);
    const QString cTimeText = DisplayFormat::GeneralDateTime(event.LogTime, QLocale::c());
    auto* item = new QTreeWidgetItem(QStringList{
        number, timeText, TemperatureText(event, QLocale()), DisplayFormat::Text(event.LogText)});
    item->setData(ColumnNo, kSortRole, static_cast<qlonglong>(m_host.logEventNo()));
    item->setData(ColumnNo, kSequenceRole, m_nextSequence++);
    item->setData(ColumnTime, kSortRole, static_cast<qlonglong>(event.LogTime.SecondsSinceZero()));
    item->setData(ColumnTime, kFallbackRole, cTimeText);
    item->setData(ColumnTemp, kSortRole, event.LogTemperatureCelsius);
    item->setData(ColumnTemp, kFallbackRole, TemperatureText(event, QLocale::c()));
    InsertRow(item);
}

void EventLogPage::AddLostRow()
{
    auto* item = new QTreeWidgetItem(
        QStringList{DisplayFormat::Text(EventLogReport::RowNumber(m_host.logEventNo())), QString(),
                    QString(), Text(EventLogReport::kLostEventText)});
    item->setData(ColumnNo, kSortRole, static_cast<qlonglong>(m_host.logEventNo()));
    item->setData(ColumnNo, kSequenceRole, m_nextSequence++);
    item->setData(ColumnTime, kSortRole, qlonglong(0));
    item->setData(ColumnTemp, kSortRole, 0.0);
    item->setData(ColumnNo, kLostRole, true);
    InsertRow(item);
}

void EventLogPage::InsertRow(QTreeWidgetItem* item)
{
    // The list stays sorted: the row goes after the last one that does not follow it.
    int low = 0;
    int high = lvLog->topLevelItemCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (Precedes(item, lvLog->topLevelItem(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    lvLog->insertTopLevelItem(low, item);
    lvLog->scrollToItem(item);
    m_unsaved = true;
}

int EventLogPage::rowCount() const
{
    return lvLog->topLevelItemCount();
}

void EventLogPage::handleEmptyListClicked()
{
    const int rows = lvLog->topLevelItemCount();
    if (m_unsaved && rows > 0 &&
        !m_host.messageBoxes().questionOkCancelDefaultCancel(
            QStringLiteral("Empty the event list?"),
            (rows == 1 ? QStringLiteral("The event listed has not been saved.")
                       : QStringLiteral("The %1 events listed have not been saved.").arg(rows)) +
                QStringLiteral(" Events that Tarn has sent cannot all be read from it again.")))
        return;
    handleClearLogList();
}

bool EventLogPage::Precedes(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const
{
    const int c = CompareKeys(a, b, m_sortKey);
    if (c != 0)
        return m_descending ? c > 0 : c < 0;
    // Equal keys keep the order in which the rows were read, in both directions.
    return a->data(ColumnNo, kSequenceRole).toLongLong() <
           b->data(ColumnNo, kSequenceRole).toLongLong();
}

void EventLogPage::SortList()
{
    QList<QTreeWidgetItem*> items = lvLog->invisibleRootItem()->takeChildren();
    std::stable_sort(
        items.begin(), items.end(),
        [this](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return Precedes(a, b); });
    lvLog->addTopLevelItems(items);
}

void EventLogPage::handleColumnClick(int column)
{
    if (column < 0 || column >= kColumns)
        return;
    if (column == m_sortKey)
        m_descending = !m_descending;
    else
        m_sortKey = column;
    for (int k = 0; k < kColumns; ++k) {
        lblSortUp[k]->hide();
        lblSortDown[k]->hide();
    }
    (m_descending ? lblSortUp : lblSortDown)[column]->show();
    // The row the user chose stays chosen and in sight.
    QTreeWidgetItem* current = lvLog->currentItem();
    SortList();
    if (current) {
        lvLog->setCurrentItem(current);
        lvLog->scrollToItem(current);
    }
}

void EventLogPage::PlaceSortIndicators()
{
    const QHeaderView* header = lvLog->header();
    for (int k = 0; k < kColumns; ++k) {
        const int x = header->sectionViewportPosition(k) + kIndicatorInset;
        for (QLabel* label : {lblSortUp[k], lblSortDown[k]}) {
            label->adjustSize();
            label->move(x, (header->height() - label->height()) / 2);
        }
    }
}

void EventLogPage::handleGetAllLogEvents()
{
    if (!m_host.LinkReady())
        return;
    if (!WaitDepth::Idle()) {
        WaitDepth::WhenIdle(this, [this] { handleGetAllLogEvents(); });
        return;
    }
    BeginReading(true);
}

void EventLogPage::handleClearLogList()
{
    lvLog->clear();
    m_listIdentity = ControllerIdentity();
    m_unsaved = false;
    m_lostEvents = 0;
    m_endReached = false;
    ShowProgress();
}

void EventLogPage::ShowProgress()
{
    const int rows = lvLog->topLevelItemCount();
    const QString events =
        rows == 1 ? QStringLiteral("1 event") : QStringLiteral("%1 events").arg(rows);
    QString text;
    if (m_endReached)
        text = QStringLiteral("End of log: %1").arg(events);
    else if (m_reading && m_reader.elapsedMs() > 0 && m_reader.count() > 0)
        text = QStringLiteral("%1 listed, %2 events/s")
                   .arg(events, QLocale().toString(m_reader.rate(), 'f', 1));
    else
        text = QStringLiteral("%1 listed").arg(events);
    if (m_lostEvents > 0)
        text += m_lostEvents == 1
                    ? QStringLiteral(", 1 damaged reply: 1 event lost")
                    : QStringLiteral(", %1 damaged replies: %1 events lost").arg(m_lostEvents);
    lblLogProgress->setText(text);
}

EventLogReport EventLogPage::Report() const
{
    EventLogReport report;
    report.Rows.reserve(static_cast<std::size_t>(lvLog->topLevelItemCount()));
    for (int i = 0; i < lvLog->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvLog->topLevelItem(i);
        EventLogReport::Row row;
        for (int k = 0; k < kColumns; ++k)
            row[k] =
                DisplayFormat::Latin1Text(item->text(k), item->data(k, kFallbackRole).toString());
        report.Rows.push_back(std::move(row));
    }
    return report;
}

std::vector<EventListCsv::Event> EventLogPage::Events() const
{
    std::vector<EventListCsv::Event> events;
    events.reserve(static_cast<std::size_t>(lvLog->topLevelItemCount()));
    for (int i = 0; i < lvLog->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvLog->topLevelItem(i);
        EventListCsv::Event event;
        event.number = item->data(ColumnNo, kSortRole).toLongLong();
        event.lost = item->data(ColumnNo, kLostRole).toBool();
        if (!event.lost) {
            event.time =
                TarnDateTime::FromSecondsSinceZero(item->data(ColumnTime, kSortRole).toLongLong());
            event.celsius = item->data(ColumnTemp, kSortRole).toDouble();
        }
        event.text = item->text(ColumnText).toLatin1().toStdString();
        events.push_back(std::move(event));
    }
    return events;
}

void EventLogPage::handleSaveLog()
{
    const std::string file = ProgramFile(kLogReportFileName);
    const QString path = QDir::toNativeSeparators(QString::fromStdString(file));
    std::string errText;
    if (!ReplaceFileContent(file, Report().Text(), errText)) {
        m_host.messageBoxes().critical(QStringLiteral("The event log could not be saved as %1.\n%2")
                                           .arg(path, QString::fromStdString(errText)));
        return;
    }
    m_unsaved = false;
    QString editorError;
    if (!TextEditorLauncher::Open(path, editorError))
        m_host.messageBoxes().critical(editorError +
                                       QStringLiteral("\nThe event log is saved as %1.").arg(path));
}

bool EventLogPage::handleSaveLogAs()
{
    if (!m_host.link())
        return false;
    // The list's controller names the file, whichever answers now.
    const Tarn_Inputs& inputs = m_listIdentity.Known() ? m_listController : m_host.link()->Inputs;
    const QDateTime readAt = m_readAt.isValid() ? m_readAt : QDateTime::currentDateTime();
    const QString suggested = ReportFiles::SuggestedPath(ReportFiles::SuggestedName(
        inputs, readAt.date(), QStringLiteral("events"), QStringLiteral("csv")));
    const QString path = m_host.messageBoxes().saveFileName(
        suggested, QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return false;
    const std::string text = EventListCsv::Text(ReportFiles::CsvSource(inputs, readAt), Events());
    std::string errText;
    if (!ReplaceFileContent(QFile::encodeName(path).toStdString(), text, errText)) {
        m_host.messageBoxes().critical(QStringLiteral("The event log could not be saved as %1.")
                                           .arg(QDir::toNativeSeparators(path)),
                                       QString::fromStdString(errText));
        return false;
    }
    m_unsaved = false;
    return true;
}

void EventLogPage::handlePrintLog()
{
    if (!m_host.link())
        return;
    const Tarn_Inputs& inputs = m_listIdentity.Known() ? m_listController : m_host.link()->Inputs;
    const QString identity = ReportFiles::Identity(inputs);
    const QDateTime readAt = m_readAt.isValid() ? m_readAt : QDateTime::currentDateTime();
    // The list as the page shows it (its order too), as a table of aligned columns.
    ReportTable table;
    for (int c = 0; c < lvLog->columnCount(); ++c)
        table.header << lvLog->headerItem()->text(c);
    table.rows.reserve(lvLog->topLevelItemCount());
    for (int i = 0; i < lvLog->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvLog->topLevelItem(i);
        QStringList cells;
        for (int c = 0; c < lvLog->columnCount(); ++c)
            cells << item->text(c);
        table.rows.push_back(std::move(cells));
    }
    const QString line = QStringLiteral("%1 events, read at %2.")
                             .arg(table.rows.size())
                             .arg(QLocale().toString(readAt, QLocale::ShortFormat));
    ReportPrinter::Print(
        m_host.messageBoxes(),
        VisitReport::Table(QStringLiteral("Tarn event log"), identity, line, std::move(table)),
        ReportFiles::SuggestedPath(ReportFiles::SuggestedName(
            inputs, readAt.date(), QStringLiteral("events"), QStringLiteral("pdf"))));
}
