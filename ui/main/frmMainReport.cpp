#include "ui/main/frmMain.h"

#include "controller/ControllerIdentity.h"
#include "controller/HistoryRecorder.h"
#include "controller/ReportFiles.h"
#include "controller/VisitFacts.h"
#include "controller/VisitReport.h"
#include "history/HistoryArchive.h"
#include "link/Tarn_Comm.h"
#include "report/VisitReportPdf.h"
#include "ui/main/BusyPointer.h"
#include "ui/main/MessageBoxes.h"
#include "ui/tests/TestPage.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>

// File > Service report...: the visit's report as a PDF, from the history and the last
// status read of the controller on the cable.

namespace {

/// The user's settings that keep who signs the reports.
constexpr const char* kTechnicianKey = "report/technician";
constexpr const char* kCompanyKey = "report/company";
/// The answer of the events' question that asks who signs again.
constexpr int kAnotherTechnician = 2;

/// The value kept under `key`, asked for the first time; false when the box was cancelled.
bool KeptOrAsked(MessageBoxes& boxes, QSettings& settings, const char* key, const QString& text,
                 QString& value)
{
    const QString name = QLatin1String(key);
    if (settings.contains(name)) {
        value = settings.value(name).toString();
        return true;
    }
    bool ok = false;
    value = boxes.inputText(text, QString(), ok).trimmed();
    if (!ok)
        return false;
    settings.setValue(name, value);
    return true;
}

/// The archive's record of the controller with `key`, if it has one.
std::optional<ArchivedController> Archived(HistoryArchive& archive, const ControllerKey& key)
{
    if (!key.serialNumber.isEmpty())
        return archive.FindController(key.serialNumber);
    for (const ArchivedController& controller : archive.Controllers())
        if (controller.key == key)
            return controller;
    return std::nullopt;
}

} // namespace

void frmMain::handleServiceReport()
{
    if (!tarn || !ControllerIdentity::Of(tarn->Inputs).Known() || tarn->Inputs.ReadNumber == 0) {
        m_boxes.critical(QStringLiteral("No controller has been read yet."),
                         QStringLiteral("The report tells what the controller gave: connect it "
                                        "and read its status first."));
        return;
    }
    // Nothing stays on while the report asks and reads the history.
    picTest->StopTests();
    StopAutoUpdate();
    const auto resume = qScopeGuard([this] { ResumeAfterModal(false); });
    QSettings settings;
    VisitFacts facts;
    int events = kAnotherTechnician;
    while (events == kAnotherTechnician) {
        if (!KeptOrAsked(m_boxes, settings, kTechnicianKey,
                         QStringLiteral("The technician's name, for the service reports:"),
                         facts.technician) ||
            !KeptOrAsked(m_boxes, settings, kCompanyKey,
                         QStringLiteral("The technician's company, for the service reports:"),
                         facts.company))
            return;
        const QString signer = QStringList{facts.technician, facts.company}
                                   .filter(QRegularExpression(QStringLiteral("\\S")))
                                   .join(QStringLiteral(", "));
        events = m_boxes.choose(
            QStringLiteral("Which events go into the service report?"),
            signer.isEmpty() ? QStringLiteral("The report names no technician.")
                             : QStringLiteral("The report is signed by %1.").arg(signer),
            {QStringLiteral("The events of this visit"), QStringLiteral("All events"),
             QStringLiteral("Another technician...")});
        // Asked again, and kept for the next reports.
        if (events == kAnotherTechnician) {
            settings.remove(QLatin1String(kTechnicianKey));
            settings.remove(QLatin1String(kCompanyKey));
        }
    }
    if (events < 0)
        return;
    const QString path = m_boxes.saveFileName(
        ReportFiles::SuggestedPath(ReportFiles::SuggestedName(
            tarn->Inputs, QDate::currentDate(), QStringLiteral("report"), QStringLiteral("pdf"))),
        QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;

    BusyPointer::Set();
    facts.key = HistoryRecorder::KeyOf(*tarn);
    facts.allEvents = events == 1;
    QString errText;
    // Without the history the report still tells the status as read.
    if (m_history && m_history->isOpen())
        if (const std::optional<ArchivedController> archived = Archived(*m_history, facts.key))
            VisitFacts::FromArchive(*m_history, *archived, facts.allEvents, facts, errText);
    // What the last read gave, with the parts it did not give marked, over the history's last.
    VisitFacts::TakeStatus(tarn->Inputs, tarn->DetectorVoltageSwitch, facts);
    facts.visitAt = QDateTime::currentDateTime();
    const bool written = VisitReportPdf::Write(VisitReport::Build(facts), path, QLocale(), errText);
    BusyPointer::Reset();
    if (!written) {
        m_boxes.critical(QStringLiteral("The service report could not be saved."), errText);
        return;
    }
    ShowStatus(QStringLiteral("Service report saved: ") + path);
}
