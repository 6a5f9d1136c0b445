#include "app/WorkingFolder.h"

#include "engine/ClipCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace auravox::WorkingFolder {

namespace {

// A folder that holds the system's or the user's commands: a writable one (root's
// /usr/bin, a user's ~/.local/bin) is no portable install, and settings, logs and
// weather files have no business there.
bool holdsCommands(const QString &folder)
{
    static const QStringList systemFolders = {
        QStringLiteral("/bin"),           QStringLiteral("/sbin"),
        QStringLiteral("/usr/bin"),       QStringLiteral("/usr/sbin"),
        QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/local/sbin"),
        QStringLiteral("/usr/games"),     QStringLiteral("/usr/local/games"),
    };
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    QStringList candidates = systemFolders;
    candidates += qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &candidate : std::as_const(candidates)) {
        if (QFileInfo(candidate).canonicalFilePath() == canonical)
            return true;
    }
    return false;
}

} // namespace

QString choose(const QString &executableFolder)
{
    QString folder = qEnvironmentVariable("AURAVOX_HOME");
    if (folder.isEmpty()) {
        const QFileInfo exe(executableFolder);
        if (!executableFolder.isEmpty() && exe.isDir() && exe.isWritable()
            && !holdsCommands(executableFolder)) {
            folder = executableFolder;
        } else {
            QString data = qEnvironmentVariable("XDG_DATA_HOME");
            if (data.isEmpty())
                data = QDir::homePath() + QStringLiteral("/.local/share");
            folder = data + QStringLiteral("/auravox");
        }
    }
    if (!QDir().mkpath(folder))
        return QString();
    return QDir(folder).absolutePath();
}

QString publicWeatherFolder()
{
    QString folder = qEnvironmentVariable("AURAVOX_PUBLIC_DIR");
    if (folder.isEmpty()) {
        QString share = QStandardPaths::writableLocation(QStandardPaths::PublicShareLocation);
        if (share.isEmpty())
            share = QDir::homePath() + QStringLiteral("/Public");
        folder = share + QStringLiteral("/weather");
    }
    if (!QDir().mkpath(folder))
        return QString();
    return QDir(folder).absolutePath();
}

bool seedHelloFile(const QString &folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("kuckoo.wav"));
    if (QFileInfo::exists(path))
        return true;
    const QByteArray data = ClipCatalogue::defaultHelloFile();
    QSaveFile file(path);
    if (data.isEmpty() || !file.open(QIODevice::WriteOnly))
        return false;
    file.write(data);
    return file.commit();
}

bool seedHelpPage(const QString &folder)
{
    QFile builtIn(QStringLiteral(":/resources/auravox_help.html"));
    if (!builtIn.open(QIODevice::ReadOnly))
        return false;
    const QByteArray page = builtIn.readAll();
    const QString path = QDir(folder).filePath(QStringLiteral("auravox_help.html"));
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == page)
        return true;
    current.close();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(page);
    return file.commit();
}

} // namespace auravox::WorkingFolder
