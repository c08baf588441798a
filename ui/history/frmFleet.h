#pragma once

#include <QWidget>

class FleetModel;
class HistoryArchive;
class MessageBoxes;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

/// The fleet: every controller of the service history with its last contact, firmware, last
/// service and the days since it (red when due for service), and the alarms and faults of its
/// last visit. Sortable, filtered to those due for service on request, exported as CSV.
class frmFleet : public QWidget
{
    Q_OBJECT

public:
    frmFleet(HistoryArchive& archive, MessageBoxes& boxes, QWidget* parent = nullptr);

    /// Reads the fleet again; a controller is due after `serviceInterval` days.
    void Refresh(int serviceInterval);
    FleetModel* model() const { return m_fleet; }

    QTableView* tvFleet = nullptr;
    QCheckBox* chkDue = nullptr;
    QLabel* lblFleet = nullptr;
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdRefresh = nullptr;

private:
    void handleDue();
    void handleExport();
    void handleRefresh();
    void ShowCount();

    HistoryArchive& m_archive;
    MessageBoxes& m_boxes;
    FleetModel* m_fleet = nullptr;
    int m_serviceInterval = 0;
};
