#include "ui/history/frmHistory.h"

#include "config/FileReplace.h"
#include "controller/SetupUndo.h"
#include "history/HistoryEventModel.h"
#include "ui/main/MessageBoxes.h"

#include <QCheckBox>
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
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kIdRole = Qt::UserRole;
/// The controller's key, on its row of the controllers list.
constexpr int kKeyRole = Qt::UserRole + 1;

QString FirmwareText(double firmware)
{
    return firmware > 0 ? QStringLiteral("V%1").arg(firmware, 0, 'f', 2) : QString();
}

QString Local(const QDateTime& utc)
{
    return QLocale().toString(utc.toLocalTime(), QLocale::ShortFormat);
}

QString ValueText(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isBool())
        return value.toBool() ? QStringLiteral("on") : QStringLiteral("off");
    if (value.isDouble())
        return QLocale().toString(value.toDouble());
    return QString::fromUtf8(value.isArray()
                                 ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                 : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
}

/// "zones.2.outputs 1 → 3" for every value that differs, the clock left out.
void Differences(const QJsonValue& before, const QJsonValue& after, const QString& path,
                 QStringList& changed)
{
    if (before.isObject() && after.isObject()) {
        const QJsonObject a = before.toObject();
        const QJsonObject b = after.toObject();
        for (auto it = b.begin(); it != b.end(); ++it)
            if (it.key() != QLatin1String("clock"))
                Differences(a.value(it.key()), it.value(),
                            path.isEmpty() ? it.key() : path + u'.' + it.key(), changed);
        return;
    }
    if (before.isArray() && after.isArray() && before.toArray().size() == after.toArray().size()) {
        const QJsonArray a = before.toArray();
        const QJsonArray b = after.toArray();
        for (qsizetype i = 0; i < b.size(); ++i)
            Differences(a[i], b[i], path + u'.' + QString::number(i + 1), changed);
        return;
    }
    if (before != after)
        changed << QStringLiteral("%1 %2 \u2192 %3").arg(path, ValueText(before), ValueText(after));
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
    lvControllers->setHeaderLabels({QStringLiteral("Serial number"), QStringLiteral("Firmware"),
                                    QStringLiteral("Port"), QStringLiteral("Last seen"),
                                    QStringLiteral("Events")});
    lvControllers->setRootIsDecorated(false);
    lvControllers->setSortingEnabled(true);
    lvControllers->sortByColumn(3, Qt::DescendingOrder);
    cmdRefresh = Named(new QPushButton(QStringLiteral("&Refresh")), "cmdRefresh");

    chkFrom = Named(new QCheckBox(QStringLiteral("&From")), "chkFrom");
    dtpFrom = Named(new QDateEdit(QDate::currentDate().addMonths(-1)), "dtpFrom");
    chkTo = Named(new QCheckBox(QStringLiteral("&To")), "chkTo");
    dtpTo = Named(new QDateEdit(QDate::currentDate()), "dtpTo");
    for (QDateEdit* date : {dtpFrom, dtpTo})
        date->setCalendarPopup(true);
    txtCode = Named(new QLineEdit, "txtCode");
    txtCode->setPlaceholderText(QStringLiteral("Code"));
    txtCode->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
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
    lvStatus->setHeaderLabels(
        {QStringLiteral("Read at"), QStringLiteral("Changed since the read before")});
    lvStatus->setRootIsDecorated(false);

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

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lvControllers);
    leftLayout->addWidget(cmdRefresh);
    auto* splitter = new QSplitter;
    splitter->addWidget(left);
    splitter->addWidget(tabHistory);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({420, 780});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);

    connect(lvControllers, &QTreeWidget::itemSelectionChanged, this,
            &frmHistory::handleControllerChosen);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmHistory::Refresh);
    connect(cmdFilter, &QPushButton::clicked, this, &frmHistory::handleFilter);
    connect(txtCode, &QLineEdit::returnPressed, this, &frmHistory::handleFilter);
    connect(cmdExport, &QPushButton::clicked, this, &frmHistory::handleExport);
    connect(lvChanges, &QTreeWidget::itemSelectionChanged, this, &frmHistory::handleChangeChosen);
    connect(cmdUndo, &QPushButton::clicked, this, &frmHistory::handleUndo);
    resize(1200, 600);
}

void frmHistory::Refresh()
{
    const qint64 shown = m_controller;
    const QSignalBlocker quiet(lvControllers);
    lvControllers->clear();
    QTreeWidgetItem* chosen = nullptr;
    for (const ArchivedController& controller : m_archive.Controllers()) {
        auto* item = new QTreeWidgetItem(
            lvControllers,
            {controller.key.serialNumber.isEmpty() ? QStringLiteral("(none)")
                                                   : controller.key.serialNumber,
             FirmwareText(controller.key.firmware), controller.key.port,
             controller.lastSeen.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             QString::number(controller.events)});
        item->setData(0, kIdRole, controller.id);
        item->setData(0, kKeyRole, QVariant::fromValue(controller.key));
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        if (controller.id == shown)
            chosen = item;
    }
    // The controller seen last, unless one was chosen.
    if (!chosen)
        chosen = lvControllers->topLevelItem(0);
    if (chosen)
        chosen->setSelected(true);
    for (int column = 0; column < lvControllers->columnCount(); ++column)
        lvControllers->resizeColumnToContents(column);
    ShowController(chosen ? chosen->data(0, kIdRole).toLongLong() : 0);
}

void frmHistory::handleControllerChosen()
{
    const QList<QTreeWidgetItem*> items = lvControllers->selectedItems();
    ShowController(items.isEmpty() ? 0 : items.first()->data(0, kIdRole).toLongLong());
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
    if (id == 0)
        return;
    // Each snapshot as what changed since the one before; the whole record in its tooltip.
    QJsonObject previous;
    for (const ArchivedStatus& status : m_archive.Statuses(id)) {
        const QJsonObject values = QJsonDocument::fromJson(status.valuesJson.toUtf8()).object();
        QStringList changed;
        if (!previous.isEmpty())
            Differences(previous, values, QString(), changed);
        auto* item = new QTreeWidgetItem(
            lvStatus,
            {Local(status.readAt),
             previous.isEmpty()
                 ? QStringLiteral("First read: ") +
                       QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact))
                 : changed.join(QStringLiteral(", "))});
        item->setToolTip(1,
                         QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Indented)));
        previous = values;
    }
    m_changes = m_archive.Changes(id);
    for (std::size_t i = 0; i < m_changes.size(); ++i) {
        const ArchivedChange& change = m_changes[i];
        auto* item = new QTreeWidgetItem(lvChanges,
                                         {Local(change.writtenAt), change.program, change.summary});
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
    bool isNumber = false;
    const int code = txtCode->text().trimmed().toInt(&isNumber);
    if (isNumber)
        filter.code = code;
    // Gaps have no time and no code: a filter by either leaves them out.
    filter.withGaps = !filter.since && !filter.until && !filter.code;
    return filter;
}

void frmHistory::LoadEvents()
{
    m_events->setEvents(m_controller ? m_archive.Events(m_controller, Filter())
                                     : std::vector<ArchivedEvent>{});
    const QHeaderView* header = tvEvents->horizontalHeader();
    m_events->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    // The widths of the rows in view; the others are not looked at.
    tvEvents->resizeColumnsToContents();
    lblEvents->setText(QStringLiteral("%1 events").arg(m_events->rowCount()));
}

void frmHistory::handleFilter()
{
    const QString code = txtCode->text().trimmed();
    bool isNumber = code.isEmpty();
    if (!isNumber)
        code.toInt(&isNumber);
    if (!isNumber) {
        m_boxes.critical(
            QStringLiteral("The event code must be a whole number."),
            QStringLiteral("\"%1\" is not one; leave the field empty for every code.").arg(code));
        return;
    }
    LoadEvents();
}

void frmHistory::handleExport()
{
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("history-events.csv"));
    const QString path =
        m_boxes.saveFileName(suggested, QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    std::string errText;
    if (!ReplaceFileContent(QFile::encodeName(path).toStdString(), m_events->Csv().toStdString(),
                            errText))
        m_boxes.critical(QStringLiteral("The events could not be saved as %1.")
                             .arg(QDir::toNativeSeparators(path)),
                         QString::fromStdString(errText));
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
