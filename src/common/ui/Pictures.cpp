#include "common/ui/Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace auravox::Pictures {

QPixmap led(bool on)
{
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(7, 7), 9);
    g.setColorAt(0, on ? QColor(255, 170, 160) : QColor(120, 60, 60));
    g.setColorAt(1, on ? QColor(230, 0, 0) : QColor(60, 20, 20));
    p.setBrush(g);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.drawEllipse(QRectF(1.5, 1.5, 15, 15));
    return pm;
}

QPixmap station(bool busyChannel)
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = busyChannel ? QColor(128, 128, 128) : QColor(20, 90, 170);
    QPainterPath speaker;
    speaker.moveTo(8, 24);
    speaker.lineTo(18, 24);
    speaker.lineTo(30, 12);
    speaker.lineTo(30, 52);
    speaker.lineTo(18, 40);
    speaker.lineTo(8, 40);
    speaker.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawPath(speaker);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(body, 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const int r = 8 + i * 8;
        p.drawArc(QRectF(30 - r, 32 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
    if (busyChannel) {
        p.setPen(QPen(QColor(200, 0, 0), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(10, 10, 54, 54);
    }
    return pm;
}

QPixmap weather()
{
    QPixmap pm(40, 40);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 190, 30));
    p.drawEllipse(QRectF(4, 4, 18, 18));
    p.setBrush(QColor(235, 240, 250));
    p.setPen(QPen(QColor(120, 130, 150), 1.5));
    QPainterPath cloud;
    cloud.addEllipse(QRectF(10, 16, 16, 14));
    cloud.addEllipse(QRectF(18, 12, 16, 16));
    cloud.addRoundedRect(QRectF(8, 22, 28, 12), 6, 6);
    p.drawPath(cloud.simplified());
    return pm;
}

QPixmap appIcon()
{
    return station(false);
}

} // namespace auravox::Pictures
