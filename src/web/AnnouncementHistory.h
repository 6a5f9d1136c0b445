#pragma once

#include "engine/AnnounceHooks.h"

#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QStringList>

#include <functional>

namespace auravox {

// The last announcements and refused starts, newest last, for the station
// page: when each started and ended, what started it, the clips it spoke and
// how it ended. Fed by the announcement engine on the main thread.
class AnnouncementHistory final : public AnnounceObserver
{
public:
    static constexpr int kCapacity = 50;

    enum class Outcome { Playing, Done, Reset, Refused };

    struct Entry
    {
        qint64 id = 0;
        QDateTime start;
        QDateTime end; // invalid while playing and for a refusal
        AnnounceOrigin trigger = AnnounceOrigin::Button;
        Outcome outcome = Outcome::Playing;
        QStringList clips;
        // Refusal: why; reset: the status field's text ("Err: Res Wave").
        QString detail;
    };

    // `now` gives the wall-clock time of each event.
    explicit AnnouncementHistory(std::function<QDateTime()> now);

    const QList<Entry> &entries() const { return m_entries; }
    // Grows with every change; lets a page ask only for news.
    qint64 revision() const { return m_revision; }
    // The newest entry's id, 0 when empty.
    qint64 lastId() const { return m_entries.isEmpty() ? 0 : m_entries.constLast().id; }

    // Turns a clip name into the words it says, for "spoken" in the JSON.
    void setWords(std::function<QString(const QString &)> words) { m_words = std::move(words); }

    // Newest first.
    QJsonArray toJson() const;
    QJsonObject toJson(const Entry &entry) const;
    static QString triggerName(AnnounceOrigin trigger);
    static QString refusalText(AnnounceRefusal why);
    static QString outcomeName(Outcome outcome);

    // AnnounceObserver
    void announcementStarted(AnnounceOrigin trigger) override;
    void announcementRefused(AnnounceOrigin trigger, AnnounceRefusal why) override;
    void clipStarted(const QString &clip) override;
    void announcementEnded(bool completed, const QString &statusText) override;

private:
    Entry &add(AnnounceOrigin trigger, Outcome outcome);
    Entry *playing();

    std::function<QDateTime()> m_now;
    std::function<QString(const QString &)> m_words;
    QList<Entry> m_entries;
    qint64 m_nextId = 1;
    qint64 m_revision = 0;
};

} // namespace auravox
