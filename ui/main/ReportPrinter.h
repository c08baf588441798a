#pragma once

#include <QString>

class MessageBoxes;
class VisitReport;

/// Prints a report through the print dialog (a printer, or a PDF file), laid out as the
/// service report is: headings and aligned tables, the controller and the page number on
/// every page. Printing needs no text editor.
class ReportPrinter
{
public:
    /// False when the dialog was cancelled or the printing failed (the user has been told).
    /// `suggestedPdf`: the path offered for printing to a PDF file.
    static bool Print(MessageBoxes& boxes, const VisitReport& report, const QString& suggestedPdf);
};
