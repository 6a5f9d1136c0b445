// The termios serial lines on files the test makes: what an open that fails
// says, which ports are the kernel console, and a port whose lines can't be set.

#include "platform/linux/TermiosSerialLines.h"
#include "transmitter/Transmitter.h"

#include "support/LogCapture.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace auravox;
using namespace auravox::test;

namespace {

// A device folder, a sysfs tty folder and a proc folder of the test's own.
struct Machine
{
    Machine()
    {
        QDir(dir.path()).mkpath(QStringLiteral("dev"));
        QDir(dir.path()).mkpath(QStringLiteral("sys/console"));
        QDir(dir.path()).mkpath(QStringLiteral("proc"));
    }
    QString path(const QString &rel) const { return dir.path() + QLatin1Char('/') + rel; }
    void write(const QString &rel, const QByteArray &text) const
    {
        QFile f(path(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    TermiosSerialLines lines() const { return TermiosSerialLines(path("dev"), path("sys"), path("proc")); }
    QTemporaryDir dir;
};

} // namespace

TEST(SerialLines, ConsoleDevicesComeFromEveryPlaceTheKernelNamesThem)
{
    EXPECT_EQ(TermiosSerialLines::consoleDevices(QStringLiteral("ttyS0                -W- (EC  p a)    4:64\n"
                                                                "tty0                 -WU (E     )    4:1\n"),
                                                 QStringLiteral("tty0 ttyS0\n"),
                                                 QStringLiteral("quiet console=ttyUSB1,115200n8 console=tty0 "
                                                                "-- console=ttyS9\n")),
              QStringList({"ttyS0", "tty0", "ttyUSB1"}))
        << "the words after -- belong to init";
    EXPECT_TRUE(TermiosSerialLines::consoleDevices(QString(), QString(), QStringLiteral("ro quiet")).isEmpty());
}

TEST(SerialLines, TheKernelConsoleIsRecognisedByItsDevice)
{
    Machine m;
    m.write("proc/consoles", "ttyS1                -W- (EC  p a)    4:65\n");
    m.write("proc/cmdline", "ro console=ttyACM0,9600\n");
    TermiosSerialLines lines = m.lines();
    EXPECT_TRUE(lines.isKernelConsole(QStringLiteral("COM2")));   // ttyS1
    EXPECT_TRUE(lines.isKernelConsole(QStringLiteral("COM65")));  // ttyACM0
    EXPECT_FALSE(lines.isKernelConsole(QStringLiteral("COM1")));  // ttyS0
    EXPECT_FALSE(lines.isKernelConsole(QStringLiteral("COM33"))); // ttyUSB0
}

TEST(SerialLines, AnOpenThatFailsSaysWhichDeviceAndWhy)
{
    Machine m;
    TermiosSerialLines lines = m.lines();
    EXPECT_FALSE(lines.open(QStringLiteral("COM1")));
    EXPECT_EQ(lines.lastError(), m.path("dev/ttyS0") + QStringLiteral(": No such file or directory"));
    // Not a terminal at all: it can't be made exclusive.
    m.write("dev/ttyS1", "");
    EXPECT_FALSE(lines.open(QStringLiteral("COM2")));
    EXPECT_EQ(lines.lastError(), m.path("dev/ttyS1") + QStringLiteral(": Inappropriate ioctl for device"));
    EXPECT_FALSE(lines.isOpen());
    EXPECT_FALSE(lines.open(QStringLiteral("COM0")));
    EXPECT_EQ(lines.lastError(), QStringLiteral("COM0: no device for this port name"));
}

TEST(SerialLines, APortWithoutModemLinesLogsThatKeyingFailed)
{
    // A pseudo-terminal opens like a port but has no DTR or RTS.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    Machine m;
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(::ptsname(master)), m.path("dev/ttyS2")));
    TermiosSerialLines lines = m.lines();
    Transmitter tx(lines);
    LogCapture log;
    ASSERT_TRUE(tx.open(QStringLiteral("COM3"))) << tx.lastError().toStdString();
    tx.key(QStringLiteral("announcement started by the button"));
    EXPECT_TRUE(tx.lastError().startsWith(m.path("dev/ttyS2") + QStringLiteral(": DTR up ("))) << tx.lastError().toStdString();
    EXPECT_EQ(log.matching({"auravox.ptt", "PTT keying (DTR+RTS) failed on", "announcement started by the button"}).size(), 1);
    tx.close(QStringLiteral("test over"));
    EXPECT_FALSE(lines.isOpen());
    ::close(master);
}
