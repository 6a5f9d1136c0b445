#pragma once

#include <QMutex>
#include <QStringList>

#include <deque>

namespace auravox {

// The last lines of the program's diagnostics (the "auravox.*" logging
// categories), kept in memory for the station page while they also go on to
// standard error as before. One instance at a time takes the messages.
class LogTail
{
public:
    static constexpr int kCapacity = 200;

    LogTail();
    ~LogTail();
    LogTail(const LogTail &) = delete;
    LogTail &operator=(const LogTail &) = delete;

    // Oldest first, at most `count` lines.
    QStringList lines(int count) const;
    quint64 revision() const;
    // Adds a line (also used by the message handler, from any thread).
    void add(const QString &line);

    // `line` as others may see it: the addresses in it without their query,
    // fragment and user-info (an API key, a station's password), which the
    // journal itself keeps.
    static QString withoutSecrets(const QString &line);

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    mutable QMutex m_mutex;
    std::deque<QString> m_lines;
    quint64 m_revision = 0;
    QtMessageHandler m_previous = nullptr;
};

} // namespace auravox
