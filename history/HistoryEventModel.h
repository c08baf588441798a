#pragma once

#include "history/HistoryArchive.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

/// The archived events of one controller as a table: the event-log page's columns (number,
/// time, temperature, event), then the code, when and by which program it was read. Sorts by
/// value, as the event-log page does: numbers and times as such, not as text.
class HistoryEventModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnNo,
        ColumnTime,
        ColumnTemp,
        ColumnEvent,
        ColumnCode,
        ColumnReadAt,
        ColumnProgram,
        kColumns
    };

    explicit HistoryEventModel(QObject* parent = nullptr);

    /// The rows, in reading order; the number column counts them from 1.
    void setEvents(std::vector<ArchivedEvent> events);
    const ArchivedEvent& event(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    /// The rows as shown (in their order) in the program's CSV (CsvWriter), with the
    /// controller's serial number and firmware in each row: CsvColumns().
    std::string Csv(const ControllerKey& controller) const;
    static const std::vector<std::string>& CsvColumns();
    /// A time of the PC as the CSV files give it: local, with its offset from UTC; "" when
    /// not valid.
    static std::string PcTime(const QDateTime& time);

private:
    QString Text(int row, int column) const;

    std::vector<ArchivedEvent> m_events;
    /// Display order: indexes into m_events.
    std::vector<int> m_order;
};
