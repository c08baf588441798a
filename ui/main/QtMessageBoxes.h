#pragma once

#include "ui/main/MessageBoxes.h"

#include <QMessageBox>

/// The message boxes shown to the user, parented to the active window.
class QtMessageBoxes : public MessageBoxes
{
public:
    void info(const QString& text, const QString& informative = {}) override;
    void critical(const QString& text, const QString& informative = {}) override;
    void plain(const QString& text, const QString& informative = {}) override;
    bool questionYesNo(const QString& text, const QString& informative = {}) override;
    bool questionOkCancel(const QString& text, const QString& informative = {}) override;
    bool questionOkCancelDefaultCancel(const QString& text,
                                       const QString& informative = {}) override;
    int choose(const QString& text, const QString& informative,
               const QStringList& choices) override;
    QString saveFileName(const QString& suggested, const QString& filter) override;
    QString openFileName(const QString& suggested, const QString& filter) override;
    bool choosePrinter(QPrinter& printer, const QString& suggestedPdf) override;
    QString inputText(const QString& text, const QString& initial, bool& ok) override;

private:
    static QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& text,
                                            const QString& informative,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton);
};
