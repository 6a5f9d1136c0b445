#pragma once

#include <QToolButton>

namespace auravox {

// A picture button that also tells which mouse button was released over it
// (its release action runs before its click action, and the right button
// opens the source choice).
class WeatherButton : public QToolButton
{
    Q_OBJECT
public:
    using QToolButton::QToolButton;

signals:
    void mouseReleased(Qt::MouseButton button);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace auravox
