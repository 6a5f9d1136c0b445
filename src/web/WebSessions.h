#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QString>

#include <functional>

namespace auravox {

// Logged-in sessions of the station page. A session is known by a random id
// (the cookie) and carries a second random token that every change request
// must repeat in a header, so a page of another site that makes the browser
// send the cookie still cannot change anything. Sessions end after a spell
// without use, after a fixed lifetime, and when the station password changes.
class WebSessions
{
public:
    struct Limits
    {
        int idleSeconds = 30 * 60;
        int maxSeconds = 12 * 3600;
        int maxSessions = 16; // the oldest goes first
    };

    struct Session
    {
        QByteArray id;
        QByteArray token;
        QDateTime created;
        QDateTime lastUsed;
        QString passwordLine; // the password file's line at login
    };

    WebSessions(std::function<QDateTime()> now, Limits limits);

    // A new session for a user who gave the password of `passwordLine`.
    const Session &create(const QString &passwordLine);
    // The live session of `id`, touched; null when unknown, expired, or made
    // under another password.
    const Session *find(const QByteArray &id, const QString &currentPasswordLine);
    void remove(const QByteArray &id);
    int size() const { return static_cast<int>(m_sessions.size()); }

    // Equal in constant time.
    static bool sameSecret(const QByteArray &a, const QByteArray &b);

private:
    bool expired(const Session &s, const QDateTime &now) const;

    std::function<QDateTime()> m_now;
    Limits m_limits;
    QHash<QByteArray, Session> m_sessions;
};

// The key that limits count a client under: this machine's loopback
// addresses (all of 127.0.0.0/8 and ::1) are one source, since any local user
// can send from any of them; another IPv4 address is its own source, an IPv6
// address counts by its /64 network.
QString clientSource(const QHostAddress &address);

// A token bucket per key (a client's address): `capacity` requests at once,
// refilled at `perSecond`.
class RateLimiter
{
public:
    RateLimiter(std::function<QDateTime()> now, double capacity, double perSecond);
    // True when the request may go on (and is counted).
    bool take(const QString &key);

private:
    struct Bucket
    {
        double tokens = 0;
        QDateTime at;
    };
    std::function<QDateTime()> m_now;
    double m_capacity;
    double m_perSecond;
    QHash<QString, Bucket> m_buckets;
};

} // namespace auravox
