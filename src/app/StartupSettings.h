#pragma once

#include <QObject>
#include <QString>

namespace auravox {

class ConfigRegistry;

// Start at login (START=, the desktop entry written or removed on each
// change), start minimized (REDUCE=) and the release check at start (VERSTART=).
class StartupSettings final : public QObject
{
    Q_OBJECT
public:
    // `programPath` is what the start-at-login entry runs.
    explicit StartupSettings(const QString &programPath, QObject *parent = nullptr);

    bool startAtLogin() const { return m_login; }
    // Writes or removes the entry; on failure `failed` tells why (the choice stays).
    void setStartAtLogin(bool on);
    bool startMinimized() const { return m_minimized; }
    void setStartMinimized(bool on);
    bool releaseCheckAtStart() const { return m_release; }
    void setReleaseCheckAtStart(bool on);

    void declareConfig(ConfigRegistry &registry);

signals:
    void changed();
    void startMinimizedChanged(bool on);
    void failed(const QString &message);

private:
    QString m_programPath;
    bool m_login = false;
    bool m_minimized = false;
    bool m_release = false;
};

} // namespace auravox
