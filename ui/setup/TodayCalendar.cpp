#include "ui/setup/TodayCalendar.h"

#include <QBoxLayout>
#include <QPushButton>
#include <QShowEvent>

TodayCalendar::TodayCalendar(QWidget* parent) : QCalendarWidget(parent)
{
    setObjectName(QStringLiteral("calToday"));
    cmdToday = new QPushButton(QStringLiteral("Today"), this);
    cmdToday->setObjectName(QStringLiteral("cmdToday"));
    cmdToday->setAutoDefault(false);
    // Under the month: the calendar's own layout holds the navigation bar and the days.
    if (auto* column = qobject_cast<QBoxLayout*>(layout()))
        column->addWidget(cmdToday, 0, Qt::AlignHCenter);
    connect(cmdToday, &QPushButton::clicked, this, &TodayCalendar::handleToday);
}

void TodayCalendar::showEvent(QShowEvent* event)
{
    QCalendarWidget::showEvent(event);
    const QDate today = QDate::currentDate();
    setCurrentPage(today.year(), today.month());
}

void TodayCalendar::handleToday()
{
    const QDate today = QDate::currentDate();
    setSelectedDate(today);
    // As a click on the day: the picker takes it and the pop-up closes.
    emit activated(today);
}
