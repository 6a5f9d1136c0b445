#include "app/ui/AppWindows.h"

#include "common/Clock.h"
#include "common/DateTime.h"

#include <QDateTime>

namespace auravox {

AppWindows::AppWindows(const AppDeps &deps) : m_serial(*deps.serialLines)
{
    m_form1 = std::make_unique<TForm1>(deps.main);
    // The main window's creation lists the serial ports.
    m_form1->setPortList(m_serial.discoverPorts());
    m_formMyUnits = std::make_unique<TFormMyUnits>(m_units);
    m_formCOM = std::make_unique<TFormCOM>(m_serial, *deps.main.prompts, *m_form1);

    m_form1->setComWindow(m_formCOM.get());
    m_form1->setWindowAction(TForm1::Window::Units, [this] {
        m_formMyUnits->show();
        m_formMyUnits->raise();
    });

    SourceWeatherSpeech::Source weather;
    weather.context = [this] { return weatherContext(); };
    weather.staleness = [this] { return m_form1->staleness(); };
    Clock *clock = deps.main.clock;
    weather.nowDays = [clock] { return DateTimeUtil::toDays(clock->now()); };
    m_weatherSpeech = std::make_unique<SourceWeatherSpeech>(weather);
    m_form1->setWeather(m_weatherSpeech.get());

    m_form1->setConfigRegistry(&m_config);
    m_form1->declareConfig(m_config);
    m_formMyUnits->declareConfig(m_config);
    m_formCOM->declareConfig(m_config);
}

WeatherContext AppWindows::weatherContext() const
{
    WeatherContext c = m_weatherSource ? m_weatherSource() : WeatherContext{};
    c.units = m_units;
    c.limits = m_limits;
    c.sixteenPoints = m_form1->sixteenPoints();
    return c;
}

AppWindows::~AppWindows()
{
    m_form1->setComWindow(nullptr);
    m_form1->setWeather(nullptr);
    m_formCOM.reset();
    m_formMyUnits.reset();
    m_form1.reset();
}

} // namespace auravox
