#include "ui/history/frmFleet.h"

#include "config/FileReplace.h"
#include "controller/ArchiveRead.h"
#include "controller/ReportFiles.h"
#include "eventloop/WaitDepth.h"
#include "history/FleetModel.h"
#include "history/HistoryArchive.h"
#include "ui/history/FleetColors.h"
#include "ui/main/MessageBoxes.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
template <typename T> T* Named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
} // namespace

frmFleet::frmFleet(HistoryArchive& archive, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent, Qt::Window), m_archive(archive), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmFleet"));
    setWindowTitle(QStringLiteral("Fleet"));

    m_fleet = new FleetModel(this);
    auto* colors = new FleetColors(this);
    colors->setSourceModel(m_fleet);
    tvFleet = Named(new QTableView, "tvFleet");
    tvFleet->setModel(colors);
    tvFleet->setSortingEnabled(true);
    tvFleet->sortByColumn(FleetModel::ColumnDaysSince, Qt::DescendingOrder);
    tvFleet->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvFleet->verticalHeader()->hide();
    tvFleet->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    tvFleet->horizontalHeader()->setStretchLastSection(true);
    chkDue = Named(new QCheckBox(QStringLiteral("&Due for service only")), "chkDue");
    lblFleet = Named(new QLabel, "lblFleet");
    cmdExport = Named(new QPushButton(QStringLiteral("&Export CSV...")), "cmdExport");
    cmdRefresh = Named(new QPushButton(QStringLiteral("&Refresh")), "cmdRefresh");

    auto* top = new QHBoxLayout;
    top->addWidget(chkDue);
    top->addStretch();
    top->addWidget(cmdRefresh);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblFleet);
    bottom->addStretch();
    bottom->addWidget(cmdExport);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tvFleet);
    layout->addLayout(bottom);
    resize(900, 420);

    connect(chkDue, &QCheckBox::toggled, this, &frmFleet::handleDue);
    // Its file dialog and its read of the history would hold back a wait of the main window:
    // they start once the wait has ended.
    connect(cmdExport, &QPushButton::clicked, this,
            [this] { WaitDepth::WhenIdle(this, [this] { handleExport(); }); });
    connect(cmdRefresh, &QPushButton::clicked, this,
            [this] { WaitDepth::WhenIdle(this, [this] { handleRefresh(); }); });
}

void frmFleet::Refresh(int serviceInterval)
{
    m_serviceInterval = serviceInterval;
    m_fleet->setEntries(ArchiveRead::Read<std::vector<FleetEntry>>(
                            m_archive, [](HistoryArchive& archive) { return archive.Fleet(); }),
                        QDate::currentDate(), serviceInterval);
    tvFleet->resizeColumnsToContents();
    ShowCount();
}

void frmFleet::handleRefresh()
{
    Refresh(m_serviceInterval);
}

void frmFleet::handleDue()
{
    m_fleet->setDueOnly(chkDue->isChecked());
    ShowCount();
}

void frmFleet::ShowCount()
{
    const int total = m_fleet->totalCount();
    lblFleet->setText(QStringLiteral("%1, %2 due for service (more than %3 days since the last)")
                          .arg(total == 1 ? QStringLiteral("1 controller")
                                          : QStringLiteral("%1 controllers").arg(total))
                          .arg(m_fleet->dueCount())
                          .arg(m_serviceInterval));
}

void frmFleet::handleExport()
{
    const QString suggested = ReportFiles::SuggestedPath(
        QDate::currentDate().toString(Qt::ISODate) + QStringLiteral("_fleet.csv"));
    const QString path =
        m_boxes.saveFileName(suggested, QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    std::string errText;
    if (!ReplaceFileContent(QFile::encodeName(path).toStdString(), m_fleet->Csv(), errText))
        m_boxes.critical(QStringLiteral("The fleet could not be saved as %1.")
                             .arg(QDir::toNativeSeparators(path)),
                         QString::fromStdString(errText));
}
