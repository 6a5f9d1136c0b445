#include "weather/SourceChoice.h"

#include "common/ConfigRegistry.h"
#include "weather/WeatherSource.h"

#include <QTimer>

namespace auravox {

SourceChoice::SourceChoice(QObject *parent) : QObject(parent)
{}

void SourceChoice::setSource(SourceKind kind, WeatherSource *source)
{
    m_sources[static_cast<size_t>(kind)] = source;
}

void SourceChoice::setChosen(SourceKind kind)
{
    if (kind == m_chosen)
        return;
    m_chosen = kind;
    emit chosenChanged(kind);
    choose(kind);
}

SourceKind SourceChoice::activeSource() const
{
    const WeatherSource *s = chosenSource();
    return m_chosen != SourceKind::None && s && s->isReady() ? m_chosen : SourceKind::None;
}

void SourceChoice::choose(SourceKind kind)
{
    for (SourceKind other : kSources) {
        if (other != kind && source(other))
            source(other)->timer()->stop();
    }
    WeatherSource *s = source(kind);
    if (kind == SourceKind::None || !s)
        return;
    if (m_select)
        m_select(kind);
    else
        s->select();
}

void SourceChoice::refreshChosen()
{
    WeatherSource *s = chosenSource();
    if (m_chosen == SourceKind::None || !s)
        return;
    if (m_refresh)
        m_refresh(m_chosen);
    else
        s->refresh();
}

void SourceChoice::declareConfig(ConfigRegistry &registry)
{
    ConfigKey k;
    k.section = ConfigSection::WeatherSource;
    k.position = 10;
    k.key = QStringLiteral("METEO=");
    k.save = [this]() -> QStringList {
        if (m_chosen == SourceKind::None)
            return {};
        return {QStringLiteral("METEO=") + sourceConfigValue(m_chosen)};
    };
    k.load = [this](const QString &, const QString &value) {
        if (value == QLatin1String("MON")) {
            setChosen(SourceKind::MonitorII);
            return;
        }
        if (sourceFromConfigValue(value) != SourceKind::None)
            m_pendingSource = value;
    };
    registry.add(k);
}

void SourceChoice::applyPendingSource()
{
    const SourceKind kind = sourceFromConfigValue(m_pendingSource);
    m_pendingSource.clear();
    if (kind != SourceKind::None && kind != SourceKind::MonitorII)
        setChosen(kind);
}

} // namespace auravox
