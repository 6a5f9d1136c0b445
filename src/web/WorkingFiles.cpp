#include "web/WorkingFiles.h"

#include "common/Log.h"
#include "engine/WavLoader.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace auravox {

namespace {

const QString kOutside = QStringLiteral("the name must stay inside the working folder");
constexpr int kMaxListed = 500;

bool isWave(const QString &name)
{
    return name.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive);
}

// Whether `path` (canonical) is `base` or below it.
bool within(const QString &base, const QString &path)
{
    return path == base || path.startsWith(base + QLatin1Char('/'));
}

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

WorkingFiles::WorkingFiles(QString folder) : m_folder(std::move(folder)) {}

QString WorkingFiles::base() const
{
    return QDir(m_folder.isEmpty() ? QDir::currentPath() : m_folder).canonicalPath();
}

std::optional<QString> WorkingFiles::resolve(const QString &name, QString *why) const
{
    *why = kOutside;
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QChar(0)))
        return std::nullopt;
    const QStringList parts = name.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part.startsWith(QLatin1Char('.')))
            return std::nullopt; // "", ".", ".." and hidden names
    }
    const QString root = base();
    if (root.isEmpty())
        return std::nullopt;
    // Every part that exists must still lead inside once its links are followed.
    QString path = root;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            break;
        const QString real = info.canonicalFilePath();
        if (real.isEmpty() || !within(root, real))
            return std::nullopt; // a link out of the folder, or one that leads nowhere
    }
    why->clear();
    return root + QLatin1Char('/') + name;
}

QString WorkingFiles::storeWave(const QString &name, const QByteArray &bytes, qsizetype maxBytes) const
{
    if (bytes.size() > maxBytes)
        return QStringLiteral("the file is too large (%1 bytes at most)").arg(maxBytes);
    if (!isWave(name))
        return QStringLiteral("only .wav files can be uploaded");
    QString why;
    const std::optional<QString> target = resolve(name, &why);
    if (!target)
        return why;
    const QFileInfo info(*target);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return QStringLiteral("%1 is not a plain file").arg(name);
    // The player's own checks, with its texts.
    {
        QByteArray copy = bytes;
        QBuffer in(&copy);
        in.open(QIODevice::ReadOnly);
        LoadedClip clip;
        if (const ClipError e = loadWav(in, clip); e != ClipError::None)
            return clipErrorText(e, ClipOrigin::File);
    }
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make the folder of %1").arg(name);
    // The folders just made are checked again: one may have been a link made meanwhile.
    if (!resolve(name, &why))
        return why;
    QTemporaryFile temp(folder + QStringLiteral("/.upload-XXXXXX"));
    if (!temp.open() || temp.write(bytes) != bytes.size() || !temp.flush() || ::fsync(temp.handle()) != 0) {
        qCWarning(lcWeb).noquote() << "upload of" << name << "not written:" << temp.errorString();
        return QStringLiteral("cannot write %1").arg(name);
    }
    temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(*target).constData()) != 0) {
        qCWarning(lcWeb).noquote() << "upload of" << name << "not renamed into place:" << qt_error_string(errno);
        return QStringLiteral("cannot write %1").arg(name);
    }
    temp.setAutoRemove(false);
    syncFolder(folder);
    qCInfo(lcWeb).noquote() << QStringLiteral("uploaded %1 (%2 bytes) from the station page").arg(name).arg(bytes.size());
    return QString();
}

namespace {
QStringList listed(const QString &root, int depth, bool wantFolders)
{
    QStringList out;
    if (root.isEmpty() || depth < 0)
        return out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (it.hasNext() && out.size() < kMaxListed) {
        const QFileInfo info = it.nextFileInfo();
        if (info.fileName().startsWith(QLatin1Char('.')))
            continue;
        if (info.isDir()) {
            if (wantFolders)
                out << info.fileName();
            for (const QString &below : listed(info.filePath(), depth - 1, wantFolders))
                out << info.fileName() + QLatin1Char('/') + below;
        } else if (!wantFolders && info.isFile() && isWave(info.fileName())) {
            out << info.fileName();
        }
    }
    return out;
}
} // namespace

QStringList WorkingFiles::waveFiles() const
{
    QStringList out = listed(base(), kListDepth, false);
    out.sort(Qt::CaseInsensitive);
    return out;
}

QStringList WorkingFiles::folders() const
{
    QStringList out = listed(base(), kListDepth - 1, true);
    out.sort(Qt::CaseInsensitive);
    return out;
}

} // namespace auravox
