#include "weather/UnitsModel.h"

#include "common/ConfigRegistry.h"

namespace auravox {

UnitsModel::UnitsModel(UnitSettings &units, QObject *parent) : QObject(parent), m_units(units) {}

void UnitsModel::setMetric(Unit u, bool metric)
{
    if (this->metric(u) == metric)
        return;
    m_metric[static_cast<size_t>(u)] = metric;
    switch (u) {
    case Unit::Temperature: m_units.setCelsius(metric); break;
    case Unit::Pressure: m_units.setMillibars(metric); break;
    case Unit::Wind: m_units.setKmh(metric); break;
    case Unit::Rain: m_units.setMillimetres(metric); break;
    }
    emit changed();
}

void UnitsModel::declareConfig(ConfigRegistry &registry)
{
    int position = 10;
    for (auto [name, unit] : {std::pair{"UNITTC=", Unit::Temperature}, std::pair{"UNITPM=", Unit::Pressure},
                              std::pair{"UNITVK=", Unit::Wind}, std::pair{"UNITRM=", Unit::Rain}}) {
        ConfigKey k;
        k.section = ConfigSection::Units;
        k.position = position;
        position += 10;
        k.key = QLatin1String(name);
        const Unit u = unit;
        k.save = [this, key = k.key, u] { return QStringList{key + (metric(u) ? QLatin1Char('Y') : QLatin1Char('N'))}; };
        k.load = [this, u](const QString &, const QString &value) { setMetric(u, value == QLatin1String("Y")); };
        registry.add(k);
    }
}

} // namespace auravox
