#include "peers/RecorderSettings.h"

#include "common/ConfigKeys.h"

#include <QFileInfo>

namespace auravox {

RecorderSettings::RecorderSettings(QObject *parent) : QObject(parent) {}

void RecorderSettings::setProgramPath(const QString &path)
{
    if (m_path == path)
        return;
    m_path = path;
    emit changed();
}

bool RecorderSettings::chooseProgram(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    setProgramPath(path);
    return true;
}

void RecorderSettings::declareConfig(ConfigRegistry &r)
{
    r.add(ConfigKeys::make(
        ConfigSection::Announcement, kConfigPosition, "RECORDER=",
        [this] { return QStringList{QStringLiteral("RECORDER=") + m_path}; },
        [this](const QString &v) {
            if (!v.isEmpty())
                setProgramPath(v);
        }));
}

} // namespace auravox
