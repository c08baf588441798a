#pragma once

#include <QWidget>

class QPushButton;

/// The event-log page (picLog).
class EventLogPage : public QWidget
{
    Q_OBJECT
public:
    explicit EventLogPage(QWidget* parent = nullptr);

    QPushButton* cmdGetAllLogEvents = nullptr;
};
