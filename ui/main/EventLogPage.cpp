#include "ui/main/EventLogPage.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

EventLogPage::EventLogPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picLog"));
    cmdGetAllLogEvents = new QPushButton(QStringLiteral("Get all events"));
    cmdGetAllLogEvents->setObjectName(QStringLiteral("cmdGetAllLogEvents"));
    cmdGetAllLogEvents->setToolTip(QStringLiteral("Get all log events"));
    cmdGetAllLogEvents->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdGetAllLogEvents);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addLayout(buttons);
}
