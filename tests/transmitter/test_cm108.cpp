// The CM108/CM119 sound fob: its reports byte for byte, finding it by its USB
// IDs, and the whole promise of the transmitter through the program's windows
// and its process, against a stand-in hidraw node.

#include "transmitter/Cm108Reports.h"
#include "transmitter/linux/Cm108Ptt.h"
#include "transmitter/linux/PttDevices.h"

#include "PttRig.h"
#include "support/LogCapture.h"
#include "support/WavBuilder.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kMorning(QDate(2026, 3, 1), QTime(10, 5, 30));

QByteArray bytes(const std::array<std::uint8_t, Cm108Reports::kOutputSize> &r)
{
    return QByteArray(reinterpret_cast<const char *>(r.data()), static_cast<qsizetype>(r.size()));
}

void addNode(const QString &sys, const char *node, const char *hidId)
{
    const QString dir = sys + QStringLiteral("/class/hidraw/") + QLatin1String(node) + QStringLiteral("/device");
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(writeFile(dir + QStringLiteral("/uevent"),
                          QByteArray("DRIVER=hid-generic\nHID_ID=") + hidId + "\nHID_NAME=C-Media USB Audio\n"));
}

std::unique_ptr<MainWindowHarness> stationOnFactory()
{
    return std::make_unique<MainWindowHarness>(kMorning, true, nullptr, QString(), false,
                                               [](AppDeps &d) { d.pttDevices = makePttDevice; });
}

// The COM window set to the fob at `path`, its start input on volume up.
void chooseFob(MainWindowHarness &h, const QString &path)
{
    KindControls k(h);
    k.chooseKind(1);
    k.find<QLineEdit>("EditCm108Device")->setText(path);
    k.find<QComboBox>("ComboCm108Start")->setCurrentIndex(1); // bit 0, volume up
    k.use();
    EXPECT_EQ(k.outcome(), QStringLiteral("Open: %1 (CM108 GPIO3)").arg(path));
}

const QByteArray kKey = report(0x04, 0x04);
const QByteArray kRelease = report(0x00, 0x04);

} // namespace

TEST(Cm108, ReportsSetOnlyThePttPinAsAnOutput)
{
    EXPECT_EQ(bytes(Cm108Reports::pttReport(3, true)), QByteArray::fromHex("0000040400"));
    EXPECT_EQ(bytes(Cm108Reports::pttReport(3, false)), QByteArray::fromHex("0000000400"));
    EXPECT_EQ(bytes(Cm108Reports::pttReport(1, true)), QByteArray::fromHex("0000010100"));
    EXPECT_EQ(bytes(Cm108Reports::pttReport(8, false)), QByteArray::fromHex("0000008000"));
    const QByteArray volumeDown = QByteArray::fromHex("02000000");
    EXPECT_TRUE(Cm108Reports::inputBit(volumeDown, 1));
    EXPECT_FALSE(Cm108Reports::inputBit(volumeDown, 0));
    EXPECT_FALSE(Cm108Reports::inputBit(volumeDown, -1)) << "no bit chosen";
    EXPECT_FALSE(Cm108Reports::inputBit(QByteArray(), 1));
}

TEST(Cm108, TheFobIsFoundByItsUsbIdsInSysfs)
{
    QTemporaryDir sys;
    const QString root = sys.path();
    addNode(root, "hidraw0", "0003:0000046D:0000C52B"); // a mouse receiver
    addNode(root, "hidraw2", "0005:00000D8C:0000013C"); // Bluetooth: not a fob
    addNode(root, "hidraw10", "0003:00000D8C:0000000C");
    addNode(root, "hidraw9", "0003:00000D8C:0000013C");
    EXPECT_EQ(Cm108Ptt::findFob(root, QStringLiteral("/dev"), 0x0d8c, 0), QStringLiteral("/dev/hidraw9"))
        << "hidraw9 before hidraw10";
    EXPECT_EQ(Cm108Ptt::findFob(root, QStringLiteral("/dev"), 0x0d8c, 0x000c), QStringLiteral("/dev/hidraw10"));
    EXPECT_TRUE(Cm108Ptt::findFob(root, QStringLiteral("/dev"), 0x0d8c, 0x0001).isEmpty());

    Cm108Settings s;
    s.productId = 0x0001;
    Cm108Ptt none(s, root, QStringLiteral("/dev"));
    EXPECT_FALSE(none.open());
    EXPECT_EQ(none.lastError(),
              QStringLiteral("no CM108/CM119 fob with USB ID 0d8c:0001 under %1/class/hidraw").arg(root));

    // Found, but the node can't be opened: the path and the system's reason.
    s.productId = 0;
    Cm108Ptt missing(s, root, root + QStringLiteral("/dev"));
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.lastError(), root + QStringLiteral("/dev/hidraw9: open (No such file or directory)"));
}

TEST(Cm108, KeyedThreeHundredMillisecondsBeforeTheFirstClipAndReleasedAfterTheLast)
{
    StandInHidraw fob;
    ASSERT_TRUE(fob.isValid());
    auto h = stationOnFactory();
    LogCapture log;
    chooseFob(*h, fob.path());
    EXPECT_EQ(fob.take(), kRelease) << "PTT off as soon as the fob is opened";
    EXPECT_EQ(h->find<QLabel>("LabelCOM")->text(), QStringLiteral("CM108"));

    // What the fob had been sent when each clip went out, and when.
    QList<QByteArray> sentAtClip;
    QList<qint64> clipAt;
    const QDateTime t0 = h->clock().now();
    h->wave().onWrite = [&](int) {
        sentAtClip << fob.take();
        clipAt << t0.msecsTo(h->clock().now());
    };
    h->clickButton1();
    ASSERT_TRUE(h->runUntilIdle());
    ASSERT_GE(clipAt.size(), 2);
    EXPECT_EQ(clipAt.first(), 300);
    EXPECT_EQ(sentAtClip.first(), kKey);
    for (qsizetype i = 1; i < sentAtClip.size(); ++i)
        EXPECT_TRUE(sentAtClip[i].isEmpty()) << "nothing more until the end, clip " << i;
    EXPECT_EQ(fob.take(), kRelease);
    EXPECT_EQ(log.matching({"auravox.ptt", "PTT keyed (GPIO3) on", "(CM108 GPIO3): announcement started by the button"})
                  .size(),
              1);
    EXPECT_EQ(log.matching({"auravox.ptt", "PTT released on", "end of the announcement"}).size(), 1);
}

TEST(Cm108, APlayerFailureReleasesAndTheGuardSaysOffAtEveryIdleTick)
{
    StandInHidraw fob;
    ASSERT_TRUE(fob.isValid());
    auto h = stationOnFactory();
    chooseFob(*h, fob.path());
    fob.take();
    h->form().setHelloPath(QStringLiteral("missing.wav"));
    auto *hello = h->find<QCheckBox>("CheckBoxZorbel");
    QTest::mouseClick(hello, Qt::LeftButton, {}, QPoint(4, hello->height() / 2));
    h->clickButton1();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(h->find<QLineEdit>("EditData")->text(), QStringLiteral("Err: Wave file name"));
    EXPECT_EQ(fob.take(), kKey + kRelease);

    // Another program keyed the fob through the same node: the fob can't say,
    // so every idle tick says off again.
    h->tick();
    h->tick();
    EXPECT_EQ(fob.take(), kRelease + kRelease);
    // Not while an announcement runs.
    QTest::mouseClick(hello, Qt::LeftButton, {}, QPoint(4, hello->height() / 2));
    h->wave().autoComplete = false;
    h->clickButton1();
    ASSERT_TRUE(h->form().announcer().busy());
    h->tick();
    EXPECT_EQ(fob.take(), kKey);
    h->wave().autoComplete = true;
    h->wave().completeNext();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(fob.take(), kRelease);
}

TEST(Cm108, TheCosBitInhibitsAndTheStartBitStartsOncePerPress)
{
    StandInHidraw fob;
    ASSERT_TRUE(fob.isValid());
    auto h = stationOnFactory();
    chooseFob(*h, fob.path());
    LogCapture log;
    auto starts = [&] {
        return log.matching({"PTT keyed (GPIO3)", "announcement started by the start input (bit 0)"}).size();
    };

    fob.sendButtons(0x02); // COS on volume down: the channel is busy
    h->tick();
    EXPECT_EQ(h->find<QLabel>("LabelDCD")->text(), QStringLiteral("DCD=On"));
    h->clickButton1();
    EXPECT_FALSE(h->form().announcer().busy());
    fob.sendButtons(0x03); // and the start pressed meanwhile
    h->tick();
    EXPECT_FALSE(h->form().announcer().busy());
    EXPECT_EQ(log.matching({"refused: DCD is on"}).size(), 2);
    EXPECT_EQ(starts(), 0);

    fob.sendButtons(0x00);
    h->tick();
    fob.sendButtons(0x01); // pressed and held
    h->tick();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(starts(), 1);
    h->tick();
    h->tick();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(starts(), 1) << "held: still the one press";
    fob.sendButtons(0x00);
    h->tick();
    // Pressed and let go between two polls: the report is read all the same.
    fob.sendButtons(0x01);
    fob.sendButtons(0x00);
    h->tick();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(starts(), 2);
    h->tick();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(starts(), 2);
}

// The headless program opens the fob the file names, keeps it off, and
// releases it when systemd stops it; the file is saved as it was read.
TEST(Cm108, TheHeadlessProgramReleasesTheFobOnSigterm)
{
    StandInHidraw fob;
    ASSERT_TRUE(fob.isValid());
    QTemporaryDir home;
    const QByteArray ini = "[AURAVOX V2.2.3]\r\nCOM=0\r\nDTR=0\r\nPTT_TYPE=CM108\r\nCM108_DEVICE="
                           + fob.path().toLocal8Bit() + "\r\nCM108_GPIO=4\r\n";
    ASSERT_TRUE(writeFile(home.filePath(QStringLiteral("auravox.ini")), ini));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(QString::fromLocal8Bit(AURAVOX_DAEMON), {});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray err;
    while (!err.contains("opened, PTT off") && p.waitForReadyRead(20000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains(fob.path().toLocal8Bit() + " (CM108 GPIO4) opened, PTT off")) << err.toStdString();
    EXPECT_EQ(fob.take(), report(0x00, 0x08));
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray atStop = fob.take();
    ASSERT_FALSE(atStop.isEmpty());
    EXPECT_EQ(atStop, report(0x00, 0x08).repeated(atStop.size() / 5)) << "releases only";
    const QByteArray saved = readFile(home.filePath(QStringLiteral("auravox.ini")));
    EXPECT_TRUE(saved.contains("\r\nCOM=0\r\nDTR=0\r\n")) << saved.toStdString();
    EXPECT_TRUE(
        saved.endsWith("\r\nPTT_TYPE=CM108\r\nCM108_DEVICE=" + fob.path().toLocal8Bit() + "\r\nCM108_GPIO=4\r\n"))
        << "after every other key:\n"
        << saved.toStdString();
}
