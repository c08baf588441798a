#include "ui/history/frmHistory.h"

#include "config/FileReplace.h"
#include "controller/ArchiveRead.h"
#include "controller/HistoryWords.h"
#include "controller/ReportFiles.h"
#include "controller/SetupUndo.h"
#include "eventloop/WaitDepth.h"
#include "history/HistoryEventModel.h"
#include "ui/history/PicturesTab.h"
#include "ui/main/MessageBoxes.h"

#include <QCheckBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kIdRole = Qt::UserRole;
/// The controller's key, on its row of the controllers list.
constexpr int kKeyRole = Qt::UserRole + 1;
/// The name the record was given, on its row.
constexpr int kNameRole = Qt::UserRole + 2;
constexpr int kLastSeenColumn = 3;
constexpr int kEventsColumn = 4;

QString FirmwareText(double firmware)
{
    return firmware > 0 ? QStringLiteral("V%1").arg(firmware, 0, 'f', 2) : QString();
}

/// The serial number ("(none)" without one), and the name given after it: `123456 "Depot"`,
/// `"Field 7"`.
QString RecordText(const ArchivedController& record)
{
    const QString name =
        record.name.isEmpty() ? QString() : QStringLiteral("\"%1\"").arg(record.name);
    if (record.key.serialNumber.isEmpty())
        return name.isEmpty() ? QStringLiteral("(none)") : name;
    return name.isEmpty() ? record.key.serialNumber : record.key.serialNumber + u' ' + name;
}

QString Local(const QDateTime& utc)
{
    return QLocale().toString(utc.toLocalTime(), QLocale::ShortFormat);
}

template <typename T> T* Named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

frmHistory::frmHistory(HistoryArchive& archive, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent, Qt::Window), m_archive(archive), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));

    lvControllers = Named(new QTreeWidget, "lvControllers");
    // A record's name stands with its serial number: the list keeps its narrow width.
    lvControllers->setHeaderLabels({QStringLiteral("Tarn"), QStringLiteral("Firmware"),
                                    QStringLiteral("Port"), QStringLiteral("Last seen"),
                                    QStringLiteral("Events")});
    lvControllers->setRootIsDecorated(false);
    lvControllers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvControllers->setSortingEnabled(true);
    lvControllers->sortByColumn(kLastSeenColumn, Qt::DescendingOrder);
    cmdRefresh = Named(new QPushButton(QStringLiteral("&Refresh")), "cmdRefresh");
    cmdMerge = Named(new QPushButton(QStringLiteral("&Merge...")), "cmdMerge");
    cmdMerge->setToolTip(QStringLiteral("Choose two records of one Tarn to file them as one"));
    cmdMerge->setEnabled(false);
    cmdName = Named(new QPushButton(QStringLiteral("&Name...")), "cmdName");
    cmdName->setToolTip(QStringLiteral("Give the record a name, to tell a Tarn without a serial "
                                       "number from another"));
    cmdName->setEnabled(false);

    chkFrom = Named(new QCheckBox(QStringLiteral("&From")), "chkFrom");
    dtpFrom = Named(new QDateEdit(QDate::currentDate().addMonths(-1)), "dtpFrom");
    chkTo = Named(new QCheckBox(QStringLiteral("&To")), "chkTo");
    dtpTo = Named(new QDateEdit(QDate::currentDate()), "dtpTo");
    for (QDateEdit* date : {dtpFrom, dtpTo})
        date->setCalendarPopup(true);
    txtCode = Named(new QLineEdit, "txtCode");
    txtCode->setPlaceholderText(QStringLiteral("Event code or text"));
    txtCode->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("00 \u2013 Alarm detector 00")));
    auto* events = new QCompleter(HistoryWords::EventChoices(), txtCode);
    events->setCaseSensitivity(Qt::CaseInsensitive);
    events->setFilterMode(Qt::MatchContains);
    txtCode->setCompleter(events);
    cmdFilter = Named(new QPushButton(QStringLiteral("&Show")), "cmdFilter");
    m_events = new HistoryEventModel(this);
    tvEvents = Named(new QTableView, "tvEvents");
    tvEvents->setModel(m_events);
    tvEvents->setSortingEnabled(true);
    tvEvents->sortByColumn(HistoryEventModel::ColumnNo, Qt::AscendingOrder);
    tvEvents->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvEvents->verticalHeader()->hide();
    tvEvents->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    tvEvents->horizontalHeader()->setStretchLastSection(true);
    lblEvents = Named(new QLabel, "lblEvents");
    cmdExport = Named(new QPushButton(QStringLiteral("&Export CSV...")), "cmdExport");

    auto* filterRow = new QHBoxLayout;
    for (QWidget* widget :
         std::initializer_list<QWidget*>{chkFrom, dtpFrom, chkTo, dtpTo, txtCode, cmdFilter})
        filterRow->addWidget(widget);
    filterRow->addStretch();
    auto* exportRow = new QHBoxLayout;
    exportRow->addWidget(lblEvents);
    exportRow->addStretch();
    exportRow->addWidget(cmdExport);
    auto* eventsPage = new QWidget;
    auto* eventsLayout = new QVBoxLayout(eventsPage);
    eventsLayout->addLayout(filterRow);
    eventsLayout->addWidget(tvEvents);
    eventsLayout->addLayout(exportRow);

    lvStatus = Named(new QTreeWidget, "lvStatus");
    lvStatus->setHeaderLabels({QStringLiteral("Read at"), QStringLiteral("Value"),
                               QStringLiteral("Before"), QStringLiteral("After")});

    lvChanges = Named(new QTreeWidget, "lvChanges");
    lvChanges->setHeaderLabels(
        {QStringLiteral("Written at"), QStringLiteral("Program"), QStringLiteral("Change")});
    lvChanges->setRootIsDecorated(false);
    cmdUndo = Named(new QPushButton(QStringLiteral("&Undo this change")), "cmdUndo");
    cmdUndo->setEnabled(false);
    auto* changesPage = new QWidget;
    auto* changesLayout = new QVBoxLayout(changesPage);
    changesLayout->addWidget(lvChanges);
    auto* undoRow = new QHBoxLayout;
    undoRow->addStretch();
    undoRow->addWidget(cmdUndo);
    changesLayout->addLayout(undoRow);

    tabHistory = Named(new QTabWidget, "tabHistory");
    tabHistory->addTab(eventsPage, QStringLiteral("Events"));
    tabHistory->addTab(lvStatus, QStringLiteral("Status"));
    tabHistory->addTab(changesPage, QStringLiteral("Setup changes"));
    tabPictures = new PicturesTab(m_boxes);
    tabHistory->addTab(tabPictures, QStringLiteral("Pictures"));

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lvControllers);
    // One under the other: the list keeps its narrow width on a small screen.
    leftLayout->addWidget(cmdRefresh);
    leftLayout->addWidget(cmdMerge);
    leftLayout->addWidget(cmdName);
    m_splitter = new QSplitter;
    m_splitter->addWidget(left);
    m_splitter->addWidget(tabHistory);
    m_splitter->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_splitter);

    // Its boxes and file dialog would hold back a wait of the main window (an output's off
    // word among it), and so would its reads, which wait for the history: they start once the
    // wait has ended.
    const auto whenIdle = [this](void (frmHistory::*handler)()) {
        return
            [this, handler] { WaitDepth::WhenIdle(this, [this, handler] { (this->*handler)(); }); };
    };
    connect(lvControllers, &QTreeWidget::itemSelectionChanged, this,
            whenIdle(&frmHistory::handleControllerChosen));
    connect(cmdRefresh, &QPushButton::clicked, this, whenIdle(&frmHistory::Refresh));
    connect(cmdFilter, &QPushButton::clicked, this, whenIdle(&frmHistory::handleFilter));
    connect(txtCode, &QLineEdit::returnPressed, this, whenIdle(&frmHistory::handleFilter));
    connect(cmdExport, &QPushButton::clicked, this, whenIdle(&frmHistory::handleExport));
    connect(cmdMerge, &QPushButton::clicked, this, whenIdle(&frmHistory::handleMerge));
    connect(cmdName, &QPushButton::clicked, this, whenIdle(&frmHistory::handleName));
    connect(lvChanges, &QTreeWidget::itemSelectionChanged, this, &frmHistory::handleChangeChosen);
    connect(tabHistory, &QTabWidget::currentChanged, this, whenIdle(&frmHistory::LoadPictures));
    connect(cmdUndo, &QPushButton::clicked, this, &frmHistory::handleUndo);
    // Room for the lists where the screen has it, never more than the screen.
    if (const QScreen* shown = screen())
        resize(QSize(kWidth, kHeight).boundedTo(shown->availableGeometry().size()));
}

void frmHistory::Refresh()
{
    const qint64 shown = m_controller;
    const QSignalBlocker quiet(lvControllers);
    lvControllers->clear();
    QTreeWidgetItem* chosen = nullptr;
    const std::vector<ArchivedController> controllers =
        ArchiveRead::Read<std::vector<ArchivedController>>(
            m_archive, [](HistoryArchive& archive) { return archive.Controllers(); });
    for (const ArchivedController& controller : controllers) {
        auto* item = new QTreeWidgetItem(
            lvControllers,
            {RecordText(controller), FirmwareText(controller.key.firmware), controller.key.port,
             controller.lastSeen.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             QString::number(controller.events)});
        item->setData(0, kIdRole, controller.id);
        item->setData(0, kKeyRole, QVariant::fromValue(controller.key));
        item->setData(0, kNameRole, controller.name);
        item->setTextAlignment(kEventsColumn, Qt::AlignRight | Qt::AlignVCenter);
        if (controller.id == shown)
            chosen = item;
    }
    // The controller seen last, unless one was chosen.
    if (!chosen)
        chosen = lvControllers->topLevelItem(0);
    if (chosen)
        chosen->setSelected(true);
    // Chosen without the list's signal: its buttons follow it here.
    cmdMerge->setEnabled(false);
    cmdName->setEnabled(chosen != nullptr);
    // Every column of the controllers in sight, up to half the window.
    int width =
        2 * lvControllers->frameWidth() + lvControllers->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < lvControllers->columnCount(); ++column) {
        lvControllers->resizeColumnToContents(column);
        width += lvControllers->columnWidth(column);
    }
    const int room = m_splitter->width();
    width = std::min(width, room / 2);
    m_splitter->setSizes({width, room - width});
    ShowController(chosen ? chosen->data(0, kIdRole).toLongLong() : 0);
}

void frmHistory::handleControllerChosen()
{
    const QList<QTreeWidgetItem*> items = lvControllers->selectedItems();
    cmdMerge->setEnabled(items.size() == 2);
    cmdName->setEnabled(items.size() == 1);
    const QTreeWidgetItem* shown = lvControllers->currentItem();
    if (!shown || !shown->isSelected())
        shown = items.isEmpty() ? nullptr : items.first();
    ShowController(shown ? shown->data(0, kIdRole).toLongLong() : 0);
}

void frmHistory::handleMerge()
{
    const QList<QTreeWidgetItem*> items = lvControllers->selectedItems();
    if (items.size() != 2)
        return;
    // Into the record with a serial number, else into the older one.
    ArchivedController first;
    ArchivedController second;
    for (ArchivedController* record : {&first, &second}) {
        const QTreeWidgetItem* item = items[record == &first ? 0 : 1];
        record->id = item->data(0, kIdRole).toLongLong();
        record->key = item->data(0, kKeyRole).value<ControllerKey>();
        record->name = item->data(0, kNameRole).toString();
    }
    const bool swap = (first.key.SerialName().isEmpty() && !second.key.SerialName().isEmpty()) ||
                      (first.key.SerialName().isEmpty() == second.key.SerialName().isEmpty() &&
                       second.id < first.id);
    const ArchivedController& into = swap ? second : first;
    const ArchivedController& from = swap ? first : second;
    const auto name = [](const ArchivedController& record) {
        return QStringLiteral("record %1 (%2%3, %4)")
            // In one pass: a "%3" in a name given by hand stays as typed.
            .arg(QString::number(record.id),
                 record.name.isEmpty() ? QString() : QStringLiteral("\"%1\", ").arg(record.name),
                 record.key.SerialName().isEmpty()
                     ? QStringLiteral("no serial number")
                     : QStringLiteral("serial %1").arg(record.key.SerialName()),
                 FirmwareText(record.key.firmware));
    };
    if (!m_boxes.questionOkCancelDefaultCancel(
            QStringLiteral("File the records of %1 under %2?").arg(name(from), name(into)),
            QStringLiteral("Do this only for records of one Tarn: it cannot be undone.")))
        return;
    QString errText;
    if (!ArchiveRead::Merge(m_archive, into.id, from.id, errText)) {
        m_boxes.critical(QStringLiteral("The records could not be merged."), errText);
        return;
    }
    m_controller = into.id;
    Refresh();
}

void frmHistory::handleName()
{
    const QList<QTreeWidgetItem*> items = lvControllers->selectedItems();
    if (items.size() != 1)
        return;
    const qint64 id = items.first()->data(0, kIdRole).toLongLong();
    bool ok = false;
    const QString name = m_boxes.inputText(
        QStringLiteral("The name of record %1, to tell this Tarn from the others (empty for "
                       "none):")
            .arg(id),
        items.first()->data(0, kNameRole).toString(), ok);
    if (!ok)
        return;
    QString errText;
    if (!ArchiveRead::Name(m_archive, id, name, errText)) {
        m_boxes.critical(QStringLiteral("The record could not be named."), errText);
        return;
    }
    m_controller = id;
    Refresh();
}

void frmHistory::ShowController(qint64 id)
{
    m_controller = id;
    m_controllerKey = ControllerKey();
    for (int i = 0; i < lvControllers->topLevelItemCount(); ++i)
        if (const QTreeWidgetItem* item = lvControllers->topLevelItem(i);
            item->data(0, kIdRole).toLongLong() == id)
            m_controllerKey = item->data(0, kKeyRole).value<ControllerKey>();
    LoadEvents();
    lvStatus->clear();
    lvChanges->clear();
    m_changes.clear();
    // The pictures read the controller's events once their tab is shown.
    m_picturesShown = false;
    LoadPictures();
    if (id == 0)
        return;
    // Each snapshot as the values that changed since the one before (all of the first), one
    // row each with the value before and after; the record as stored in the tool tip.
    struct Records
    {
        std::vector<ArchivedStatus> statuses;
        std::vector<ArchivedChange> changes;
    };
    const Records records = ArchiveRead::Read<Records>(m_archive, [id](HistoryArchive& archive) {
        return Records{archive.Statuses(id), archive.Changes(id)};
    });
    if (id != m_controller)
        return;
    QJsonObject previous;
    for (const ArchivedStatus& status : records.statuses) {
        const QJsonObject values = QJsonDocument::fromJson(status.valuesJson.toUtf8()).object();
        const std::vector<HistoryWords::Row> rows = HistoryWords::StatusRows(previous, values);
        auto* item = new QTreeWidgetItem(
            lvStatus, {Local(status.readAt), previous.isEmpty()
                                                 ? QStringLiteral("First read")
                                                 : QStringLiteral("%1 changed").arg(rows.size())});
        item->setToolTip(0,
                         QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Indented)));
        for (const HistoryWords::Row& row : rows)
            new QTreeWidgetItem(item, {QString(), row.name, row.before, row.after});
        previous = values;
    }
    m_changes = records.changes;
    for (std::size_t i = 0; i < m_changes.size(); ++i) {
        const ArchivedChange& change = m_changes[i];
        auto* item = new QTreeWidgetItem(
            lvChanges, {Local(change.writtenAt), change.program, HistoryWords::ChangeText(change)});
        // What was sent, for whoever needs it.
        item->setToolTip(
            2, QStringLiteral("Command %1: %2\nBefore: %3\nAfter: %4")
                   .arg(change.command)
                   .arg(HistoryWords::DataText(change.data), change.beforeJson, change.afterJson));
        item->setData(0, kIdRole, static_cast<qulonglong>(i));
    }
}

EventFilter frmHistory::Filter() const
{
    EventFilter filter;
    if (chkFrom->isChecked())
        filter.since = QDateTime(dtpFrom->date(), QTime(0, 0), Qt::UTC);
    if (chkTo->isChecked())
        filter.until = QDateTime(dtpTo->date(), QTime(23, 59, 59), Qt::UTC);
    if (const std::optional<int> code = HistoryWords::EventCode(txtCode->text()))
        filter.code = *code;
    // Gaps have no time and no code: a filter by either leaves them out.
    filter.withGaps = !filter.since && !filter.until && !filter.code;
    return filter;
}

std::vector<ArchivedEvent> frmHistory::EventsOf(qint64 id, const EventFilter& filter)
{
    if (id == 0)
        return {};
    return ArchiveRead::Read<std::vector<ArchivedEvent>>(
        m_archive, [id, filter](HistoryArchive& archive) { return archive.Events(id, filter); });
}

void frmHistory::LoadEvents()
{
    m_events->setEvents(EventsOf(m_controller, Filter()));
    const QHeaderView* header = tvEvents->horizontalHeader();
    m_events->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    // The widths of the rows in view; the others are not looked at.
    tvEvents->resizeColumnsToContents();
    lblEvents->setText(QStringLiteral("%1 events").arg(m_events->rowCount()));
}

void frmHistory::handleFilter()
{
    const QString code = txtCode->text().trimmed();
    if (!code.isEmpty() && !HistoryWords::EventCode(code)) {
        m_boxes.critical(QStringLiteral("The event code must be a whole number."),
                         QStringLiteral("\"%1\" is neither a code nor an event text of Tarn.INI; "
                                        "leave the field empty for every code.")
                             .arg(code));
        return;
    }
    LoadEvents();
}

void frmHistory::handleExport()
{
    const QString suggested = ReportFiles::SuggestedPath(
        ReportFiles::SuggestedName(m_controllerKey.serialNumber, QDate::currentDate(),
                                   QStringLiteral("history"), QStringLiteral("csv")));
    const QString path =
        m_boxes.saveFileName(suggested, QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    std::string errText;
    if (!ReplaceFileContent(QFile::encodeName(path).toStdString(), m_events->Csv(m_controllerKey),
                            errText))
        m_boxes.critical(QStringLiteral("The events could not be saved as %1.")
                             .arg(QDir::toNativeSeparators(path)),
                         QString::fromStdString(errText));
}

void frmHistory::LoadPictures()
{
    if (m_picturesShown || tabHistory->currentWidget() != tabPictures)
        return;
    m_picturesShown = true;
    const ControllerKey key = m_controllerKey;
    tabPictures->SetEvents(EventsOf(m_controller, EventFilter()), key);
}

void frmHistory::handleChangeChosen()
{
    const QList<QTreeWidgetItem*> items = lvChanges->selectedItems();
    const QString whyNot =
        items.isEmpty() ? QString()
        : whyNoUndo
            ? whyNoUndo(m_changes[items.first()->data(0, kIdRole).toULongLong()], m_controllerKey)
            : SetupUndo::WhyNot(m_changes[items.first()->data(0, kIdRole).toULongLong()], false);
    cmdUndo->setEnabled(!items.isEmpty() && whyNot.isEmpty());
    cmdUndo->setToolTip(whyNot);
}

void frmHistory::handleUndo()
{
    const QList<QTreeWidgetItem*> items = lvChanges->selectedItems();
    if (items.isEmpty() || !undo)
        return;
    undo(m_changes[items.first()->data(0, kIdRole).toULongLong()], m_controllerKey);
}
