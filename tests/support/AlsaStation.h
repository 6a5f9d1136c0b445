#pragma once

#include "common/Clock.h"
#include "engine/Announcer.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "support/FakeAnnounceHost.h"
#include "support/FakeSerialLines.h"
#include "support/ScriptedPrompts.h"
#include "transmitter/Transmitter.h"

#include <QStringList>
#include <QTemporaryDir>

#include <vector>

namespace auravox::test {

// The announcement engine as the program builds it, on the system clock and
// the ALSA output of `pcm`, keying the transmitter on pretend serial lines.
// The lines' changes and the device's openings are stamped on the monotonic
// clock (monotonicNs()), as the test devices stamp their samples. It speaks
// the time alone: the hour, the minutes (none at minute 0), am or pm.
class AlsaStation final : public AnnounceObserver
{
public:
    explicit AlsaStation(const QString &pcm);
    ~AlsaStation() override;

    // One announcement, to its end: the clips it played, each as its count
    // of frames; empty when it did not end within a minute (a hang guard) or
    // did not end with "AURAVOX DONE".
    std::vector<qint64> announce();
    // Every sample of every clip played so far, in order (mono, 16 bits).
    QByteArray samplesPlayed() const;
    const std::vector<qint64> &releases() const { return m_releases; } // DTR falls
    const std::vector<qint64> &opens() const { return m_opens; }       // a clip's device opened
    static constexpr int kFrameRate = 16000;                           // the built-in clips'

    void clipStarted(const QString &clip) override { m_clips << clip; }

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    SystemClock m_clock;
    AlsaWaveOutput m_alsa;
    ScriptedPrompts m_prompts;
    FakeSerialLines m_serial;
    Transmitter m_transmitter;
    FakeHost m_host;
    Announcer m_engine;
    QStringList m_clips;
    std::vector<qint64> m_releases;
    std::vector<qint64> m_opens;
};

} // namespace auravox::test
