#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace auravox {

// The files of the working folder that the station page chooses and uploads:
// the header, hello and goodbye waves and the clips of the voice folders.
//
// A name is relative to the folder, its parts joined by '/'. It never leaves
// the folder: no absolute name, no empty, "." or ".." part, no hidden part
// (the password and the program's own files start with a dot or are no
// waves), and no part that is a link to somewhere outside.
class WorkingFiles
{
public:
    // An upload's size at most: about two minutes of 16-bit mono at 16 kHz
    // takes 4 MB; a header or a clip is a few seconds.
    static constexpr qsizetype kMaxUploadBytes = 4 * 1024 * 1024;
    // How deep the lists look below the folder (the voice folders' clips).
    static constexpr int kListDepth = 2;

    // `folder`: the working folder (the current directory when empty).
    explicit WorkingFiles(QString folder = QString());

    // The absolute path of `name` inside the folder; nothing, with the reason
    // in `why`, when the name leaves it.
    std::optional<QString> resolve(const QString &name, QString *why) const;

    // Stores an uploaded wave under `name`: refused when too large, when the
    // name is no ".wav" inside the folder, or when the player would refuse it
    // (with the player's own text, "Err: none PCM file", ...). The bytes go
    // to a temporary file in the same folder, are synced, and are renamed
    // over `name` in one step, so the old file or the new one is there whole
    // at every instant. Missing folders of the name are created. Empty on
    // success, else the refusal.
    QString storeWave(const QString &name, const QByteArray &bytes, qsizetype maxBytes = kMaxUploadBytes) const;

    // The ".wav" files and the folders of the working folder (by name,
    // sorted, links out of it left out), down to kListDepth levels.
    QStringList waveFiles() const;
    QStringList folders() const;

private:
    QString base() const;
    QString m_folder;
};

} // namespace auravox
