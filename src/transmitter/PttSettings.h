#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace auravox {

// What keys the transmitter, and how.
enum class PttKind {
    Serial, // DTR/RTS out, CTS/DSR start, DCD inhibit (the port list and its boxes)
    Cm108,  // a C-Media CM108/CM119 sound fob: a GPIO of the chip, HID input bits
    Gpio,   // a GPIO line of the board through the kernel's character device
    Rig,    // a rig's CAT port through Hamlib (a serial port, or rigctld on the network)
};

// The value of "PTT_TYPE=": "SERIAL", "CM108", "GPIO", "RIG".
QString pttKindName(PttKind kind);
std::optional<PttKind> pttKindFromName(const QString &name);

// The sound fob. Its HID input report's first byte carries the buttons that
// fobs wire the receiver's COS and a start switch to: bit 0 volume up, bit 1
// volume down, bit 2 playback mute, bit 3 record mute.
struct Cm108Settings
{
    static constexpr int kNoBit = -1;
    QString device;            // "/dev/hidraw2"; empty: the first fob found by its IDs
    quint16 vendorId = 0x0d8c; // C-Media
    quint16 productId = 0;     // 0: any of C-Media's CM108/CM119 family
    int pttGpio = 3;           // GPIO1..GPIO8 of the chip
    int inhibitBit = 1;        // volume down, as interface boards wire COS; kNoBit: none
    int startBit = kNoBit;     // none
    bool operator==(const Cm108Settings &) const = default;
};

// A GPIO line of the board: a chip ("gpiochip0", its number or its path) and
// line offsets on it.
struct GpioSettings
{
    static constexpr int kNoLine = -1;
    QString chip = QStringLiteral("gpiochip0");
    int pttLine = kNoLine;
    bool pttActiveLow = false;
    int startLine = kNoLine;
    int inhibitLine = kNoLine;
    bool inputsActiveLow = false; // a switch or COS that pulls the line to ground
    bool operator==(const GpioSettings &) const = default;
};

// A rig through Hamlib: a model number (2 is rigctld on the network) and where
// it is ("/dev/ttyUSB0", or "host:port" for rigctld).
struct RigSettings
{
    static constexpr int kNetworkModel = 2;
    int model = kNetworkModel;
    QString port = QStringLiteral("127.0.0.1:4532");
    int baud = 0;             // 0: the model's own speed
    bool inhibitOnDcd = true; // the rig's squelch (DCD) inhibits announcements
    int timeoutMs = 1000;     // a rig that does not answer within this is a failed call
    bool operator==(const RigSettings &) const = default;
};

struct PttSettings
{
    PttKind kind = PttKind::Serial;
    Cm108Settings cm108;
    GpioSettings gpio;
    RigSettings rig;
    bool operator==(const PttSettings &) const = default;

    // What is wrong with these settings for their kind, one sentence each that
    // says what to fix; empty when they can be used.
    QStringList problems() const;
};

} // namespace auravox
