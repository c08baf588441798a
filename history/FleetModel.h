#pragma once

#include "history/HistoryArchive.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QJsonArray>

#include <string>
#include <vector>

/// The fleet as a table: every controller of the history with its last contact, firmware,
/// last service and the days since it, and the alarms and faults of its last visit. A
/// controller is due for service when more days than the service interval have passed since
/// its last service; one whose service date is not known is not. Sorts by value; can show
/// only the controllers due. The same rows, typed, for `tarn history fleet` and the CSV.
class FleetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnSerial,
        ColumnFirmware,
        ColumnPort,
        ColumnLastContact,
        ColumnLastService,
        ColumnDaysSince,
        ColumnAlarms,
        ColumnFaults,
        kColumns
    };
    /// True on the days-since cell of a controller due for service (shown in red).
    static constexpr int DueRole = Qt::UserRole;

    explicit FleetModel(QObject* parent = nullptr);

    /// The rows, due for service counted at `today` with `serviceInterval` days.
    void setEntries(std::vector<FleetEntry> entries, const QDate& today, int serviceInterval);
    /// Only the controllers due for service, or all.
    void setDueOnly(bool dueOnly);
    bool dueOnly() const { return m_dueOnly; }
    int dueCount() const;
    int totalCount() const { return static_cast<int>(m_entries.size()); }
    const FleetEntry& entry(int row) const;
    bool isDue(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    /// The names of the typed values, for CSV, TSV and JSON.
    static const std::vector<std::string>& ValueNames();
    /// The row shown at `row` as typed values (null for what is not known): serial number,
    /// firmware, port, last contact (the PC's time with its offset), last service (the
    /// controller's clock), days since it, alarms, faults.
    QJsonArray Values(int row) const;
    /// The rows shown, in their order, in the program's CSV (CsvWriter).
    std::string Csv() const;

private:
    /// Days from the entry's last service to today; -1 when not known.
    int DaysSince(const FleetEntry& entry) const;
    bool Due(const FleetEntry& entry) const;
    void Filter();

    std::vector<FleetEntry> m_entries;
    /// The entries shown, in display order: indexes into m_entries.
    std::vector<int> m_order;
    QDate m_today;
    int m_serviceInterval = 0;
    bool m_dueOnly = false;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
