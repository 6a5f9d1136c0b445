#include "web/LogTail.h"

#include <QDateTime>
#include <QRegularExpression>

#include <atomic>
#include <cstdio>

namespace auravox {

namespace {
std::atomic<LogTail *> g_tail{nullptr};
std::atomic<QtMessageHandler> g_previous{nullptr};

QString typeWord(QtMsgType type)
{
    switch (type) {
    case QtWarningMsg: return QStringLiteral("warning: ");
    case QtCriticalMsg:
    case QtFatalMsg: return QStringLiteral("error: ");
    default: return QString();
    }
}
} // namespace

LogTail::LogTail()
{
    LogTail *expected = nullptr;
    if (g_tail.compare_exchange_strong(expected, this)) {
        m_previous = qInstallMessageHandler(&LogTail::handler);
        g_previous.store(m_previous);
    }
}

LogTail::~LogTail()
{
    LogTail *expected = this;
    if (!g_tail.compare_exchange_strong(expected, nullptr))
        return;
    // A handler installed after ours stays: ours, below it, now only passes on.
    if (QtMessageHandler current = qInstallMessageHandler(m_previous); current != &LogTail::handler)
        qInstallMessageHandler(current);
}

void LogTail::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (LogTail *tail = g_tail.load(); tail && context.category &&
                                       QLatin1String(context.category).startsWith(QLatin1String("auravox."))) {
        // The system's time, as journald stamps the same line: this runs on
        // whatever thread logs, and the program's Clock serves the main thread.
        tail->add(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                  QLatin1String(context.category).mid(8) + QStringLiteral(": ") + typeWord(type) + message);
    }
    if (QtMessageHandler previous = g_previous.load())
        previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

void LogTail::add(const QString &line)
{
    QMutexLocker lock(&m_mutex);
    m_lines.push_back(line);
    while (m_lines.size() > static_cast<size_t>(kCapacity))
        m_lines.pop_front();
    ++m_revision;
}

QStringList LogTail::lines(int count) const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    const size_t n = std::min(m_lines.size(), static_cast<size_t>(std::max(0, count)));
    for (size_t i = m_lines.size() - n; i < m_lines.size(); ++i)
        out << m_lines[i];
    return out;
}

QString LogTail::withoutSecrets(const QString &line)
{
    // scheme://[user-info@]host/path[?query][#fragment]
    static const QRegularExpression address(QStringLiteral(
        R"re(\b([A-Za-z][A-Za-z0-9+.-]*://)([^\s/?#@"'<>]*@)?([^\s?#"'<>]*)(\?[^\s#"'<>]*)?(#[^\s"'<>]*)?)re"));
    QString out;
    qsizetype at = 0;
    for (auto it = address.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(line).mid(at, m.capturedStart() - at);
        out += m.captured(1) + m.captured(3);
        if (m.capturedLength(4) > 1)
            out += QStringLiteral("?…");
        at = m.capturedEnd();
    }
    out += QStringView(line).mid(at);
    return out;
}

quint64 LogTail::revision() const
{
    QMutexLocker lock(&m_mutex);
    return m_revision;
}

} // namespace auravox
