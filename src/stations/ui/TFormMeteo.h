#pragma once

#include "common/DateTime.h"
#include "stations/MonitorReading.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QStringList>

#include <array>
#include <functional>

class QListWidget;

namespace auravox {

class MonitorStation;

// What the Monitor II window needs from the rest of the program.
struct MonitorWindowDeps
{
    MonitorStation *station = nullptr;
    std::function<bool()> announcing;       // an announcement is in progress
    std::function<QStringList()> portList;  // the main window's list: "No COM", then the ports
    std::function<QString()> timeField;     // the main window's time field (" 14:05:00")
    std::function<void(const QString &)> log; // one line into the program's log
    std::function<bool()> isChosenSource;   // RadioButtonMON is checked
    std::function<bool()> startsMinimized;  // CheckBoxReduire
};

// "Davis Monitor II weather station": reads the station through its library
// calls, keeps the gust of the last ten plausible winds, defers a reading that
// falls during an announcement, and can log the weather once an hour.
class TFormMeteo final : public WeatherSourceWindow
{
    Q_OBJECT
public:
    static constexpr int kBaud = 2400;

    TFormMeteo(const MonitorWindowDeps &deps, const SourceWindowContext &context, QWidget *parent = nullptr);
    ~TFormMeteo() override;

    // The port is open and the last reading found the station.
    bool isReady() const override { return m_ready; }
    void takeReading() override;
    // The choice window's action for "Davis Weather Monitor II".
    void selectSource(bool showWindow) override;

    void ButtonPortClick();
    // The choice of an entry of ListBoxPort ("No COM" or "COM<n>").
    void ListBoxPortClick(const QString &entry);
    // Called after each announcement.
    void takeDeferredReading();
    // The configuration load's start-up path: opens the station on the saved port.
    void startUp();
    // The main clock's tick at minute 0: the hourly log line.
    void topOfHour(const ClockFields &fields);
    // At program exit.
    void closePort();

    int port() const { return m_port; }
    bool deferred() const { return m_deferred; }
    QString statusText() const;
    QListWidget *portListBox() const { return ListBoxPort; }

    void declareConfig(ConfigRegistry &registry, int section) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setStatus(const QString &text);
    void countdown(int n);
    void selectConfiguredPort();
    void setPort(int port);

    MonitorWindowDeps m_deps;
    int m_port = 0;
    bool m_ready = false;
    bool m_deferred = false;
    bool m_reading = false;
    bool m_silentFill = false;
    int m_period = 1;
    // The conversions of a reading, and the gust history across readings.
    MonitorReading m_values;
    int m_lastLogged = -1;
    QString m_loggedError; // the status error last logged, until a reading completes

    QLabel *LabelVersion = nullptr;
    QPushButton *ButtonPort = nullptr;
    QListWidget *ListBoxPort = nullptr;
    QLabel *StaticTextStatus = nullptr;
    QCheckBox *CheckBoxlog = nullptr;
};

} // namespace auravox
