#pragma once

#include "common/UniqueFd.h"
#include "stations/MonitorProtocol.h"

#include <QByteArray>
#include <QString>

#include <mutex>
#include <thread>

namespace auravox {

// A simulated Davis Weather Monitor II on the master side of a
// pseudo-terminal: the driver (or any program) opens slavePath() as if it were
// the station's serial port. The station runs in its own thread and answers
// LOOP (ACK and packets, stopped by any new command), the WRD reads of the
// station type, the calibration values and the trend bits, the CRC0 handshake,
// and "!" to anything else.
//
// Every knob may be set from any thread while the station runs; it applies to
// the next command the station reads.
class MonitorSimulator
{
public:
    enum class TrendRead
    {
        Answer, // ACK and the trend bits
        Refuse, // "!"
        Ignore, // no reply at all
    };

    MonitorSimulator();
    ~MonitorSimulator();
    MonitorSimulator(const MonitorSimulator &) = delete;
    MonitorSimulator &operator=(const MonitorSimulator &) = delete;

    // False when no pseudo-terminal could be made (slavePath() is then empty).
    bool isRunning() const { return m_thread.joinable(); }
    // "/dev/pts/N".
    QString slavePath() const { return m_slavePath; }

    // The values of the next packets, in the station's raw units; an empty
    // field is sent as its no-value code.
    void setPacket(const LoopPacket &packet);
    LoopPacket packet() const;
    void setCalibration(const MonitorCalibration &calibration);
    void setTrendBits(quint8 bits);
    void setTrendRead(TrendRead mode);
    void setStationType(quint8 type);
    // The next `count` packets go out with a wrong CRC.
    void corruptNextPackets(int count);
    // A silent station reads its line and never answers.
    void setSilent(bool silent);
    // A Rev E adapter: until the CRC0 handshake has arrived every command gets
    // CAN. Switching the mode on forgets an earlier handshake.
    void setRevE(bool revE);
    // The line hangs up in the middle of the next packet, as a USB adapter
    // that is reset or unplugged: after `bytes` bytes of it (the ACK before it
    // goes out whole) the pseudo-terminal is closed and the station is gone
    // for good. The path may later name another pseudo-terminal.
    void hangUpInNextPacket(int bytes);
    // True once the line has hung up.
    bool hungUp() const;
    // Packets and trend bits from demoWeather() with this seed, over the time
    // since the call; setPacket() and setTrendBits() switch it off again.
    void useDemoWeather(quint32 seed);

    // Plausible weather that varies slowly, the same for the same seed and
    // time: about 68 F inside, 50 F outside, 29.92 inHg, wind 5 to 15 mph
    // from about 225 degrees.
    static LoopPacket demoWeather(quint32 seed, qint64 elapsedMs);
    // The trend bits matching demoWeather(): its barometer change over the
    // last three hours.
    static quint8 demoTrendBits(quint32 seed, qint64 elapsedMs);

    // What the station was asked so far.
    int loopCommands() const;
    int trendReads() const;
    int handshakes() const;

private:
    void run();
    // Takes the commands complete in m_input; called with the mutex held.
    void processInput();
    void answerWrd(quint8 nibblesAndBank, quint8 address);
    QByteArray nextPacket();

    UniqueFd m_master;
    UniqueFd m_slave; // held open so the master never sees a hang-up
    UniqueFd m_stopFd;
    QString m_slavePath;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    LoopPacket m_packet;
    MonitorCalibration m_calibration;
    quint8 m_trendBits = 0x01;
    TrendRead m_trendRead = TrendRead::Answer;
    quint8 m_stationType = monitor::kStationTypeMonitor;
    int m_corrupt = 0;
    bool m_silent = false;
    bool m_revE = false;
    bool m_handshakeDone = false;
    bool m_demo = false;
    quint32 m_demoSeed = 0;
    qint64 m_demoStartMs = 0;
    QByteArray m_input;
    QByteArray m_output;
    int m_packetsLeft = 0;
    int m_hangUpAfter = -1; // bytes of the next packet before the hang-up; -1 for none
    bool m_hangUpDue = false;
    bool m_hungUp = false;
    int m_loopCommands = 0;
    int m_trendReads = 0;
    int m_handshakes = 0;
};

} // namespace auravox
