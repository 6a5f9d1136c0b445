#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class QIODevice;

namespace auravox {

// The voice clips built into the program (PCM mono 16 kHz 16-bit WAV files
// compiled in with Qt's resource system), looked up by name without regard to
// case: "son_first" finds SON_FIRST.
class ClipCatalogue
{
public:
    // Scans the clips folder of the resources (":/resources/clips").
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

    // The built-in default hello file, "kuckoo.wav".
    static QByteArray defaultHelloFile();

private:
    QHash<QString, QString> m_paths; // upper-case name -> path
};

} // namespace auravox
