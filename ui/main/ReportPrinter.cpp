#include "ui/main/ReportPrinter.h"

#include "config/FileReplace.h"
#include "controller/VisitReport.h"
#include "report/VisitReportPdf.h"
#include "ui/main/MessageBoxes.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

namespace {

/// Draws into the printer; a PDF file is drawn aside first and then put in place whole, so
/// that a print that fails (a full disk) leaves the file that was there.
bool Draw(const VisitReport& report, QPrinter& printer, QString& errText)
{
    const QString target =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    if (target.isEmpty())
        return VisitReportPdf::Draw(report, printer) && printer.printerState() != QPrinter::Error;
    std::string err;
    const std::string path = target.toLocal8Bit().toStdString();
    if (!CanReplaceFile(path, err)) {
        errText = QString::fromLocal8Bit(err);
        return false;
    }
    QTemporaryDir aside;
    if (!aside.isValid()) {
        errText = aside.errorString();
        return false;
    }
    printer.setOutputFileName(aside.filePath(QStringLiteral("print.pdf")));
    const bool drawn =
        VisitReportPdf::Draw(report, printer) && printer.printerState() != QPrinter::Error;
    printer.setOutputFileName(target);
    QFile file(aside.filePath(QStringLiteral("print.pdf")));
    if (!drawn || !file.open(QIODevice::ReadOnly)) {
        errText = drawn ? file.errorString() : QString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (!ReplaceFileContent(path, std::string_view(bytes.constData(), bytes.size()), err)) {
        errText = QString::fromLocal8Bit(err);
        return false;
    }
    return true;
}

} // namespace

bool ReportPrinter::Print(MessageBoxes& boxes, const VisitReport& report,
                          const QString& suggestedPdf)
{
    QPrinter printer;
    printer.setPageSize(QPageSize(VisitReportPdf::PageSizeFor(QLocale())));
    if (!boxes.choosePrinter(printer, suggestedPdf))
        return false;
    printer.setDocName(QStringLiteral("%1 – %2").arg(report.title, report.controller));
    QString errText;
    if (!Draw(report, printer, errText)) {
        QString text = QStringLiteral("The report could not be printed.");
        if (!errText.isEmpty())
            text += u'\n' + errText;
        boxes.critical(text);
        return false;
    }
    return true;
}
