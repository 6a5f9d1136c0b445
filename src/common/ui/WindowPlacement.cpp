#include "common/ui/WindowPlacement.h"

#include <QLayout>
#include <QWidget>
#include <QWindow>

namespace auravox {

void placeByFrame(QWidget *window)
{
    // Showing lays the window out first, which may resize it and would place
    // it by its client area again: lay it out now.
    window->ensurePolished();
    if (QLayout *layout = window->layout())
        layout->activate();
    const QPoint frame = window->pos();
    window->winId(); // the native window, not mapped yet
    // Frame-inclusive when mapped: the window manager gets the window with
    // north-west gravity and places its frame at every position asked.
    if (QWindow *handle = window->windowHandle())
        handle->setFramePosition(frame);
}

void moveFrame(QWidget *window, const QPoint &frame)
{
    window->move(frame); // Qt's own account, exact once the window is framed
    if (window->testAttribute(Qt::WA_WState_Created))
        if (QWindow *handle = window->windowHandle())
            handle->setFramePosition(frame); // what the window manager gets
}

} // namespace auravox
