#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace auravox::test {

// Sends ALSA's "default" PCM of this process to a raw capture file, through
// ALSA's own file plugin over the null device, so tests run the real ALSA code
// and read back byte for byte what went out.
//
// It points HOME at a temporary folder whose .asoundrc redefines "default";
// ALSA reads that file when it first loads its configuration, so the capture
// must exist before the first ALSA call of the process (use instance() at the
// start of each test). Every open of the device appends (the plugin pipes into
// "cat >>"), and the null device takes data as fast as it comes, so a captured
// clip plays out at once. The capture is S16_LE, two interleaved channels.
class AlsaCapture
{
public:
    static AlsaCapture &instance();

    QString rawPath() const { return m_rawPath; }
    // Empties the capture file.
    void clear() const;
    QByteArray captured() const;

    static QByteArray leftChannel(const QByteArray &stereo16);
    static QByteArray rightChannel(const QByteArray &stereo16);

private:
    AlsaCapture();
    QTemporaryDir m_dir;
    QString m_rawPath;
};

} // namespace auravox::test
