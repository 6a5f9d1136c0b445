#pragma once

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace auravox::test {

// The messages of one logging category ("auravox.link", ...) while it lives.
class LogCapture
{
public:
    explicit LogCapture(const char *category) : m_category(category)
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QString text() const
    {
        const QMutexLocker lock(&m_lock);
        return m_lines.join(QLatin1Char('\n'));
    }

private:
    static void handle(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        // Messages from other threads (the sibling listener) come here too.
        if (s_current && context.category && s_current->m_category == context.category) {
            const QMutexLocker lock(&s_current->m_lock);
            s_current->m_lines.append(message);
        }
    }
    static inline LogCapture *s_current = nullptr;
    QByteArray m_category;
    mutable QMutex m_lock;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace auravox::test
