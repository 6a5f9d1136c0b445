#pragma once

#include "weather/Weather.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>

namespace auravox {

class ConfigRegistry;
class WeatherSource;

// Which one weather source the announcement speaks ("METEO="), and the
// sources to choose from. Choosing a source stops the others' timers and
// takes a reading of it; the announcement uses it once it is ready.
class SourceChoice : public QObject
{
    Q_OBJECT
public:
    // The six sources, in the order the announcement looks for a ready one.
    static constexpr SourceKind kSources[] = {SourceKind::MonitorII, SourceKind::Ws23, SourceKind::Ws28,
                                              SourceKind::Aprs,      SourceKind::Pro2, SourceKind::Metar};

    explicit SourceChoice(QObject *parent = nullptr);

    // The sources as they are built; a kind without one is chosen but reads nothing.
    void setSource(SourceKind kind, WeatherSource *source);
    WeatherSource *source(SourceKind kind) const { return m_sources[static_cast<size_t>(kind)]; }
    WeatherSource *chosenSource() const { return source(m_chosen); }

    // The chosen kind (None: no weather data).
    SourceKind chosen() const { return m_chosen; }
    // Chooses a kind; a change runs the choice's action (a click on the
    // window's radio button does the same). Choosing the chosen one does nothing.
    void setChosen(SourceKind kind);
    // The ready source the announcement uses (None when the chosen one is not ready).
    SourceKind activeSource() const;

    // The action of choosing `kind`: only its timer runs, and it takes a reading.
    void choose(SourceKind kind);
    // Reads the chosen source again, as its Refresh does (a change of units).
    void refreshChosen();

    // What choosing and refreshing a source do besides stopping the others'
    // timers; by default the source's own select() and refresh(). The desktop
    // program lets the source's window do it, so the window shows as well.
    void setSelectAction(std::function<void(SourceKind)> action) { m_select = std::move(action); }
    void setRefreshAction(std::function<void(SourceKind)> action) { m_refresh = std::move(action); }

    // "METEO=": "MON" applies at once; the others wait for the end of the load.
    void declareConfig(ConfigRegistry &registry);
    // Applies a source remembered from the file, after the whole file was read.
    void applyPendingSource();

signals:
    void chosenChanged(SourceKind kind);

private:
    std::array<WeatherSource *, 7> m_sources{};
    SourceKind m_chosen = SourceKind::None;
    QString m_pendingSource;
    std::function<void(SourceKind)> m_select;
    std::function<void(SourceKind)> m_refresh;
};

} // namespace auravox
