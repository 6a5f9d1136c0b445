#pragma once

#include "common/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class QSocketNotifier;

namespace auravox {
class AlsaWaveOutput;
}

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

    // A PCM that writes its raw stereo samples to `path` through the same file
    // plugin; a "| command" path pipes them into the command.
    static QString filePcm(const QString &path);
    // A PCM that plays in real time and reports its delay (tests/alsa's
    // plugin): its samples go to `dataPath`, when it played them to `logPath`.
    static QString realTimePcm(const QString &dataPath, const QString &logPath);
    // Lets the event loop run until every device `out` closed has really
    // closed (its writer thread ended), so that what it wrote is all in the
    // capture. False if that did not happen (a hang guard, not a timing check).
    static bool settle(AlsaWaveOutput &out);

private:
    AlsaCapture();
    QTemporaryDir m_dir;
    QString m_rawPath;
};

// A sound device that stops taking audio when told: ALSA's file plugin writing
// into a named pipe. Nobody reading the pipe is a device that stalls: with no
// reader at all it can't be opened (the plugin waits for one), with a reader
// that does not read it takes what the pipe holds and then no more. Once the
// test drains the pipe the device is back, and the samples come out in
// data(). Settle the output (AlsaCapture::settle) with the device drained
// before the device goes.
class StallingDevice
{
public:
    StallingDevice();
    ~StallingDevice();

    QString pcm() const;
    // Someone opens the pipe but reads nothing.
    void holdReader();
    // The device is back: everything written from now on is read into data().
    void drain();
    // What the device took so far (read from the pipe now, too).
    QByteArray data();
    void clearData();

private:
    void openReader();
    void readAvailable();
    QTemporaryDir m_dir;
    QString m_path;
    UniqueFd m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_data;
};

} // namespace auravox::test
