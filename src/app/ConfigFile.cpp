#include "app/ConfigFile.h"

#include "common/ConfigRegistry.h"
#include "common/Log.h"
#include "common/TextFile.h"

namespace auravox {

QString ConfigFile::header()
{
    return QStringLiteral("[AURAVOX V") + QStringLiteral(AURAVOX_VERSION) + QLatin1Char(']');
}

bool ConfigFile::load(const ConfigRegistry &registry, QStringList *lines, const QString &file)
{
    QStringList read;
    if (!TextFile::readLines(file, &read))
        return false;
    if (lines)
        *lines = read;
    registry.apply(read);
    return true;
}

bool ConfigFile::save(const ConfigRegistry &registry, QStringList *lines, const QString &file,
                      const QString &tempFile)
{
    const QStringList written = registry.lines(header());
    if (lines)
        *lines = written;
    QString why;
    if (TextFile::writeLinesAtomically(file, tempFile, written, kPermissions, &why))
        return true;
    qCWarning(lcConfig).noquote() << QStringLiteral("%1 (%2); the file keeps the settings it had").arg(kSaveError, why);
    return false;
}

} // namespace auravox
