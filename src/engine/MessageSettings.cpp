#include "engine/MessageSettings.h"

#include "common/ConfigKeys.h"
#include "engine/Scheduler.h"

#include <algorithm>

namespace auravox {

MessageSettings::MessageSettings(QObject *parent) : QObject(parent) {}

template <typename T> void MessageSettings::update(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
}

void MessageSettings::setBox(Box b, bool on)
{
    if (box(b) == on)
        return;
    m_boxes[static_cast<size_t>(b)] = on;
    auto set = [this](Box other, bool value) { m_boxes[static_cast<size_t>(other)] = value; };
    if (b == Box::Date && on)
        set(Box::DateUS, false);
    else if (b == Box::DateUS && on)
        set(Box::Date, false);
    else if (b == Box::TimeIs && on)
        set(Box::Time, true);
    else if (b == Box::Time && !on)
        set(Box::TimeIs, false);
    emit changed();
}

void MessageSettings::setPauseSeconds(int seconds)
{
    update(m_pause, std::clamp(seconds, 0, kMaxPause));
}

void MessageSettings::setPath(File f, const QString &path)
{
    update(m_paths[static_cast<size_t>(f)], path);
}

void MessageSettings::setPeriodPosition(int position)
{
    update(m_period, std::clamp(position, 0, static_cast<int>(Scheduler::kPeriods.size()) - 1));
}

int MessageSettings::periodMinutes() const
{
    return Scheduler::kPeriods[static_cast<size_t>(m_period)];
}

bool MessageSettings::setPeriodMinutes(int minutes)
{
    const auto at = std::find(Scheduler::kPeriods.begin(), Scheduler::kPeriods.end(), minutes);
    if (at == Scheduler::kPeriods.end())
        return false;
    setPeriodPosition(static_cast<int>(at - Scheduler::kPeriods.begin()));
    return true;
}

void MessageSettings::setStartHour(int hour)
{
    if (hour >= 0 && hour <= 24)
        update(m_startHour, hour);
}

void MessageSettings::setEndHour(int hour)
{
    if (hour >= 0 && hour <= 24)
        update(m_endHour, hour);
}

void MessageSettings::setStaleness(Staleness s)
{
    update(m_staleness, s);
}

void MessageSettings::setSixteenPoints(bool on)
{
    update(m_sixteen, on);
}

void MessageSettings::setRecordWhilePlaying(bool on)
{
    update(m_record, on);
}

MessageChoices MessageSettings::choices() const
{
    MessageChoices c;
    c.header = box(Box::Header);
    c.headerPath = path(File::Header);
    c.pauseSeconds = m_pause;
    c.hello = box(Box::Hello);
    c.helloPath = path(File::Hello);
    c.date = box(Box::Date);
    c.dateUS = box(Box::DateUS);
    c.timeIs = box(Box::TimeIs);
    c.time = box(Box::Time);
    c.goodbye = box(Box::Goodbye);
    c.goodbyePath = path(File::Goodbye);
    c.recordWhilePlaying = m_record;
    return c;
}

void MessageSettings::bindScheduler(Scheduler &scheduler)
{
    auto apply = [this, &scheduler] {
        scheduler.setPeriodPosition(m_period);
        scheduler.setStartHour(m_startHour);
        scheduler.setEndHour(m_endHour);
    };
    apply();
    connect(this, &MessageSettings::changed, this, apply);
}

namespace {
using CS = QStringList;
using ConfigKeys::make;
constexpr int A = ConfigSection::Announcement;
} // namespace

void MessageSettings::declareConfig(ConfigRegistry &r)
{
    r.add(make(
        A, 10, "RECORD=", [this] { return m_record ? CS{QStringLiteral("RECORD=Y")} : CS(); },
        [this](const QString &v) {
            if (v == QLatin1String("Y"))
                setRecordWhilePlaying(true); // the recorder window is not opened
        }));
    r.add(make(
        A, 30, "ROSE=", [this] { return m_sixteen ? CS{QStringLiteral("ROSE=16")} : CS(); },
        [this](const QString &v) {
            if (v == QLatin1String("16"))
                setSixteenPoints(true);
        }));
    r.add(make(
        A, 40, "OLD=",
        [this] {
            return m_staleness == Staleness::Always
                       ? CS()
                       : CS{QStringLiteral("OLD=%1").arg(static_cast<int>(m_staleness))};
        },
        [this](const QString &v) {
            if (v == QLatin1String("1") || v == QLatin1String("2") || v == QLatin1String("3"))
                setStaleness(static_cast<Staleness>(v.toInt()));
        }));
    auto pathKey = [&](int position, const char *name, File f) {
        const QString prefix = QLatin1String(name);
        r.add(make(
            A, position, name, [this, f, prefix] { return path(f).isEmpty() ? CS() : CS{prefix + path(f)}; },
            [this, f](const QString &v) { setPath(f, v); }));
    };
    pathKey(50, "FICHIER_ENTETE=", File::Header);
    pathKey(60, "FICHIER_ZORBEL=", File::Hello);
    pathKey(70, "FICHIER_FIN=", File::Goodbye);
    r.add(ConfigKeys::number(
        A, 80, "PERIOD=", [this] { return m_period > 0 ? CS{QStringLiteral("PERIOD=%1").arg(m_period)} : CS(); },
        [this](int n) { setPeriodPosition(n); }));
    r.add(ConfigKeys::number(
        A, 90, "START_RANGE=",
        [this] { return m_startHour != 0 ? CS{QStringLiteral("START_RANGE=%1").arg(m_startHour)} : CS(); },
        [this](int h) { setStartHour(h); }));
    r.add(ConfigKeys::number(
        A, 100, "END_RANGE=",
        [this] { return m_endHour != 24 ? CS{QStringLiteral("END_RANGE=%1").arg(m_endHour)} : CS(); },
        [this](int h) { setEndHour(h); }));
    // "KEY=Y" written when checked; on reading only "Y" checks, and with
    // `otherUnchecks` any other value unchecks.
    auto yesBox = [&](int position, const char *name, Box b, bool otherUnchecks) {
        const QString line = QLatin1String(name) + QLatin1Char('Y');
        r.add(make(
            A, position, name, [this, b, line] { return box(b) ? CS{line} : CS(); },
            [this, b, otherUnchecks](const QString &v) {
                if (v == QLatin1String("Y"))
                    setBox(b, true);
                else if (otherUnchecks)
                    setBox(b, false);
            }));
    };
    // "KEY=N" written when unchecked; on reading "N" unchecks, anything else checks.
    auto noBox = [&](int position, const char *name, Box b) {
        const QString line = QLatin1String(name) + QLatin1Char('N');
        r.add(make(
            A, position, name, [this, b, line] { return box(b) ? CS() : CS{line}; },
            [this, b](const QString &v) { setBox(b, v != QLatin1String("N")); }));
    };
    yesBox(110, "ENTETE=", Box::Header, false);
    r.add(ConfigKeys::number(
        A, 120, "PAUSE=", [this] { return m_pause ? CS{QStringLiteral("PAUSE=%1").arg(m_pause)} : CS(); },
        [this](int n) { setPauseSeconds(n); }));
    yesBox(130, "FINAL=", Box::Goodbye, true);
    yesBox(140, "HELLO=", Box::Hello, true);
    noBox(150, "DATE=", Box::Date);
    yesBox(160, "DATEUS=", Box::DateUS, true);
    noBox(170, "ILEST=", Box::TimeIs);
    noBox(180, "TIME=", Box::Time);
}

} // namespace auravox
