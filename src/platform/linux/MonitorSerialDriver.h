#pragma once

#include "common/UniqueFd.h"
#include "stations/MonitorProtocol.h"
#include "stations/MonitorStation.h"

#include <QString>

#include <functional>

namespace auravox {

// The Davis Weather Monitor II spoken to directly over a serial port
// (termios), in place of the vendor library.
//
// Every reply has a time limit (replyTimeoutMs, 1 s by default); a reply that
// does not come in time, is refused or fails its CRC is retried once after
// the input has been discarded, then the call gives its "no value" result.
// The station can therefore never hold a call longer than two time limits
// (four for GetBarometerTrend: a memory read, then a LOOP read for the
// fallback); OpenCommPort gives up after three on a silent line.
//
// A line that hangs up or fails (read gives 0 or EIO, poll reports POLLHUP or
// POLLERR: a USB adapter reset or unplugged) is closed at once; the next
// reading (GetInsideTemp) opens the port again by its path, as often as it
// takes, until CloseCommPort or another OpenCommPort. Until then every call
// gives its "no value" result.
//
// A reading is GetInsideTemp followed by the other calls: GetInsideTemp
// always fetches a new LOOP packet, the others use that packet while it is
// less than kPacketFreshMs old by the injected clock, and fetch one otherwise.
class MonitorSerialDriver : public MonitorStation
{
public:
    // Port number to device path; empty when the port does not exist.
    using PortPath = std::function<QString(int port)>;
    // Milliseconds of a monotonic clock.
    using Clock = std::function<qint64()>;

    // Version of this driver, what GetDllVersion reports: 1.000.
    static constexpr double kDriverVersion = 1.0;
    static constexpr qint64 kPacketFreshMs = 10000;
    static constexpr int kDefaultReplyTimeoutMs = 1000;

    // COM1-32 = /dev/ttyS0-31, COM33-64 = /dev/ttyUSB0-31,
    // COM65-96 = /dev/ttyACM0-31 (the mapping of the serial control lines).
    static QString defaultPortPath(int port);
    static qint64 steadyClockMs();

    explicit MonitorSerialDriver(PortPath portPath = &MonitorSerialDriver::defaultPortPath,
                                 Clock clock = &MonitorSerialDriver::steadyClockMs);
    ~MonitorSerialDriver() override;
    MonitorSerialDriver(const MonitorSerialDriver &) = delete;
    MonitorSerialDriver &operator=(const MonitorSerialDriver &) = delete;

    // Time limit for each reply of the station (and for sending a command).
    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms > 0 ? ms : 1; }
    int replyTimeoutMs() const { return m_replyTimeoutMs; }

    bool isOpen() const { return m_fd.isValid(); }
    // The port OpenCommPort opened last (0 after CloseCommPort), still wanted
    // while its line is down.
    int port() const { return m_port; }
    // The calibration read when the port was opened (zeros when unreadable).
    MonitorCalibration calibration() const { return m_calibration; }

    int OpenCommPort(int port, int baud) override;
    void CloseCommPort() override;
    double GetDllVersion() override;
    double GetInsideTemp() override;
    double GetOutsideTemp() override;
    double GetBarometer() override;
    quint8 GetBarometerTrend() override;
    double GetWindSpeed() override;
    int GetWindDirection() override;

private:
    enum class Reply
    {
        Ok,
        Refused,   // "!"
        Cancelled, // CAN: a Rev E adapter wants the handshake again
        NoAnswer,  // nothing (complete) before the time limit
        BadData,   // a packet whose CRC does not check
    };

    // Opens and sets up the line and asks for the station; false when none answers.
    bool openLine(int port, int baud);
    // Closes the descriptor; the wanted port stays.
    void closeLine();
    // The line hung up or failed: closed, to be opened again at the next reading.
    void lineLost(const char *what, int error);
    // Opens the wanted port again when its line was lost; true when open.
    bool reopenLine();

    // Sends `command` and reads ACK + `size` bytes into `payload`; one retry.
    Reply transact(const QByteArray &command, int size, QByteArray &payload);
    Reply transactOnce(const QByteArray &command, int size, QByteArray &payload);
    Reply readLoopOnce(std::optional<LoopPacket> &packet);
    // Discards the input, sends `command` and waits for its ACK.
    Reply sendCommand(const QByteArray &command, qint64 deadlineMs);
    void sendHandshake();

    bool writeAll(const QByteArray &bytes, qint64 deadlineMs);
    // One byte before the deadline; false on timeout or error.
    bool readByte(char &byte, qint64 deadlineMs);
    bool readBytes(QByteArray &out, int size, qint64 deadlineMs);
    void discardInput();

    // The packet of the current reading, fetched when missing or stale.
    const LoopPacket *packet(bool fresh);

    PortPath m_portPath;
    Clock m_clock;
    int m_replyTimeoutMs = kDefaultReplyTimeoutMs;
    UniqueFd m_fd;
    int m_port = 0; // wanted: reopened after a hang-up until CloseCommPort
    int m_baud = 0;
    QString m_path;
    int m_openErrno = 0;
    bool m_reopenFailureLogged = false;
    bool m_opening = false;
    MonitorCalibration m_calibration;
    std::optional<LoopPacket> m_packet;
    qint64 m_packetMs = 0;
    bool m_trendRefused = false;
    BarometerHistory m_history;
};

} // namespace auravox
