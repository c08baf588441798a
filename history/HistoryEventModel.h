#pragma once

#include "history/HistoryArchive.h"

#include <QAbstractTableModel>

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

    /// The rows as shown (in their order), with the header line, as CSV (UTF-8, CRLF, fields
    /// quoted where they hold a comma, a quote or a line break).
    QByteArray Csv() const;

private:
    QString Text(int row, int column) const;

    std::vector<ArchivedEvent> m_events;
    /// Display order: indexes into m_events.
    std::vector<int> m_order;
};
