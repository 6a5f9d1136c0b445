#include "app/StartupSettings.h"

#include "app/Autostart.h"
#include "common/ConfigKeys.h"

namespace auravox {

StartupSettings::StartupSettings(const QString &programPath, QObject *parent)
    : QObject(parent), m_programPath(programPath)
{
}

void StartupSettings::setStartAtLogin(bool on)
{
    if (m_login == on)
        return;
    m_login = on;
    emit changed();
    QString error;
    const bool ok = on ? Autostart::enable(m_programPath, &error) : Autostart::disable(&error);
    if (!ok)
        emit failed(error);
}

void StartupSettings::setStartMinimized(bool on)
{
    if (m_minimized == on)
        return;
    m_minimized = on;
    emit startMinimizedChanged(on); // before the windows show it
    emit changed();
}

void StartupSettings::setReleaseCheckAtStart(bool on)
{
    if (m_release == on)
        return;
    m_release = on;
    emit changed();
}

void StartupSettings::declareConfig(ConfigRegistry &r)
{
    using CS = QStringList;
    const int A = ConfigSection::Announcement;
    r.add(ConfigKeys::make(
        A, 190, "START=", [this] { return m_login ? CS{QStringLiteral("START=Y")} : CS(); },
        [this](const QString &v) {
            if (v == QLatin1String("Y"))
                setStartAtLogin(true);
        }));
    r.add(ConfigKeys::make(
        A, 200, "REDUCE=", [this] { return m_minimized ? CS{QStringLiteral("REDUCE=Y")} : CS(); },
        [this](const QString &v) {
            if (v == QLatin1String("Y"))
                setStartMinimized(true);
        }));
    r.add(ConfigKeys::make(
        ConfigSection::Release, 10, "VERSTART=",
        [this] { return CS{m_release ? QStringLiteral("VERSTART=1") : QStringLiteral("VERSTART=0")}; },
        [this](const QString &v) {
            if (v == QLatin1String("1"))
                setReleaseCheckAtStart(true);
        }));
}

} // namespace auravox
