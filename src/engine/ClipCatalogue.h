#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class QIODevice;

namespace auravox {

// The program's own voice clips (PCM mono 16 kHz 16-bit WAV files, one per
// clip, in the clips folder both programs share), looked up by name without
// regard to case: "son_first" finds SON_FIRST. A clip is read from its file
// only when it is played, so the clips cost no memory while none plays.
class ClipCatalogue
{
public:
    // Scans the program's clips folder (builtInFolder()).
    ClipCatalogue();
    // Scans another resource or disk folder of NAME.wav files (tests).
    explicit ClipCatalogue(const QString &folder);

    // An open stream on the clip's WAV data, or null when there is no such clip.
    std::unique_ptr<QIODevice> open(const QString &name) const;
    bool contains(const QString &name) const;
    // The clip's whole WAV file, or an empty array.
    QByteArray wavData(const QString &name) const;

    // Upper-case names, sorted.
    QStringList names() const;
    int size() const { return static_cast<int>(m_paths.size()); }

    // The program's clips folder: share/auravox/clips beside the program's
    // folder of commands (/usr/share/auravox/clips for /usr/bin), else the
    // `fallback` (the source tree's resources/clips for a program run from its
    // build folder), else an empty string.
    static QString builtInFolder(const QString &programDir, const QString &fallback);
    // The same for the running program, with the folder the build names.
    static QString builtInFolder();

    // The built-in default hello file, "kuckoo.wav".
    static QByteArray defaultHelloFile();

    // The operator's own voice: a folder of WAV files named as the catalogue
    // names its clips (SON5.wav, son_first.WAV, ...), each of which stands in
    // for the built-in clip of that name. Empty: the built-in voice only.
    void setVoiceFolder(const QString &folder) { m_voiceFolder = folder; }
    QString voiceFolder() const { return m_voiceFolder; }
    // The path of the voice folder's file for that clip, found without regard
    // to case, or an empty string when the folder has none (or no folder is
    // set). The folder is read at each call, so files added or removed while
    // the program runs count from the next clip on.
    QString voiceFile(const QString &name) const;

private:
    QHash<QString, QString> m_paths; // upper-case name -> path
    QString m_voiceFolder;
};

} // namespace auravox
