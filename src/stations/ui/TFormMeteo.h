#pragma once

#include "common/DateTime.h"
#include "stations/MonitorSource.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QStringList>

#include <functional>

class QListWidget;

namespace auravox {

// What the Monitor II window needs from the rest of the program.
struct MonitorWindowDeps
{
    std::function<QStringList()> portList;  // the main window's list: "No COM", then the ports
    std::function<bool()> isChosenSource;   // RadioButtonMON is checked
    std::function<bool()> startsMinimized;  // CheckBoxReduire
};

// "Davis Monitor II weather station": shows the Monitor II source (its
// captions, status line and driver version) and edits its settings (the port,
// the period, the items, the hourly log).
class TFormMeteo final : public WeatherSourceWindow
{
    Q_OBJECT
public:
    static constexpr int kBaud = MonitorSource::kBaud;

    TFormMeteo(MonitorSource &source, const MonitorWindowDeps &deps, const SourceWindowContext &context,
               QWidget *parent = nullptr);
    ~TFormMeteo() override;

    MonitorSource &monitorSource() { return m_monitor; }
    // The choice window's action for "Davis Weather Monitor II".
    void selectSource(bool showWindow) override;

    void ButtonPortClick();
    // The choice of an entry of ListBoxPort ("No COM" or "COM<n>").
    void ListBoxPortClick(const QString &entry);
    // Called after each announcement.
    void takeDeferredReading() { m_monitor.takeDeferredReading(); }
    // The configuration load's start-up path: opens the station on the saved port.
    void startUp();
    // The main clock's tick at minute 0: the hourly log line.
    void topOfHour(const ClockFields &fields) { m_monitor.topOfHour(fields); }
    // At program exit.
    void closePort() { m_monitor.closePort(); }

    int port() const { return m_monitor.port(); }
    bool deferred() const { return m_monitor.deferred(); }
    QString statusText() const;
    QListWidget *portListBox() const { return ListBoxPort; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void selectConfiguredPort();
    void bindMonitor();

    MonitorSource &m_monitor;
    MonitorWindowDeps m_deps;
    bool m_silentFill = false;

    QLabel *LabelVersion = nullptr;
    QPushButton *ButtonPort = nullptr;
    QListWidget *ListBoxPort = nullptr;
    QLabel *StaticTextStatus = nullptr;
    QCheckBox *CheckBoxlog = nullptr;
};

} // namespace auravox
