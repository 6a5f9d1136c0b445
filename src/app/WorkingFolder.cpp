#include "app/WorkingFolder.h"

#include "engine/ClipCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace auravox::WorkingFolder {

QString choose(const QString &executableFolder)
{
    QString folder = qEnvironmentVariable("AURAVOX_HOME");
    if (folder.isEmpty()) {
        const QFileInfo exe(executableFolder);
        if (!executableFolder.isEmpty() && exe.isDir() && exe.isWritable()) {
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
