#include "ui/main/QtMessageBoxes.h"

#include "controller/DisplayFormat.h"
#include "ui/main/BusyPointer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

namespace {

/// Some texts break their lines with a lone carriage return. A change "30 s → 45 s" is
/// never wrapped inside.
QString LineBreaks(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return DisplayFormat::UnbrokenChanges(shown);
}

} // namespace

QMessageBox::StandardButton QtMessageBoxes::show(QMessageBox::Icon icon, const QString& text,
                                                 const QString& informative,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    // The busy pointer never stays over a result box.
    BusyPointer::Reset();
    QMessageBox box(icon, QString::fromLatin1(kTitle), LineBreaks(text), buttons,
                    QApplication::activeWindow());
    if (!informative.isEmpty())
        box.setInformativeText(LineBreaks(informative));
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void QtMessageBoxes::info(const QString& text, const QString& informative)
{
    show(QMessageBox::Information, text, informative, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageBoxes::critical(const QString& text, const QString& informative)
{
    show(QMessageBox::Critical, text, informative, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageBoxes::plain(const QString& text, const QString& informative)
{
    show(QMessageBox::NoIcon, text, informative, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessageBoxes::questionYesNo(const QString& text, const QString& informative)
{
    return show(QMessageBox::Question, text, informative, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtMessageBoxes::questionOkCancel(const QString& text, const QString& informative)
{
    return show(QMessageBox::Question, text, informative, QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::Ok) == QMessageBox::Ok;
}

bool QtMessageBoxes::questionOkCancelDefaultCancel(const QString& text, const QString& informative)
{
    return show(QMessageBox::Question, text, informative, QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::Cancel) == QMessageBox::Ok;
}

int QtMessageBoxes::choose(const QString& text, const QString& informative,
                           const QStringList& choices)
{
    BusyPointer::Reset();
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kTitle), LineBreaks(text),
                    QMessageBox::Cancel, QApplication::activeWindow());
    if (!informative.isEmpty())
        box.setInformativeText(LineBreaks(informative));
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

QString QtMessageBoxes::saveFileName(const QString& suggested, const QString& filter)
{
    BusyPointer::Reset();
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString::fromLatin1(kTitle),
                                        suggested, filter);
}

QString QtMessageBoxes::openFileName(const QString& suggested, const QString& filter)
{
    BusyPointer::Reset();
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString::fromLatin1(kTitle),
                                        suggested, filter);
}

bool QtMessageBoxes::choosePrinter(QPrinter& printer, const QString& suggestedPdf)
{
    BusyPointer::Reset();
    // The dialog offers "Print to file" under the document's name; with no printer at all that
    // is the only choice, and it goes to the suggested folder too.
    printer.setDocName(QFileInfo(suggestedPdf).completeBaseName());
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        printer.setOutputFileName(suggestedPdf);
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

QString QtMessageBoxes::inputText(const QString& text, const QString& initial, bool& ok)
{
    BusyPointer::Reset();
    return QInputDialog::getText(QApplication::activeWindow(), QString::fromLatin1(kTitle), text,
                                 QLineEdit::Normal, initial, &ok);
}
