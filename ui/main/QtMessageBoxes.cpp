#include "ui/main/QtMessageBoxes.h"

#include "ui/main/BusyPointer.h"

#include <QApplication>

QMessageBox::StandardButton QtMessageBoxes::show(QMessageBox::Icon icon, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    // The busy pointer never stays over a result box.
    BusyPointer::Reset();
    // Some texts break their lines with a lone carriage return.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    QMessageBox box(icon, QString::fromLatin1(kTitle), shown, buttons,
                    QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void QtMessageBoxes::info(const QString& text)
{
    show(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageBoxes::critical(const QString& text)
{
    show(QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageBoxes::plain(const QString& text)
{
    show(QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessageBoxes::questionYesNo(const QString& text)
{
    return show(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtMessageBoxes::questionOkCancel(const QString& text)
{
    return show(QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::Ok) == QMessageBox::Ok;
}
