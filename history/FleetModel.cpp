#include "history/FleetModel.h"

#include "data/CsvWriter.h"
#include "data/ExportText.h"
#include "history/HistoryEventModel.h"

#include <QLocale>

#include <algorithm>

namespace {

const char* const kHeaders[] = {"Serial number", "Firmware",           "Port",   "Last contact",
                                "Last service",  "Days since service", "Alarms", "Faults"};
constexpr const char* kControllerTimeFormat = "yyyy-MM-ddTHH:mm:ss";

} // namespace

FleetModel::FleetModel(QObject* parent) : QAbstractTableModel(parent) {}

void FleetModel::setEntries(std::vector<FleetEntry> entries, const QDate& today,
                            int serviceInterval)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_today = today;
    m_serviceInterval = serviceInterval;
    Filter();
    endResetModel();
    if (m_sortColumn >= 0)
        sort(m_sortColumn, m_sortOrder);
}

void FleetModel::setDueOnly(bool dueOnly)
{
    if (dueOnly == m_dueOnly)
        return;
    beginResetModel();
    m_dueOnly = dueOnly;
    Filter();
    endResetModel();
    if (m_sortColumn >= 0)
        sort(m_sortColumn, m_sortOrder);
}

void FleetModel::Filter()
{
    m_order.clear();
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (!m_dueOnly || Due(m_entries[i]))
            m_order.push_back(static_cast<int>(i));
}

int FleetModel::dueCount() const
{
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(),
                                          [this](const FleetEntry& e) { return Due(e); }));
}

const FleetEntry& FleetModel::entry(int row) const
{
    return m_entries[static_cast<std::size_t>(m_order[static_cast<std::size_t>(row)])];
}

bool FleetModel::isDue(int row) const
{
    return Due(entry(row));
}

int FleetModel::DaysSince(const FleetEntry& entry) const
{
    return entry.lastService.isValid() ? static_cast<int>(entry.lastService.date().daysTo(m_today))
                                       : -1;
}

bool FleetModel::Due(const FleetEntry& entry) const
{
    return DaysSince(entry) > m_serviceInterval;
}

int FleetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int FleetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant FleetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FleetEntry& e = entry(index.row());
    if (role == DueRole)
        return index.column() == ColumnDaysSince && Due(e);
    if (role == Qt::TextAlignmentRole)
        return index.column() == ColumnSerial || index.column() == ColumnPort
                   ? QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const QLocale locale;
    switch (index.column()) {
    case ColumnSerial:
        // A controller without one is shown by the name it was given.
        return e.controller.key.serialNumber.isEmpty() && !e.controller.name.isEmpty()
                   ? QStringLiteral("\"%1\"").arg(e.controller.name)
                   : e.controller.key.serialNumber;
    case ColumnFirmware:
        return e.controller.key.firmware > 0
                   ? QString::fromStdString(ExportText::Number(e.controller.key.firmware))
                   : QString();
    case ColumnPort:
        return e.controller.key.port;
    case ColumnLastContact:
        return locale.toString(e.controller.lastSeen.toLocalTime(), QLocale::ShortFormat);
    case ColumnLastService:
        return e.lastService.isValid() ? locale.toString(e.lastService.date(), QLocale::ShortFormat)
                                       : QString();
    case ColumnDaysSince:
        return e.lastService.isValid() ? QString::number(DaysSince(e)) : QString();
    case ColumnAlarms:
        return QString::number(e.alarms);
    case ColumnFaults:
        return QString::number(e.faults);
    default:
        return {};
    }
}

QVariant FleetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns)
        return {};
    return QString::fromLatin1(kHeaders[section]);
}

void FleetModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    const auto less = [this, column](int a, int b) -> bool {
        const FleetEntry& x = m_entries[static_cast<std::size_t>(a)];
        const FleetEntry& y = m_entries[static_cast<std::size_t>(b)];
        switch (column) {
        case ColumnSerial:
            return x.controller.key.serialNumber.localeAwareCompare(y.controller.key.serialNumber) <
                   0;
        case ColumnFirmware:
            return x.controller.key.firmware < y.controller.key.firmware;
        case ColumnPort:
            return x.controller.key.port < y.controller.key.port;
        case ColumnLastContact:
            return x.controller.lastSeen < y.controller.lastSeen;
        case ColumnLastService:
            return x.lastService < y.lastService;
        case ColumnDaysSince:
            return DaysSince(x) < DaysSince(y);
        case ColumnAlarms:
            return x.alarms < y.alarms;
        case ColumnFaults:
            return x.faults < y.faults;
        default:
            return a < b;
        }
    };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Ties keep the order the controllers were first seen in, whichever way the column sorts.
    std::sort(m_order.begin(), m_order.end());
    if (order == Qt::AscendingOrder)
        std::stable_sort(m_order.begin(), m_order.end(), less);
    else
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return less(b, a); });
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

const std::vector<std::string>& FleetModel::ValueNames()
{
    static const std::vector<std::string> names{
        "serial",       "firmware",           "port",   "last_contact",
        "last_service", "days_since_service", "alarms", "faults"};
    return names;
}

QJsonArray FleetModel::Values(int row) const
{
    const FleetEntry& e = entry(row);
    const ControllerKey& key = e.controller.key;
    const auto known = [](bool isKnown, const QJsonValue& value) {
        return isKnown ? value : QJsonValue(QJsonValue::Null);
    };
    return {known(!key.serialNumber.isEmpty(), key.serialNumber),
            known(key.firmware > 0, key.firmware),
            key.port,
            known(e.controller.lastSeen.isValid(),
                  QString::fromStdString(HistoryEventModel::PcTime(e.controller.lastSeen))),
            known(e.lastService.isValid(),
                  e.lastService.toString(QLatin1String(kControllerTimeFormat))),
            known(e.lastService.isValid(), DaysSince(e)),
            e.alarms,
            e.faults};
}

std::string FleetModel::Csv() const
{
    CsvWriter csv(ValueNames());
    for (int row = 0; row < rowCount(); ++row) {
        std::vector<std::string> cells;
        for (const QJsonValue& value : Values(row))
            cells.push_back(value.isDouble() ? ExportText::Number(value.toDouble())
                                             : value.toString().toUtf8().toStdString());
        csv.AddRow(cells);
    }
    return csv.Text();
}
