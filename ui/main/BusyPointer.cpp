#include "ui/main/BusyPointer.h"

#include <QApplication>
#include <QCursor>

void BusyPointer::Set()
{
    if (!QApplication::overrideCursor())
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void BusyPointer::Reset()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}
