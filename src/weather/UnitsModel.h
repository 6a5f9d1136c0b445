#pragma once

#include "weather/UnitSettings.h"

#include <QObject>

#include <array>

namespace auravox {

class ConfigRegistry;

// The user's units as the units window chooses them (UNITTC=, UNITPM=,
// UNITVK=, UNITRM=): each pair metric or not, kept in the UnitSettings that
// the sources and the speech read.
class UnitsModel final : public QObject
{
    Q_OBJECT
public:
    enum class Unit { Temperature, Pressure, Wind, Rain };

    explicit UnitsModel(UnitSettings &units, QObject *parent = nullptr);

    bool metric(Unit u) const { return m_metric[static_cast<size_t>(u)]; }
    void setMetric(Unit u, bool metric);
    const UnitSettings &units() const { return m_units; }

    void declareConfig(ConfigRegistry &registry);

signals:
    // After the units changed: the sources show their values again.
    void changed();

private:
    UnitSettings &m_units;
    std::array<bool, 4> m_metric{true, true, true, true};
};

} // namespace auravox
