#include "engine/AnnounceMachine.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "engine/ClipPlayer.h"
#include "engine/NumberSpeech.h"

#include <QTimer>

#include <algorithm>
#include <array>
#include <utility>

namespace auravox {

namespace {
const std::array<const char *, 7> kWeekdays{"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
const std::array<const char *, 12> kMonths{"jan", "feb", "mar", "apr", "may", "jun",
                                           "jul", "aug", "sep", "oct", "nov", "dec"};

QString weekdayClip(int weekday)
{
    return QStringLiteral("son_") + QLatin1String(kWeekdays[static_cast<size_t>((weekday + 6) % 7)]);
}

QString monthClip(int month)
{
    return QStringLiteral("son_") + QLatin1String(kMonths[static_cast<size_t>((month + 11) % 12)]);
}

constexpr int kLastWeatherItemStep = AnnounceMachine::kFirstWeatherItemStep + WeatherSpeech::kItemCount - 1;

} // namespace

// The journal's view of one machine's announcements.
class AnnounceMachine::Log final : public AnnounceObserver
{
public:
    explicit Log(const AnnounceMachine &machine) : m_machine(machine) {}
    void announcementStarted(AnnounceOrigin origin) override
    {
        qCInfo(lcAnnounce).noquote() << QStringLiteral("announcement started by %1").arg(m_machine.originText(origin));
    }
    void announcementRefused(AnnounceOrigin origin, AnnounceRefusal refusal) override
    {
        qCInfo(lcAnnounce).noquote() << QStringLiteral("announcement asked by %1 refused: %2")
                                            .arg(m_machine.originText(origin), announceRefusalText(refusal));
    }
    void announcementEnded(bool completed, const QString &statusText) override
    {
        if (completed)
            qCInfo(lcAnnounce) << "announcement ended";
        else
            qCWarning(lcAnnounce).noquote()
                << "announcement ended by the watchdog reset (a failed or stalled clip):" << statusText;
    }

private:
    const AnnounceMachine &m_machine;
};

QString announceOriginText(AnnounceOrigin origin)
{
    switch (origin) {
    case AnnounceOrigin::Button:
        return QStringLiteral("the button");
    case AnnounceOrigin::Schedule:
        return QStringLiteral("the schedule");
    case AnnounceOrigin::Cts:
        return QStringLiteral("CTS");
    case AnnounceOrigin::Dsr:
        return QStringLiteral("DSR");
    case AnnounceOrigin::Sibling:
        return QStringLiteral("the sibling program");
    case AnnounceOrigin::Web:
        return QStringLiteral("the station page");
    }
    return QString();
}

QString announceRefusalText(AnnounceRefusal refusal)
{
    switch (refusal) {
    case AnnounceRefusal::StartupPending:
        return QStringLiteral("the configuration is not loaded yet");
    case AnnounceRefusal::Busy:
        return QStringLiteral("an announcement is running");
    case AnnounceRefusal::Dcd:
        return QStringLiteral("DCD is on (the channel is busy)");
    }
    return QString();
}

AnnounceMachine::AnnounceMachine(AnnounceHost &host, ClipPlayer &player, Clock &clock, QTimer &watchdog,
                                 const ClockFields &fields)
    : m_host(host), m_player(player), m_clock(clock), m_watchdog(watchdog), m_fields(fields),
      m_log(std::make_unique<Log>(*this))
{
    m_observers.push_back(m_log.get());
}

AnnounceMachine::~AnnounceMachine() = default;

QString AnnounceMachine::originText(AnnounceOrigin origin) const
{
    const bool line = origin == AnnounceOrigin::Cts || origin == AnnounceOrigin::Dsr;
    const QString input = line ? m_port->startInputName() : QString();
    return input.isEmpty() ? announceOriginText(origin) : input;
}

void AnnounceMachine::addObserver(AnnounceObserver *observer)
{
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void AnnounceMachine::removeObserver(AnnounceObserver *observer)
{
    if (observer != m_log.get())
        m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

template <typename F> void AnnounceMachine::notify(F &&call)
{
    // A copy: an observer may remove itself.
    const std::vector<AnnounceObserver *> observers = m_observers;
    for (AnnounceObserver *o : observers)
        call(*o);
}

AnnounceOrigin AnnounceMachine::takeOrigin()
{
    const AnnounceOrigin origin =
        m_nextOrigin.value_or(m_siblingRequest ? AnnounceOrigin::Sibling : AnnounceOrigin::Button);
    m_nextOrigin.reset();
    return origin;
}

void AnnounceMachine::playClip(const QString &name, int nextStep)
{
    // The step moves on first: a failure inside the play call runs the
    // watchdog reset, whose step 0 must win.
    m_step = nextStep;
    notify([&](AnnounceObserver &o) { o.clipStarted(name); });
    m_player.playWaveResource(name);
}

void AnnounceMachine::playFile(const QString &path, int nextStep)
{
    m_step = nextStep;
    notify([&](AnnounceObserver &o) { o.clipStarted(path); });
    m_player.playWaveFile(path);
}

void AnnounceMachine::run()
{
    // An origin is told for this call only.
    const AnnounceOrigin origin = takeOrigin();
    // While an announcement runs, only the end of its clips moves it on: a
    // second start (the sibling's ZORBEL_PLAY, the tick, a line edge) must not
    // run the current step again, which would drop the clip that is playing.
    if (m_busy.load()) {
        notify([&](AnnounceObserver &o) { o.announcementRefused(origin, AnnounceRefusal::Busy); });
        return;
    }
    runSteps(origin);
}

void AnnounceMachine::runSteps(AnnounceOrigin origin)
{
    const MessageChoices choices = m_host.messageChoices();
    for (;;) {
        const ClockFields f = m_fields;
        switch (m_step) {
        case 1:
            if (choices.pauseSeconds > 0)
                m_clock.waitPumping(choices.pauseSeconds * 1000);
            if (m_step != 1)
                return; // the watchdog ended the announcement during the pause
            if (choices.hello) {
                // The path is not tested: an empty one fails in the player.
                playFile(choices.helloPath, 2);
                return;
            }
            m_step = 2;
            continue;
        case 2:
            if (!choices.date && !choices.dateUS) {
                m_step = 7;
                continue;
            }
            playClip(weekdayClip(f.weekday), 3);
            return;
        case 3:
            playClip(choices.date ? NumberSpeech::dayOfMonth(f.day).value(0) : monthClip(f.month), 4);
            return;
        case 4:
            playClip(choices.dateUS ? NumberSpeech::dayOfMonth(f.day).value(0) : monthClip(f.month), 5);
            return;
        case 5:
            if (f.year >= 2001 && f.year <= 2059) {
                playClip(QStringLiteral("son2000"), 6);
                return;
            }
            m_step = 7;
            continue;
        case 6:
            playClip(QStringLiteral("son") + QString::number(f.year - 2000), 7);
            return;
        case 7:
            if (choices.timeIs) {
                playClip(QStringLiteral("son_time_is"), 8);
                return;
            }
            m_step = 8;
            continue;
        case 8:
            if (choices.time) {
                playClip(NumberSpeech::hour(f.hour).value(0), 9);
                return;
            }
            m_step = kWeatherGateStep;
            continue;
        case 9:
        case 10:
            if (f.minute != 0) {
                playClip(NumberSpeech::minutes(f.minute).value(0), 11);
                return;
            }
            m_step = 11;
            continue;
        case 11:
            playClip(f.hour > 11 ? QStringLiteral("son_pm") : QStringLiteral("son_am"), kWeatherGateStep);
            return;
        case kWeatherGateStep:
            m_pendingClips.clear();
            m_itemLoaded = false;
            m_step = (m_weather && m_weather->beginWeather()) ? kFirstWeatherItemStep : kGoodbyeStep;
            continue;
        case kGoodbyeStep:
            if (choices.goodbye && !choices.goodbyePath.isEmpty()) {
                playFile(choices.goodbyePath, kEndStep);
                return;
            }
            m_step = kEndStep;
            continue;
        case kEndStep:
            finish();
            return;
        default:
            if (m_step >= kFirstWeatherItemStep && m_step <= kLastWeatherItemStep) {
                if (!m_itemLoaded) {
                    m_pendingClips =
                        m_weather ? m_weather->weatherItem(m_step - kFirstWeatherItemStep + 1) : QStringList();
                    m_itemLoaded = true;
                }
                if (!m_pendingClips.isEmpty()) {
                    playClip(m_pendingClips.takeFirst(), m_step);
                    return;
                }
                m_itemLoaded = false;
                m_step = m_step == kLastWeatherItemStep ? kGoodbyeStep : m_step + 1;
                continue;
            }
            if (!start(origin))
                return;
            continue;
        }
    }
}

bool AnnounceMachine::start(AnnounceOrigin origin)
{
    m_step = 0;
    std::optional<AnnounceRefusal> refusal;
    if (m_host.startupPending())
        refusal = AnnounceRefusal::StartupPending;
    else if (m_busy.load())
        refusal = AnnounceRefusal::Busy;
    else if (m_port->inhibitOnDcd() && m_lines.dcdOn)
        refusal = AnnounceRefusal::Dcd;
    if (refusal) {
        notify([&](AnnounceObserver &o) { o.announcementRefused(origin, *refusal); });
        return false;
    }

    m_busy.store(true);
    m_lines.ctsSeen = true;
    m_lines.dsrSeen = true;
    m_host.setPlayEnabled(false);
    m_watchdog.start(kWatchdogMs);
    m_host.showStatus(QStringLiteral("AURAVOX PLAYS"));
    notify([&](AnnounceObserver &o) { o.announcementStarted(origin); });

    if (m_errorSimulation)
        return false; // stays busy until the watchdog ends it

    if (m_port->isOpen()) {
        m_port->key(QStringLiteral("announcement started by ") + originText(origin));
        // Give the transmitter time to come up before the first clip.
        m_clock.waitPumping(300);
        if (!m_busy.load())
            return false; // reset by the watchdog meanwhile
    }

    const MessageChoices choices = m_host.messageChoices();
    if (choices.recordWhilePlaying)
        m_links->recorderStart();

    if (choices.header && !choices.headerPath.isEmpty()) {
        playFile(choices.headerPath, 1);
        return false;
    }
    m_step = 1;
    return true;
}

void AnnounceMachine::finish()
{
    m_port->release(QStringLiteral("end of the announcement"));
    m_busy.store(false);
    m_step = 0;
    m_host.setPlayEnabled(true);
    m_host.setSoundCardOkEnabled(true);
    m_watchdog.stop();
    m_host.showStatus(QStringLiteral("AURAVOX DONE"));
    notify([](AnnounceObserver &o) { o.announcementEnded(true, QStringLiteral("AURAVOX DONE")); });

    const bool recording = m_host.messageChoices().recordWhilePlaying;
    if (m_siblingRequest) {
        m_siblingRequest = false;
        m_links->sendSiblingDone();
    } else {
        m_clock.waitPumping(1000);
        m_links->renewSiblingLink();
    }
    m_links->takeDeferredReading();
    if (recording)
        m_links->recorderStop();
}

void AnnounceMachine::clipEnded()
{
    if (m_step > 0)
        runSteps(AnnounceOrigin::Button); // never at step 0: the origin goes unused
}

void AnnounceMachine::watchdogReset()
{
    m_watchdog.stop();
    if (m_busy.load() && m_player.isPlaying()) {
        // The clip's own end continues the announcement; keep a watchdog on it
        // so a later stall is still caught.
        m_watchdog.start(kWatchdogMs);
        return;
    }
    try {
        m_player.stopDevice();
        m_clock.waitPumping(1000);
        m_links->renewSiblingLink();
    } catch (...) {
        // The reset must always return the machine to idle.
    }
    m_player.clearFlags();
    const bool wasBusy = m_busy.exchange(false);
    m_step = 0;
    m_pendingClips.clear();
    m_itemLoaded = false;
    m_host.setPlayEnabled(true);
    if (wasBusy) {
        const QString status = m_host.statusText();
        notify([&](AnnounceObserver &o) { o.announcementEnded(false, status); });
    }
}

} // namespace auravox
