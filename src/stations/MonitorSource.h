#pragma once

#include "common/DateTime.h"
#include "stations/MonitorReading.h"
#include "weather/WeatherSource.h"

#include <QStringList>

#include <functional>

namespace auravox {

class MonitorStation;

// What the Monitor II source needs from the rest of the program.
struct MonitorHooks
{
    std::function<bool()> announcing;         // an announcement is in progress
    std::function<QStringList()> portList;    // the program's ports: "No COM", then "COM1", ...
    std::function<QString()> timeField;       // the main clock's time field (" 14:05:00")
    std::function<void(const QString &)> log; // one line into the program's log
    std::function<bool()> isChosenSource;     // the Monitor II is the chosen source
};

// The Davis Weather Monitor II source: reads the station through its library
// calls (MonitorStation) value by value, keeps the gust of the last ten
// plausible winds, defers a reading that falls during an announcement until
// its end, and can log the weather once an hour.
//
// Its keys: the items and "LOG=", "METPERI=", "METCOMM=" (the port).
class MonitorSource final : public WeatherSource
{
    Q_OBJECT
public:
    static constexpr int kBaud = 2400;
    static inline const QString kNoCom = QStringLiteral("No COM");

    MonitorSource(MonitorStation *station, const SourceContext &context, QObject *parent = nullptr);
    ~MonitorSource() override;

    void setHooks(MonitorHooks hooks) { m_hooks = std::move(hooks); }

    // The port is open and the last reading found the station.
    bool isReady() const override { return m_ready; }
    // One reading: none without a port, none inside another; deferred while an
    // announcement runs. Pending events run between the station's calls.
    void takeReading() override;
    // Choosing the source: the configured port is opened and read (none without one).
    void select() override;

    // The port as the configuration names it, without opening it (0: none).
    int port() const { return m_port; }
    void setPort(int port);
    // The choice of a port list entry ("No COM" or "COM<n>"): the station
    // closes, and the chosen port is opened and read at once.
    void choosePortEntry(const QString &entry);
    // The entry of the port list for the configured port ("No COM" when it is
    // not there), then chosen. Returns the entry.
    QString chooseConfiguredPort();
    // The configuration load's start-up path: with a port and the Monitor II
    // chosen, the saved port is opened.
    void startUp();
    // After each announcement: the reading it deferred, if any.
    void takeDeferredReading();
    bool deferred() const { return m_deferred; }
    // The main clock's tick at minute 0: the hourly log line ("LOG=Y").
    void topOfHour(const ClockFields &fields);
    bool hourlyLog() const { return m_hourlyLog; }
    void setHourlyLog(bool on);
    // At program exit.
    void closePort();

    // The status line ("Reading Weather Monitor (3)", "COM port error") and the driver's version.
    QString statusLine() const { return m_statusLine; }
    QString versionText() const { return m_version; }

    void declareConfig(ConfigRegistry &registry, int section) override;

signals:
    void statusLineShown(const QString &text);
    void versionShown(const QString &text);
    void portChanged(int port);
    // "No COM" was chosen (the window hides).
    void noPortChosen();

private:
    void showStatusLine(const QString &text);
    void countdown(int n);
    void showCaption(SourceCaption SourceDisplay::*which, const MonitorCaption &caption);
    void showText(SourceCaption SourceDisplay::*which, const QString &text);

    MonitorStation *m_station;
    MonitorHooks m_hooks;
    int m_port = 0;
    bool m_ready = false;
    bool m_deferred = false;
    bool m_reading = false;
    bool m_hourlyLog = false;
    // The conversions of a reading, and the gust history across readings.
    MonitorReading m_values;
    int m_lastLogged = -1;
    QString m_statusLine;
    QString m_version;
    QString m_loggedError; // the status error last logged, until a reading completes
};

} // namespace auravox
