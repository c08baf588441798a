#pragma once

#include <QString>

class MessageBoxes;

/// Prints a report through the print dialog (a printer, or a PDF file), so that printing needs
/// no text editor.
class ReportPrinter
{
public:
    /// False when the dialog was cancelled or the printing failed (the user has been told).
    /// `suggestedPdf`: the path offered for printing to a PDF file.
    static bool Print(MessageBoxes& boxes, const QString& title, const QString& text,
                      const QString& suggestedPdf);
};
