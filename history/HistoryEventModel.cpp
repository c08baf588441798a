#include "history/HistoryEventModel.h"

#include "data/CsvWriter.h"
#include "data/EventLogReport.h"
#include "data/ExportText.h"
#include "data/Tarn_Inputs.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

namespace {

const char* const kExtraHeaders[] = {"Code", "Read at", "Program"};

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace

HistoryEventModel::HistoryEventModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistoryEventModel::setEvents(std::vector<ArchivedEvent> events)
{
    beginResetModel();
    m_events = std::move(events);
    m_order.resize(m_events.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    endResetModel();
}

const ArchivedEvent& HistoryEventModel::event(int row) const
{
    return m_events[static_cast<std::size_t>(m_order[static_cast<std::size_t>(row)])];
}

int HistoryEventModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_events.size());
}

int HistoryEventModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QString HistoryEventModel::Text(int row, int column) const
{
    const int index = m_order[static_cast<std::size_t>(row)];
    const ArchivedEvent& e = m_events[static_cast<std::size_t>(index)];
    const QLocale locale;
    switch (column) {
    case ColumnNo:
        return QString::fromStdString(EventLogReport::RowNumber(index + 1));
    case ColumnTime:
        return e.gap ? QString() : locale.toString(e.eventTime, QLocale::ShortFormat);
    case ColumnTemp:
        if (e.gap)
            return QString();
        return locale.toString(e.temperatureCelsius) + QChar(0xB0) + QStringLiteral("C/") +
               locale.toString(Tarn_Inputs::CelsiusToFahrenheit(e.temperatureCelsius)) +
               QChar(0xB0) + QStringLiteral("F");
    case ColumnEvent:
        return e.gap ? QString::fromLatin1(EventLogReport::kLostEventText) : e.text;
    case ColumnCode:
        return e.gap ? QString() : QString::number(e.code);
    case ColumnReadAt:
        return locale.toString(e.readAt.toLocalTime(), QLocale::ShortFormat);
    case ColumnProgram:
        return e.program;
    default:
        return QString();
    }
}

QVariant HistoryEventModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return Text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() != ColumnEvent &&
        index.column() != ColumnProgram)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant HistoryEventModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns)
        return {};
    if (section < EventLogReport::kColumns)
        return QString::fromStdString(EventLogReport::Headers()[static_cast<std::size_t>(section)]);
    return QString::fromLatin1(kExtraHeaders[section - EventLogReport::kColumns]);
}

void HistoryEventModel::sort(int column, Qt::SortOrder order)
{
    const auto& events = m_events;
    // Ties keep reading order, whichever way the column sorts.
    const auto less = [&](int a, int b) -> bool {
        const ArchivedEvent& x = events[static_cast<std::size_t>(a)];
        const ArchivedEvent& y = events[static_cast<std::size_t>(b)];
        switch (column) {
        case ColumnTime:
            return x.eventTime < y.eventTime;
        case ColumnTemp:
            return x.temperatureCelsius < y.temperatureCelsius;
        case ColumnEvent:
            return x.text.localeAwareCompare(y.text) < 0;
        case ColumnCode:
            return x.code < y.code;
        case ColumnReadAt:
            return x.readAt < y.readAt;
        case ColumnProgram:
            return x.program < y.program;
        default:
            return a < b;
        }
    };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::iota(m_order.begin(), m_order.end(), 0);
    if (order == Qt::AscendingOrder)
        std::stable_sort(m_order.begin(), m_order.end(), less);
    else
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return less(b, a); });
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::string HistoryEventModel::PcTime(const QDateTime& time)
{
    if (!time.isValid())
        return {};
    const QDateTime local = time.toLocalTime();
    return ExportText::PcTime(local.toSecsSinceEpoch(), local.offsetFromUtc());
}

const std::vector<std::string>& HistoryEventModel::CsvColumns()
{
    static const std::vector<std::string> columns{"serial",  "firmware",   "number", "time",
                                                  "celsius", "fahrenheit", "code",   "text",
                                                  "read_at", "program"};
    return columns;
}

std::string HistoryEventModel::Csv(const ControllerKey& controller) const
{
    CsvWriter csv(CsvColumns());
    const std::string serial = Utf8(controller.serialNumber);
    const std::string firmware =
        controller.firmware > 0 ? ExportText::Number(controller.firmware) : std::string();
    for (int row = 0; row < rowCount(); ++row) {
        const int index = m_order[static_cast<std::size_t>(row)];
        const ArchivedEvent& e = m_events[static_cast<std::size_t>(index)];
        const std::string number = std::to_string(index + 1);
        if (e.gap) {
            csv.AddRow({serial,
                        firmware,
                        number,
                        {},
                        {},
                        {},
                        {},
                        EventLogReport::kLostEventText,
                        PcTime(e.readAt),
                        Utf8(e.program)});
            continue;
        }
        csv.AddRow({serial, firmware, number,
                    e.eventTime.isValid()
                        ? Utf8(e.eventTime.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")))
                        : std::string(),
                    ExportText::Number(e.temperatureCelsius),
                    ExportText::Number(Tarn_Inputs::CelsiusToFahrenheit(e.temperatureCelsius)),
                    std::to_string(e.code), Utf8(e.text), PcTime(e.readAt), Utf8(e.program)});
    }
    return csv.Text();
}
