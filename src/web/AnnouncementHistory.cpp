#include "web/AnnouncementHistory.h"

#include <QJsonObject>

namespace auravox {

AnnouncementHistory::AnnouncementHistory(std::function<QDateTime()> now) : m_now(std::move(now)) {}

QString AnnouncementHistory::triggerName(AnnounceOrigin trigger)
{
    switch (trigger) {
    case AnnounceOrigin::Button: return QStringLiteral("button");
    case AnnounceOrigin::Schedule: return QStringLiteral("schedule");
    case AnnounceOrigin::Cts: return QStringLiteral("CTS line");
    case AnnounceOrigin::Dsr: return QStringLiteral("DSR line");
    case AnnounceOrigin::Sibling: return QStringLiteral("sibling");
    case AnnounceOrigin::Web: return QStringLiteral("station page");
    }
    return QString();
}

QString AnnouncementHistory::refusalText(AnnounceRefusal why)
{
    switch (why) {
    case AnnounceRefusal::StartupPending: return QStringLiteral("the configuration is not loaded yet");
    case AnnounceRefusal::Busy: return QStringLiteral("an announcement is playing");
    case AnnounceRefusal::Dcd: return QStringLiteral("the channel is busy (DCD)");
    }
    return QString();
}

QString AnnouncementHistory::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Playing: return QStringLiteral("playing");
    case Outcome::Done: return QStringLiteral("done");
    case Outcome::Reset: return QStringLiteral("reset");
    case Outcome::Refused: return QStringLiteral("refused");
    }
    return QString();
}

AnnouncementHistory::Entry &AnnouncementHistory::add(AnnounceOrigin trigger, Outcome outcome)
{
    Entry e;
    e.id = m_nextId++;
    e.start = m_now();
    e.trigger = trigger;
    e.outcome = outcome;
    m_entries.append(e);
    while (m_entries.size() > kCapacity)
        m_entries.removeFirst();
    ++m_revision;
    return m_entries.last();
}

AnnouncementHistory::Entry *AnnouncementHistory::playing()
{
    // Refusals may come after the playing entry (a start refused because it is busy).
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->outcome == Outcome::Playing)
            return &*it;
    }
    return nullptr;
}

void AnnouncementHistory::announcementStarted(AnnounceOrigin trigger)
{
    // One announcement at a time: an entry still playing was ended without a word.
    if (Entry *e = playing()) {
        e->outcome = Outcome::Reset;
        e->end = m_now();
    }
    add(trigger, Outcome::Playing);
}

void AnnouncementHistory::announcementRefused(AnnounceOrigin trigger, AnnounceRefusal why)
{
    Entry &e = add(trigger, Outcome::Refused);
    e.detail = refusalText(why);
}

void AnnouncementHistory::clipStarted(const QString &clip)
{
    if (Entry *e = playing()) {
        e->clips << clip;
        ++m_revision;
    }
}

void AnnouncementHistory::announcementEnded(bool completed, const QString &statusText)
{
    Entry *e = playing();
    if (!e)
        return;
    e->outcome = completed ? Outcome::Done : Outcome::Reset;
    e->end = m_now();
    if (!completed)
        e->detail = statusText;
    ++m_revision;
}

QJsonObject AnnouncementHistory::toJson(const Entry &e) const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), e.id);
    o.insert(QStringLiteral("start"), e.start.toString(Qt::ISODate));
    o.insert(QStringLiteral("end"), e.end.isValid() ? QJsonValue(e.end.toString(Qt::ISODate)) : QJsonValue());
    o.insert(QStringLiteral("trigger"), triggerName(e.trigger));
    o.insert(QStringLiteral("outcome"), outcomeName(e.outcome));
    o.insert(QStringLiteral("clips"), QJsonArray::fromStringList(e.clips));
    o.insert(QStringLiteral("detail"), e.detail);
    if (m_words) {
        QStringList words;
        for (const QString &clip : e.clips)
            words << m_words(clip);
        o.insert(QStringLiteral("spoken"), words.join(QLatin1Char(' ')));
    }
    return o;
}

QJsonArray AnnouncementHistory::toJson() const
{
    QJsonArray out;
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it)
        out.append(toJson(*it));
    return out;
}

} // namespace auravox
