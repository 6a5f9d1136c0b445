// The kind of transmitter port in "auravox.ini": the serial settings read and
// save as before, the new keys after every other key and only when they
// differ from their defaults, and values that can't be used refused with what
// to fix.

#include "common/ConfigRegistry.h"
#include "transmitter/PortSettings.h"

#include "support/LogCapture.h"
#include "support/MainWindowHarness.h"
#include "support/WavBuilder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

QStringList saved(PortSettings &p)
{
    ConfigRegistry r;
    p.declareConfig(r);
    return r.lines(QStringLiteral("[H]")).mid(1);
}

QStringList loadAndSave(const QStringList &lines)
{
    PortSettings p;
    ConfigRegistry r;
    p.declareConfig(r);
    r.apply(lines);
    return r.lines(QStringLiteral("[H]")).mid(1);
}

QByteArray fixture(const char *name)
{
    return readFile(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/config/") + QLatin1String(name));
}

} // namespace

TEST(PttSettings, DefaultsWriteNothingNewAndTheKindsKeysComeLastOnlyWhenChanged)
{
    PortSettings p;
    EXPECT_TRUE(saved(p).isEmpty()) << "a serial port with its defaults: no key, as before";
    p.setSavedPort(QStringLiteral("2"));
    EXPECT_EQ(saved(p), QStringList({"COM=2"}));

    PttSettings fob;
    fob.kind = PttKind::Cm108;
    fob.cm108.productId = 0x013c;
    fob.cm108.startBit = 0;
    ASSERT_TRUE(p.setPtt(fob).isEmpty());
    EXPECT_EQ(saved(p), QStringList({"COM=2", "PTT_TYPE=CM108", "CM108_ID=0d8c:013c", "CM108_START=0"}));

    PttSettings rig;
    rig.kind = PttKind::Rig;
    rig.rig.model = 1035;
    rig.rig.port = QStringLiteral("/dev/ttyUSB0");
    rig.rig.baud = 38400;
    rig.rig.inhibitOnDcd = false;
    ASSERT_TRUE(p.setPtt(rig).isEmpty());
    EXPECT_EQ(saved(p), QStringList({"COM=2", "PTT_TYPE=RIG", "RIG_MODEL=1035", "RIG_PORT=/dev/ttyUSB0",
                                     "RIG_BAUD=38400", "RIG_DCD=0"}));
}

TEST(PttSettings, EveryKeyReadsBackAsWritten)
{
    const QStringList lines{"COM=3",
                            "DTR=0",
                            "PTT_TYPE=GPIO",
                            "CM108_DEVICE=/dev/hidraw3",
                            "CM108_ID=0d8c:000c",
                            "CM108_GPIO=4",
                            "CM108_INHIBIT=-1",
                            "CM108_START=2",
                            "GPIO_CHIP=gpiochip1",
                            "GPIO_PTT=17",
                            "GPIO_PTT_LOW=1",
                            "GPIO_START=22",
                            "GPIO_INHIBIT=27",
                            "GPIO_INPUT_LOW=1",
                            "RIG_MODEL=1",
                            "RIG_PORT=/dev/ttyACM0",
                            "RIG_BAUD=9600",
                            "RIG_DCD=0",
                            "RIG_TIMEOUT=500"};
    EXPECT_EQ(loadAndSave(lines), lines);
}

TEST(PttSettings, AValueAKeyDoesNotTakeIsLoggedAndLeavesTheSetting)
{
    LogCapture log;
    EXPECT_EQ(
        loadAndSave({"PTT_TYPE=USB", "CM108_GPIO=9", "CM108_ID=0d8c", "GPIO_PTT=x", "RIG_DCD=Y", "RIG_TIMEOUT=20"}),
        QStringList());
    EXPECT_EQ(log.matching({"auravox.port", "is not a value this key takes"}).size(), 6);
    EXPECT_EQ(log.matching({"auravox.ini: CM108_GPIO=9 is not a value this key takes: kept at 3"}).size(), 1);
}

TEST(PttSettings, SettingsThatCannotBeUsedAreRefusedWithWhatToFix)
{
    PortSettings p;
    PttSettings s;
    s.kind = PttKind::Gpio;
    EXPECT_EQ(p.setPtt(s), QStringList({"Choose the PTT line's offset on the GPIO chip."}));
    s.gpio.pttLine = 4;
    s.gpio.startLine = 4;
    s.gpio.inhibitLine = 2000;
    EXPECT_EQ(p.setPtt(s), QStringList({"The inhibit line offset must be 0 to 1023 (or none).",
                                        "An input line can't be the PTT line."}));
    EXPECT_EQ(p.ptt().kind, PttKind::Serial) << "kept what it had";

    s = {};
    s.kind = PttKind::Cm108;
    s.cm108.pttGpio = 0;
    s.cm108.startBit = 1; // the inhibit's bit
    EXPECT_EQ(p.setPtt(s), QStringList({"The fob's PTT GPIO must be 1 to 8 (GPIO3 on most interface boards).",
                                        "The fob's start and inhibit inputs must be different bits."}));
    s = {};
    s.kind = PttKind::Rig;
    s.rig.port.clear();
    EXPECT_EQ(p.setPtt(s), QStringList({"Name the rig's serial device, or host:port for rigctld."}));
    s.rig.port = QStringLiteral("localhost:4532");
    EXPECT_TRUE(p.setPtt(s).isEmpty());
    EXPECT_EQ(p.ptt().rig.port, QStringLiteral("localhost:4532"));
}

// The whole file through the program: an older file and its serial settings
// come back byte for byte, and so does one with a kind this program can't
// open here, its keys at the end.
TEST(PttSettings, FilesWithAndWithoutTheNewKeysSaveByteForByte)
{
    for (const QByteArray &tail : {QByteArray(), QByteArray("PTT_TYPE=CM108\r\nCM108_DEVICE=/dev/hidraw-none\r\n"
                                                            "CM108_START=0\r\n")}) {
        const QByteArray ini = fixture("every_key.ini") + tail;
        QTemporaryDir dir;
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")), ini));
        MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5, 30)), false, nullptr, dir.path());
        h.serial().ports << QStringLiteral("COM2");
        h.windows().serialPort().discoverPorts();
        h.load();
        h.pump();
        ASSERT_TRUE(h.form().SaveConfiguration());
        EXPECT_EQ(QString::fromLatin1(readFile(dir.filePath(QStringLiteral("auravox.ini")))), QString::fromLatin1(ini));
    }
}
