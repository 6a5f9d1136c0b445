#include "common/PlacementSettings.h"

#include "common/ConfigKeys.h"

namespace auravox {

PlacementSettings::PlacementSettings(QObject *parent) : QObject(parent) {}

void PlacementSettings::placeMain(const QPoint &position)
{
    m_main = position;
    emit mainPlaced(position);
}

void PlacementSettings::declareConfig(ConfigRegistry &r)
{
    using CS = QStringList;
    const int P = ConfigSection::Placement;
    r.add(ConfigKeys::number(
        P, 10, "TOP=", [this] { return CS{QStringLiteral("TOP=%1").arg(m_main.y())}; },
        [this](int n) { placeMain(QPoint(m_main.x(), n)); }));
    r.add(ConfigKeys::number(
        P, 20, "LEFT=", [this] { return CS{QStringLiteral("LEFT=%1").arg(m_main.x())}; },
        [this](int n) { placeMain(QPoint(n, m_main.y())); }));
    auto rectKey = [&](int position, const char *name, auto get, auto set) {
        const QString prefix = QLatin1String(name);
        r.add(ConfigKeys::number(
            P, position, name, [this, prefix, get] { return CS{prefix + QString::number(get(m_source))}; },
            [this, set](int n) { set(m_source, n); }));
    };
    rectKey(30, "METEO_TOP=", [](const QRect &q) { return q.top(); }, [](QRect &q, int n) { q.moveTop(n); });
    rectKey(40, "METEO_LEFT=", [](const QRect &q) { return q.left(); }, [](QRect &q, int n) { q.moveLeft(n); });
    rectKey(50, "METEO_WIDTH=", [](const QRect &q) { return q.width(); }, [](QRect &q, int n) { q.setWidth(n); });
    rectKey(60, "METEO_HEIGHT=", [](const QRect &q) { return q.height(); },
            [](QRect &q, int n) { q.setHeight(n); });
    r.add(ConfigKeys::make(
        P, 70, "FORMMETEO=", [this] { return m_sourceShown ? CS() : CS{QStringLiteral("FORMMETEO=N")}; },
        [this](const QString &v) {
            if (v == QLatin1String("N"))
                m_sourceShown = false;
        }));
}

} // namespace auravox
