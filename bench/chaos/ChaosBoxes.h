#pragma once

#include "ui/main/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QString>
#include <QStringList>

#include <functional>

/// Message boxes of a chaos round: every box is kept as text; questions are answered Yes or OK
/// (the round ends the program when asked, sends what it typed, drops edits not sent), a choice
/// and the open dialog cancelled; a file is saved in `folder` under the name suggested, a print
/// goes to a PDF file there. `beforeAnswer` runs before a question is answered:
/// what the field does while the technician reads it.
class ChaosBoxes : public MessageBoxes
{
public:
    std::function<void(const QString& text)> beforeAnswer;
    QStringList shown;
    QString folder;

    void info(const QString& text, const QString& informative = {}) override
    {
        note(text, informative);
    }
    void critical(const QString& text, const QString& informative = {}) override
    {
        note(text, informative);
    }
    void plain(const QString& text, const QString& informative = {}) override
    {
        note(text, informative);
    }
    bool questionYesNo(const QString& text, const QString& informative = {}) override
    {
        return answer(text, informative);
    }
    bool questionOkCancel(const QString& text, const QString& informative = {}) override
    {
        return answer(text, informative);
    }
    bool questionOkCancelDefaultCancel(const QString& text,
                                       const QString& informative = {}) override
    {
        return answer(text, informative);
    }
    int choose(const QString& text, const QString& informative, const QStringList&) override
    {
        note(text, informative);
        return -1;
    }

private:
    QString saveFileName(const QString& suggested, const QString&) override
    {
        return QDir(folder).filePath(QFileInfo(suggested).fileName());
    }
    QString openFileName(const QString&, const QString&) override { return {}; }
    bool choosePrinter(QPrinter& printer, const QString& suggestedPdf) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir(folder).filePath(QFileInfo(suggestedPdf).fileName()));
        return true;
    }
    QString inputText(const QString& text, const QString&, bool& ok) override
    {
        note(text, {});
        ok = false;
        return {};
    }

    void note(const QString& text, const QString& informative)
    {
        shown << (informative.isEmpty() ? text : text + QStringLiteral(" / ") + informative);
    }
    bool answer(const QString& text, const QString& informative)
    {
        note(text, informative);
        if (beforeAnswer)
            beforeAnswer(text);
        return true;
    }
};
