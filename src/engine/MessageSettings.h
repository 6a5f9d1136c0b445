#pragma once

#include "engine/AnnounceHooks.h"
#include "engine/WeatherPhrases.h"

#include <QObject>
#include <QString>

#include <array>

namespace auravox {

class ConfigRegistry;
class Scheduler;

// What an announcement says and when: the main window's boxes and pause, the
// three user files, the period and the hours, the age limit of the weather,
// the compass card and "Run recorder when playing". The main window and the
// station page edit it; loading "auravox.ini" sets it.
class MessageSettings final : public QObject
{
    Q_OBJECT
public:
    enum class Box { Header, Hello, Date, DateUS, TimeIs, Time, Goodbye };
    static constexpr int kBoxCount = 7;
    enum class File { Header, Hello, Goodbye };
    static constexpr int kMaxPause = 15;

    explicit MessageSettings(QObject *parent = nullptr);

    bool box(Box b) const { return m_boxes[static_cast<size_t>(b)]; }
    // The window's rules: one date order at most; "Time is" needs the time.
    void setBox(Box b, bool on);
    int pauseSeconds() const { return m_pause; }
    void setPauseSeconds(int seconds); // brought into 0..15
    QString path(File f) const { return m_paths[static_cast<size_t>(f)]; }
    void setPath(File f, const QString &path);

    // The period as the arrows step it: 0..6 for 0, 5, 10, 15, 20, 30, 60 minutes.
    int periodPosition() const { return m_period; }
    void setPeriodPosition(int position); // brought into 0..6
    int periodMinutes() const;
    // False for a period the arrows cannot reach.
    bool setPeriodMinutes(int minutes);
    int startHour() const { return m_startHour; }
    int endHour() const { return m_endHour; }
    // Hours out of 0..24 are ignored.
    void setStartHour(int hour);
    void setEndHour(int hour);

    Staleness staleness() const { return m_staleness; }
    void setStaleness(Staleness s);
    bool sixteenPoints() const { return m_sixteen; }
    void setSixteenPoints(bool on);
    bool recordWhilePlaying() const { return m_record; }
    void setRecordWhilePlaying(bool on);

    // The pieces of the message, as the step machine reads them.
    MessageChoices choices() const;

    // RECORD=, ROSE=, OLD=, the files, PERIOD=, the hours, the boxes and PAUSE=.
    void declareConfig(ConfigRegistry &registry);
    // Keeps the scheduler on this period and these hours, from now on.
    void bindScheduler(Scheduler &scheduler);

signals:
    void changed();

private:
    template <typename T> void update(T &field, const T &value);

    std::array<bool, kBoxCount> m_boxes{false, false, true, false, true, true, false};
    int m_pause = 0;
    std::array<QString, 3> m_paths{QString(), QStringLiteral("kuckoo.wav"), QString()};
    int m_period = 0;
    int m_startHour = 0;
    int m_endHour = 24;
    Staleness m_staleness = Staleness::Always;
    bool m_sixteen = false;
    bool m_record = false;
};

} // namespace auravox
