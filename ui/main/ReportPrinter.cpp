#include "ui/main/ReportPrinter.h"

#include "ui/main/MessageBoxes.h"

#include <QFontDatabase>
#include <QPrinter>
#include <QTextDocument>

bool ReportPrinter::Print(MessageBoxes& boxes, const QString& title, const QString& text,
                          const QString& suggestedPdf)
{
    QPrinter printer;
    if (!boxes.choosePrinter(printer, suggestedPdf))
        return false;
    QTextDocument document;
    document.setDefaultFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    document.setPlainText(text);
    document.setMetaInformation(QTextDocument::DocumentTitle, title);
    document.print(&printer);
    if (printer.printerState() == QPrinter::Error) {
        boxes.critical(QStringLiteral("The report could not be printed."));
        return false;
    }
    return true;
}
