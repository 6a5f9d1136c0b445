#include "app/ui/WeatherButton.h"

#include <QMouseEvent>

namespace auravox {

void WeatherButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (rect().contains(event->position().toPoint()))
        emit mouseReleased(event->button());
    QToolButton::mouseReleaseEvent(event);
}

} // namespace auravox
