#include "web/WebSessions.h"

#include <QRandomGenerator>

#include <algorithm>

namespace auravox {

namespace {
QByteArray randomSecret()
{
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), 8);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}
} // namespace

WebSessions::WebSessions(std::function<QDateTime()> now, Limits limits) : m_now(std::move(now)), m_limits(limits) {}

bool WebSessions::sameSecret(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

bool WebSessions::expired(const Session &s, const QDateTime &now) const
{
    return s.lastUsed.secsTo(now) > m_limits.idleSeconds || s.created.secsTo(now) > m_limits.maxSeconds ||
           now < s.created; // the clock went back: start again
}

const WebSessions::Session &WebSessions::create(const QString &passwordLine)
{
    const QDateTime now = m_now();
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it = expired(*it, now) ? m_sessions.erase(it) : std::next(it);
    while (m_sessions.size() >= m_limits.maxSessions) {
        auto oldest = std::min_element(m_sessions.begin(), m_sessions.end(),
                                       [](const Session &a, const Session &b) { return a.lastUsed < b.lastUsed; });
        m_sessions.erase(oldest);
    }
    Session s;
    s.id = randomSecret();
    s.token = randomSecret();
    s.created = now;
    s.lastUsed = now;
    s.passwordLine = passwordLine;
    return *m_sessions.insert(s.id, s);
}

const WebSessions::Session *WebSessions::find(const QByteArray &id, const QString &currentPasswordLine)
{
    auto it = m_sessions.find(id);
    if (it == m_sessions.end())
        return nullptr;
    const QDateTime now = m_now();
    if (expired(*it, now) || currentPasswordLine.isEmpty() || it->passwordLine != currentPasswordLine) {
        m_sessions.erase(it);
        return nullptr;
    }
    it->lastUsed = now;
    return &*it;
}

void WebSessions::remove(const QByteArray &id)
{
    m_sessions.remove(id);
}

QString clientSource(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped); // also an IPv4 address written as IPv6
    if (address.isLoopback() || (mapped && (v4 >> 24) == 127))
        return QStringLiteral("loopback");
    if (mapped)
        return QHostAddress(v4).toString();
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        Q_IPV6ADDR bytes = address.toIPv6Address();
        std::fill(bytes.c + 8, bytes.c + 16, quint8(0));
        return QHostAddress(bytes).toString() + QStringLiteral("/64");
    }
    return address.toString();
}

RateLimiter::RateLimiter(std::function<QDateTime()> now, double capacity, double perSecond)
    : m_now(std::move(now)), m_capacity(capacity), m_perSecond(perSecond)
{
}

bool RateLimiter::take(const QString &key)
{
    const QDateTime now = m_now();
    if (m_buckets.size() > 4096) {
        // Many sources: forget the ones that have filled up again (they hold
        // nothing), and all of them only when that is not enough.
        for (auto it = m_buckets.begin(); it != m_buckets.end();) {
            const double refilled = it->tokens + std::max<qint64>(0, it->at.msecsTo(now)) / 1000.0 * m_perSecond;
            it = refilled >= m_capacity ? m_buckets.erase(it) : std::next(it);
        }
        if (m_buckets.size() > 4096)
            m_buckets.clear();
    }
    auto it = m_buckets.find(key);
    if (it == m_buckets.end())
        it = m_buckets.insert(key, Bucket{m_capacity, now});
    const double elapsed = std::max<qint64>(0, it->at.msecsTo(now)) / 1000.0;
    it->tokens = std::min(m_capacity, it->tokens + elapsed * m_perSecond);
    it->at = now;
    if (it->tokens < 1)
        return false;
    it->tokens -= 1;
    return true;
}

} // namespace auravox
