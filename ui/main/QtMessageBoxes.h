#pragma once

#include "ui/main/MessageBoxes.h"

#include <QMessageBox>

/// The message boxes shown to the user, parented to the active window.
class QtMessageBoxes : public MessageBoxes
{
public:
    void info(const QString& text) override;
    void critical(const QString& text) override;
    void plain(const QString& text) override;
    bool questionYesNo(const QString& text) override;
    bool questionOkCancel(const QString& text) override;

private:
    static QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton);
};
