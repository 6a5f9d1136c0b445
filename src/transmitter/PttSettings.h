#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
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

// One setting of the kinds: its key in "auravox.ini", its name on the station
// page (under its kind's name: "rig", "port"), and what it takes. The file and
// the page read and set the settings through these alone.
struct PttField
{
    enum class Type { Kind, Text, Number, Flag, UsbId };
    // The kind the setting belongs to (Serial for PTT_TYPE= itself).
    PttKind kind;
    const char *key;  // "RIG_PORT="
    const char *name; // "port"
    Type type;
    int low = 0, high = 0; // the range of a number
    std::function<QString(const PttSettings &)> get;
    // False, with the settings untouched: not a value this setting takes.
    std::function<bool(PttSettings &, const QString &)> set;

    // What it takes, for a refusal: "a whole number from 1 to 8".
    QString takes() const;
};

// Every setting, in the order of their keys in the file: PTT_TYPE= first,
// then the fob's, the GPIO line's and the rig's.
const QList<PttField> &pttFields();
// The page's name of a kind's group of settings: "cm108", "gpio", "rig"
// (empty for the serial port, whose settings are the port and its boxes).
QString pttGroupName(PttKind kind);

// The settings as the station page reads them: {"kind": "RIG", "cm108": {..},
// "gpio": {..}, "rig": {"model": 2, "port": "127.0.0.1:4532", ..}}, numbers
// and flags as JSON numbers and booleans.
QJsonObject pttToJson(const PttSettings &settings);
// Applies the page's change (the same shape, any part of it) to `settings`:
// empty, or why a value is refused (then `settings` is as it was). Whether the
// settings fit together is PttSettings::problems().
QString applyPttJson(const QJsonObject &change, PttSettings *settings);

} // namespace auravox
