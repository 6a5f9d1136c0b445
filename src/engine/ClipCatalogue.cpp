#include "engine/ClipCatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace auravox {

ClipCatalogue::ClipCatalogue() : ClipCatalogue(builtInFolder()) {}

QString ClipCatalogue::builtInFolder(const QString &programDir, const QString &fallback)
{
    const QString installed = QDir::cleanPath(programDir + QStringLiteral("/" AURAVOX_DATA_RELDIR "/clips"));
    if (!programDir.isEmpty() && QFileInfo(installed).isDir())
        return installed;
    if (!fallback.isEmpty() && QFileInfo(fallback).isDir())
        return QDir::cleanPath(fallback);
    return {};
}

QString ClipCatalogue::builtInFolder()
{
    const QString programDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    return builtInFolder(programDir, QStringLiteral(AURAVOX_BUILD_CLIPS_DIR));
}

ClipCatalogue::ClipCatalogue(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList({QStringLiteral("*.wav"), QStringLiteral("*.WAV")}, QDir::Files);
    for (const QFileInfo &entry : entries)
        m_paths.insert(entry.completeBaseName().toUpper(), entry.filePath());
}

std::unique_ptr<QIODevice> ClipCatalogue::open(const QString &name) const
{
    const auto it = m_paths.constFind(name.toUpper());
    if (it == m_paths.constEnd())
        return nullptr;
    auto file = std::make_unique<QFile>(it.value());
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return file;
}

bool ClipCatalogue::contains(const QString &name) const
{
    return m_paths.contains(name.toUpper());
}

QByteArray ClipCatalogue::wavData(const QString &name) const
{
    const std::unique_ptr<QIODevice> in = open(name);
    return in ? in->readAll() : QByteArray();
}

QString ClipCatalogue::voiceFile(const QString &name) const
{
    if (m_voiceFolder.isEmpty() || name.isEmpty())
        return {};
    const QString wanted = name + QStringLiteral(".wav");
    const QDir dir(m_voiceFolder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Readable);
    for (const QString &entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return {};
}

QStringList ClipCatalogue::names() const
{
    QStringList list = m_paths.keys();
    std::sort(list.begin(), list.end());
    return list;
}

QByteArray ClipCatalogue::defaultHelloFile()
{
    QFile file(QStringLiteral(":/resources/kuckoo.wav"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace auravox
