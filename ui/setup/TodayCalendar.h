#pragma once

#include <QCalendarWidget>

class QPushButton;

/// The calendar of a date picker that opens on the month of today, whatever date the picker
/// holds, and has a "Today" button that picks today's date.
class TodayCalendar : public QCalendarWidget
{
    Q_OBJECT
public:
    explicit TodayCalendar(QWidget* parent = nullptr);

    QPushButton* cmdToday = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void handleToday();
};
