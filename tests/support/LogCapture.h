#pragma once

#include <QLoggingCategory>
#include <QStringList>

#include <mutex>

namespace auravox::test {

// Collects the program's log messages ("auravox.ptt: PTT keyed ...") while it
// lives, instead of printing them. One at a time; read it on the main thread
// once the logging is over.
class LogCapture
{
public:
    LogCapture() : m_previous(qInstallMessageHandler(&LogCapture::handler)) { s_current = this; }
    // Keeps the category that text() reads.
    explicit LogCapture(const char *category) : LogCapture() { m_category = category; }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // "category: message", in order.
    QStringList lines;
    // The lines of one category ("auravox.port"), without the category.
    QStringList of(const char *category) const
    {
        const QString prefix = QLatin1String(category) + QStringLiteral(": ");
        QStringList out;
        for (const QString &line : lines) {
            if (line.startsWith(prefix))
                out << line.mid(prefix.size());
        }
        return out;
    }
    // The lines that contain every one of `parts`.
    QStringList matching(std::initializer_list<const char *> parts) const
    {
        QStringList out;
        for (const QString &line : lines) {
            bool all = true;
            for (const char *p : parts)
                all = all && line.contains(QLatin1String(p));
            if (all)
                out << line;
        }
        return out;
    }

    // The messages of the category given at construction, one a line; safe
    // while another thread still logs.
    QString text() const
    {
        const std::lock_guard<std::mutex> guard(s_lock);
        return of(m_category).join(QLatin1Char('\n'));
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        // The sibling link's listener thread may log too.
        const std::lock_guard<std::mutex> guard(s_lock);
        if (s_current)
            s_current->lines << QLatin1String(context.category ? context.category : "default") + QStringLiteral(": ") +
                                    message;
    }

    static inline LogCapture *s_current = nullptr;
    static inline std::mutex s_lock;
    QtMessageHandler m_previous;
    const char *m_category = "default";
};

} // namespace auravox::test
