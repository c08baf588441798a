#pragma once

#include <QScrollArea>

/// The scroll area around the main window's pages: it asks for the pages' whole size (a plain
/// scroll area asks for much less), so the window opens showing them whole where the screen
/// has room, and scrolls them where it has not.
class PageScroller : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};
