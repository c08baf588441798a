#include "ui/main/ReportPrinter.h"

#include "controller/VisitReport.h"
#include "report/VisitReportPdf.h"
#include "ui/main/MessageBoxes.h"

#include <QPrinter>

bool ReportPrinter::Print(MessageBoxes& boxes, const VisitReport& report,
                          const QString& suggestedPdf)
{
    QPrinter printer;
    printer.setPageSize(QPageSize(VisitReportPdf::PageSizeFor(QLocale())));
    if (!boxes.choosePrinter(printer, suggestedPdf))
        return false;
    printer.setDocName(QStringLiteral("%1 – %2").arg(report.title, report.controller));
    if (!VisitReportPdf::Draw(report, printer) || printer.printerState() == QPrinter::Error) {
        boxes.critical(QStringLiteral("The report could not be printed."));
        return false;
    }
    return true;
}
