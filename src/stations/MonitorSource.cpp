#include "stations/MonitorSource.h"

#include "common/ConfigKeys.h"
#include "common/ConfigRegistry.h"
#include "common/Log.h"
#include "stations/MonitorStation.h"

#include <QCoreApplication>
#include <QTimer>

namespace auravox {

MonitorSource::MonitorSource(MonitorStation *station, const SourceContext &context, QObject *parent)
    : WeatherSource(SourceKind::MonitorII, QStringLiteral("Davis Monitor II weather station"), QString(), context,
                    parent),
      m_station(station)
{}

MonitorSource::~MonitorSource()
{
    closePort();
}

void MonitorSource::closePort()
{
    if (m_ready && m_station)
        m_station->CloseCommPort();
    m_ready = false;
}

void MonitorSource::setPort(int port)
{
    if (port == m_port)
        return;
    m_port = port;
    emit portChanged(port);
    emit settingsChanged();
}

void MonitorSource::setHourlyLog(bool on)
{
    if (on == m_hourlyLog)
        return;
    m_hourlyLog = on;
    emit settingsChanged();
}

void MonitorSource::showStatusLine(const QString &text)
{
    // The status line stands for the error line of the other sources: its two
    // errors are logged when they appear, and their end when a reading
    // completes again.
    const bool error = text == QLatin1String("Weather Monitor error") || text == QLatin1String("COM port error");
    if (error && text != m_loggedError) {
        qCWarning(lcSource).noquote() << name() << "error:" << text << QStringLiteral("(COM%1)").arg(m_port);
        m_loggedError = text;
    } else if (!error && !m_loggedError.isEmpty()
               && text.startsWith(QLatin1String("Reading Weather Monitor completed"))) {
        qCInfo(lcSource).noquote() << name() << "error cleared (was" << m_loggedError + QLatin1Char(')');
        m_loggedError.clear();
    }
    m_statusLine = text;
    emit statusLineShown(text);
}

void MonitorSource::countdown(int n)
{
    showStatusLine(QStringLiteral("Reading Weather Monitor (%1)").arg(n));
    QCoreApplication::processEvents();
}

void MonitorSource::showCaption(SourceCaption SourceDisplay::*which, const MonitorCaption &caption)
{
    SourceDisplay d;
    (d.*which).text = caption.text;
    (d.*which).red = !caption.plausible;
    publishDisplay(d);
}

void MonitorSource::showText(SourceCaption SourceDisplay::*which, const QString &text)
{
    SourceDisplay d;
    (d.*which).text = text;
    (d.*which).coloured = false;
    publishDisplay(d);
}

void MonitorSource::takeReading()
{
    timer()->stop();
    // Events run between the station's calls; a second reading must not start
    // inside this one.
    if (m_port == 0 || m_reading || !m_station)
        return;
    if (m_hooks.announcing && m_hooks.announcing()) {
        m_deferred = true; // taken right after the announcement
        return;
    }
    m_reading = true;
    MonitorStation &st = *m_station;
    const UnitSettings u = context().units ? *context().units : UnitSettings{};
    WeatherSnapshot &s = snapshot();

    m_version = QStringLiteral("Driver version: ") + QString::number(st.GetDllVersion(), 'f', 3);
    emit versionShown(m_version);
    showStatusLine(QStringLiteral("Reading Weather Monitor ... (6)"));
    QCoreApplication::processEvents();

    const std::optional<MonitorCaption> indoor = m_values.indoorTemp(u, st.GetInsideTemp(), s);
    if (!indoor) {
        // No station on the line: not ready, but the timer goes on looking for it.
        m_ready = false;
        showStatusLine(QStringLiteral("Weather Monitor error"));
        timer()->start();
        m_reading = false;
        return;
    }
    m_ready = true;
    showCaption(&SourceDisplay::indoorTemp, *indoor);

    countdown(5);
    showCaption(&SourceDisplay::outdoorTemp, m_values.outdoorTemp(u, st.GetOutsideTemp(), s));

    countdown(4);
    showCaption(&SourceDisplay::pressure, m_values.pressure(u, st.GetBarometer(), s));

    countdown(3);
    if (const std::optional<QString> trend = m_values.pressureTrend(st.GetBarometerTrend(), s))
        showText(&SourceDisplay::trend, *trend);

    countdown(2);
    const MonitorWind wind = m_values.wind(u, st.GetWindSpeed(), s);
    showCaption(&SourceDisplay::wind, wind.wind);
    showText(&SourceDisplay::gust, wind.gust);

    countdown(1);
    showText(&SourceDisplay::direction, m_values.direction(st.GetWindDirection(), s));

    QString done = QStringLiteral("Reading Weather Monitor completed ");
    const QString time = m_hooks.timeField ? m_hooks.timeField() : QString();
    if (!time.isEmpty())
        done += QLatin1Char('(') + time + QStringLiteral(" )");
    showStatusLine(done);
    timer()->setInterval(refreshMinutes() * 60000);
    timer()->start();
    m_reading = false;
}

void MonitorSource::select()
{
    if (m_port != 0)
        chooseConfiguredPort();
}

void MonitorSource::startUp()
{
    if (m_port != 0 && m_hooks.isChosenSource && m_hooks.isChosenSource())
        chooseConfiguredPort();
}

QString MonitorSource::chooseConfiguredPort()
{
    QString entry = kNoCom;
    const QStringList ports = m_hooks.portList ? m_hooks.portList() : QStringList{kNoCom};
    for (const QString &text : ports) {
        bool ok = false;
        if (text != kNoCom && text.mid(3).toInt(&ok) == m_port && ok) {
            entry = text;
            break;
        }
    }
    choosePortEntry(entry);
    return entry;
}

void MonitorSource::choosePortEntry(const QString &entry)
{
    timer()->stop();
    if (m_station)
        m_station->CloseCommPort();
    m_ready = false;
    if (entry == kNoCom) {
        setPort(0);
        emit noPortChosen();
        return;
    }
    bool ok = false;
    const int port = entry.mid(3).toInt(&ok);
    setPort(ok ? port : 0);
    if (ok && port != 0 && m_station && m_station->OpenCommPort(port, kBaud) == 1) {
        m_ready = true;
        takeReading();
    } else {
        showStatusLine(QStringLiteral("COM port error"));
    }
}

void MonitorSource::takeDeferredReading()
{
    if (!m_deferred)
        return;
    m_deferred = false;
    takeReading();
}

void MonitorSource::topOfHour(const ClockFields &f)
{
    const int stamp = f.hour * 100 + f.minute;
    if (f.minute != 0 || !(m_hooks.isChosenSource && m_hooks.isChosenSource()) || !m_hourlyLog || !m_ready
        || stamp == m_lastLogged)
        return;
    const QString line = MonitorReading::logLine(snapshot());
    if (m_hooks.log)
        m_hooks.log(line);
    m_lastLogged = stamp;
}

void MonitorSource::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
    // After the direction, before the items this station has not.
    registry.add(ConfigKeys::make(
        section, 75, QStringLiteral("LOG="),
        [this] { return m_hourlyLog ? QStringList{QStringLiteral("LOG=Y")} : QStringList(); },
        [this](const QString &value) {
            if (value == QLatin1String("Y"))
                setHourlyLog(true);
        }));
    declarePeriodKey(registry, section);
    declareIntKey(
        registry, section, 210, QStringLiteral("METCOMM="), [this] { return m_port; },
        [this](int v) {
            if (v >= 0)
                setPort(v);
        });
}

} // namespace auravox
