#pragma once

#include <QString>
#include <QStringList>

class QPrinter;

/// Every message box of the program goes through this interface, so that tests can answer
/// them. All boxes carry the program title. `informative`, where given, goes below the main
/// text: what the main text leaves out, such as what a write will change or why it failed.
class MessageBoxes
{
public:
    static constexpr const char* kTitle = "Tarn Configuration Software";

    virtual ~MessageBoxes() = default;

    /// OK button, information icon.
    virtual void info(const QString& text, const QString& informative = {}) = 0;
    /// OK button, critical icon.
    virtual void critical(const QString& text, const QString& informative = {}) = 0;
    /// OK button, no icon.
    virtual void plain(const QString& text, const QString& informative = {}) = 0;
    /// Yes and No with the question icon; true for Yes.
    virtual bool questionYesNo(const QString& text, const QString& informative = {}) = 0;
    /// OK and Cancel with the question icon; true for OK.
    virtual bool questionOkCancel(const QString& text, const QString& informative = {}) = 0;
    /// OK and Cancel with the question icon and Cancel the default button, for what cannot
    /// be undone; true for OK.
    virtual bool questionOkCancelDefaultCancel(const QString& text,
                                               const QString& informative = {}) = 0;
    /// A question whose answers are `choices` (buttons, in their order) and Cancel; the index of
    /// the choice, or -1 for Cancel.
    virtual int choose(const QString& text, const QString& informative,
                       const QStringList& choices) = 0;
    /// The file dialog for saving, opened at `suggested` (a path); empty when cancelled.
    virtual QString saveFileName(const QString& suggested, const QString& filter) = 0;
    /// The file dialog for opening an existing file, opened at `suggested` (a folder or a
    /// path); empty when cancelled.
    virtual QString openFileName(const QString& suggested, const QString& filter) = 0;
    /// The print dialog for `printer` (a printer or a PDF file), a PDF file suggested at the
    /// path `suggestedPdf`; false when cancelled.
    virtual bool choosePrinter(QPrinter& printer, const QString& suggestedPdf) = 0;
    /// A line of text asked for under `text`, `initial` offered; `ok` false when cancelled.
    virtual QString inputText(const QString& text, const QString& initial, bool& ok) = 0;
};
