#include "ui/main/StatusReports.h"

#include "config/FileReplace.h"
#include "config/ProgramFolder.h"
#include "controller/HistoryRecorder.h"
#include "controller/ReportFiles.h"
#include "controller/StatusText.h"
#include "controller/VisitFacts.h"
#include "controller/VisitReport.h"
#include "data/TarnDateTime.h"
#include "link/Tarn_Comm.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/PageHost.h"
#include "ui/main/ReportPrinter.h"
#include "ui/main/StatusPage.h"
#include "ui/main/TextEditorLauncher.h"

#include <QDir>
#include <QFile>

StatusReports::StatusReports(PageHost& host, const StatusPage& page) : m_host(host), m_page(page) {}

bool StatusReports::ReportText(std::string& text, QDateTime& readAt)
{
    Tarn_Comm* const tarn = m_host.link();
    MessageBoxes& boxes = m_host.messageBoxes();
    // Old values say when they were read, and are saved only when the user wants them.
    readAt = m_page.readAt().isValid() ? m_page.readAt() : QDateTime::currentDateTime();
    TarnDateTime when = TarnDateTime::Now();
    if (m_page.isStale()) {
        // One request that failed makes the page old, not the controller silent: say which
        // values are old and since when.
        const QString at = readAt.time().toString(QStringLiteral("HH:mm:ss"));
        const QString notReadNow = tarn ? StatusText::NotReadNow(tarn->Inputs) : QString();
        const QString question =
            notReadNow.isEmpty()
                ? QStringLiteral("The values shown were read at %1: the last status read did "
                                 "not complete.")
                      .arg(at)
                : QStringLiteral("Not read in the last status read: %1. The values shown were "
                                 "read at %2.")
                      .arg(notReadNow, at);
        if (!boxes.questionOkCancel(question))
            return false;
        when = TarnDateTime::FromParts(readAt.date().year(), readAt.date().month(),
                                       readAt.date().day(), readAt.time().hour(),
                                       readAt.time().minute(), readAt.time().second());
    } else if (const QString notReadNow = tarn ? StatusText::NotReadNow(tarn->Inputs) : QString();
               !notReadNow.isEmpty() &&
               !boxes.questionOkCancel(
                   QStringLiteral("Not read in the last status read: %1.").arg(notReadNow),
                   QStringLiteral("The report gives ### for a value never read, and the value "
                                  "read before for the others."))) {
        return false;
    }
    text = m_page.Report().Text(DisplayFormat::Latin1Text(
        DisplayFormat::GeneralDateTime(when), DisplayFormat::GeneralDateTime(when, QLocale::c())));
    return true;
}

void StatusReports::Save()
{
    MessageBoxes& boxes = m_host.messageBoxes();
    const QString path =
        QDir::toNativeSeparators(QString::fromStdString(ProgramFile(kStatusReportFileName)));
    std::string bytes;
    QDateTime readAt;
    if (!ReportText(bytes, readAt))
        return;

    std::string errText;
    if (!ReplaceFileContent(ProgramFile(kStatusReportFileName), bytes, errText)) {
        boxes.critical(QStringLiteral("The status report could not be saved as %1.\n%2")
                           .arg(path, QString::fromStdString(errText)));
        return;
    }
    QString editorError;
    if (!TextEditorLauncher::Open(path, editorError))
        boxes.critical(editorError +
                       QStringLiteral("\nThe status report is saved as %1.").arg(path));
}

void StatusReports::SaveAs()
{
    Tarn_Comm* const tarn = m_host.link();
    MessageBoxes& boxes = m_host.messageBoxes();
    std::string report;
    QDateTime readAt;
    if (!tarn || !ReportText(report, readAt))
        return;
    const QString suggested = ReportFiles::SuggestedPath(ReportFiles::SuggestedName(
        tarn->Inputs, readAt.date(), QStringLiteral("status"), QStringLiteral("txt")));
    const QString path =
        boxes.saveFileName(suggested, QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    const QByteArray text =
        ReportFiles::Headed(report, ReportFiles::Identity(tarn->Inputs), readAt);
    std::string errText;
    if (!ReplaceFileContent(QFile::encodeName(path).toStdString(), text.toStdString(), errText))
        boxes.critical(QStringLiteral("The status report could not be saved as %1.")
                           .arg(QDir::toNativeSeparators(path)),
                       QString::fromStdString(errText));
}

void StatusReports::Print()
{
    Tarn_Comm* const tarn = m_host.link();
    MessageBoxes& boxes = m_host.messageBoxes();
    std::string report;
    QDateTime readAt;
    if (!tarn || !ReportText(report, readAt))
        return;
    // The page's values in the service report's tables, "not read" where the last read did
    // not give them.
    VisitFacts facts;
    facts.key = HistoryRecorder::KeyOf(*tarn);
    VisitFacts::TakeStatus(tarn->Inputs, tarn->DetectorVoltageSwitch, facts);
    facts.statusReadAt = readAt.toUTC();
    ReportPrinter::Print(
        boxes, VisitReport::Status(facts),
        ReportFiles::SuggestedPath(ReportFiles::SuggestedName(
            tarn->Inputs, readAt.date(), QStringLiteral("status"), QStringLiteral("pdf"))));
}
