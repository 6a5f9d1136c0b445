// The volume after a restart: the configuration file is the only record of it.
// Every slider position with a balance, on the default device and on a chosen
// one, is saved, loaded by a new main window and played through the real ALSA
// code at exactly the level the slider and the balance give.

#include "engine/WavLoader.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "support/AlsaCapture.h"
#include "support/Clicks.h"
#include "support/MainWindowHarness.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtEndian>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kStart(QDate(2026, 3, 1), QTime(10, 5, 30));

// The channel levels of a slider position and a balance: level = (655,350 -
// position x 65,535) / 10; the louder channel takes the level and the other
// is reduced by the balance's percentage; halves round to even.
std::pair<qint64, qint64> channelLevels(int position, int balance)
{
    const double level = (655350.0 - position * 65535.0) / 10.0;
    if (balance > 0) {
        const long left = std::lrint(level);
        return {left, std::lrint(left * (100.0 - balance) / 100.0)};
    }
    const long right = std::lrint(level);
    return {std::lrint(right * (100.0 + balance) / 100.0), right};
}

QByteArray scaled(const QByteArray &mono16, qint64 gain)
{
    QByteArray out(mono16.size(), '\0');
    for (qsizetype i = 0; i + 1 < mono16.size(); i += 2)
        qToLittleEndian<qint16>(static_cast<qint16>(qFromLittleEndian<qint16>(mono16.constData() + i) * gain / 65535),
                                out.data() + i);
    return out;
}

QByteArray son0()
{
    QByteArray wav = ClipCatalogue().wavData(QStringLiteral("SON0"));
    QBuffer buffer(&wav);
    buffer.open(QIODevice::ReadOnly);
    LoadedClip clip;
    EXPECT_EQ(loadWav(buffer, clip), ClipError::None);
    return clip.samples;
}

class VolumeRestart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AlsaCapture::instance(); // the test's ALSA configuration, before the first ALSA call
        m_second = m_dir.filePath(QStringLiteral("second.raw"));
    }

    // A new start of the program on `folder`: a fresh ALSA output whose device
    // 0 is the second capture.
    std::unique_ptr<AlsaWaveOutput> output() const
    {
        return std::make_unique<AlsaWaveOutput>(QStringLiteral("default"),
                                                QStringList{AlsaCapture::filePcm(QStringLiteral("| cat >> ") + m_second)});
    }

    QByteArray captured(int device) const
    {
        if (device == WaveOutput::kDefaultDevice)
            return AlsaCapture::instance().captured();
        QFile f(m_second);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void clearCaptures() const
    {
        AlsaCapture::instance().clear();
        QFile(m_second).remove();
    }

    // The user sets the slider, picks the device and saves; the balance is
    // then written into the file (only a file or a device sets it).
    void saveSettings(const QString &folder, int position, int balance, int device)
    {
        const std::unique_ptr<AlsaWaveOutput> alsa = output();
        MainWindowHarness h(kStart, true, alsa.get(), folder);
        h.find<QSlider>("TrackBarVolume")->setValue(position);
        if (device != WaveOutput::kDefaultDevice) {
            h.find<QAction>("MenuCarteSon")->trigger();
            click(h.find<QRadioButton>("RadioButtonCarteMoi"));
            h.find<QComboBox>("ComboBoxChoixOut")->setCurrentIndex(device);
            click(h.find<QPushButton>("BitBtnOKCarteSon"));
        }
        ASSERT_TRUE(h.form().SaveConfiguration());
        const QString path = folder + QStringLiteral("/auravox.ini");
        QByteArray ini = readFile(path);
        ASSERT_TRUE(ini.contains("\r\nBALANCE=0\r\n"));
        ini.replace("\r\nBALANCE=0\r\n", "\r\nBALANCE=" + QByteArray::number(balance) + "\r\n");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(ini);
    }

    // Restarts on the folder, plays the clip "son0", checks what was heard and
    // what the next save writes.
    void restartAndPlay(const QString &folder, int position, int balance, int device)
    {
        SCOPED_TRACE(testing::Message() << "position " << position << ", balance " << balance << ", device " << device);
        const std::unique_ptr<AlsaWaveOutput> alsa = output();
        MainWindowHarness h(kStart, true, alsa.get(), folder);
        EXPECT_EQ(h.find<QSlider>("TrackBarVolume")->value(), position);
        EXPECT_EQ(h.form().balance(), balance);
        h.tick(); // the read-back of the device keeps them
        EXPECT_EQ(h.find<QSlider>("TrackBarVolume")->value(), position);
        EXPECT_EQ(h.form().balance(), balance);

        clearCaptures();
        h.find<QPushButton>("ButtonPlayWaveRes")->click();
        ASSERT_TRUE(h.runUntilIdle());
        ASSERT_TRUE(AlsaCapture::settle(*alsa));
        const QByteArray heard = captured(device);
        const auto [left, right] = channelLevels(position, balance);
        const QByteArray clip = son0();
        ASSERT_EQ(AlsaCapture::leftChannel(heard).size(), clip.size());
        EXPECT_TRUE(AlsaCapture::leftChannel(heard) == scaled(clip, left)) << "left at " << left;
        EXPECT_TRUE(AlsaCapture::rightChannel(heard) == scaled(clip, right)) << "right at " << right;
        EXPECT_TRUE(captured(device == WaveOutput::kDefaultDevice ? 0 : WaveOutput::kDefaultDevice).isEmpty())
            << "the other device plays nothing";

        ASSERT_TRUE(h.form().SaveConfiguration());
        const QByteArray ini = readFile(folder + QStringLiteral("/auravox.ini"));
        EXPECT_TRUE(ini.contains("\r\nVOLUME=" + QByteArray::number(position) + "\r\n"));
        EXPECT_TRUE(ini.contains("\r\nBALANCE=" + QByteArray::number(balance) + "\r\n"));
        EXPECT_TRUE(ini.contains("\r\nOSOUND=" + QByteArray::number(device) + "\r\n"));
    }

    void everyPosition(int device, const std::array<int, 11> &balances)
    {
        for (int position = 0; position <= 10; ++position) {
            QTemporaryDir folder;
            saveSettings(folder.path(), position, balances[static_cast<size_t>(position)], device);
            restartAndPlay(folder.path(), position, balances[static_cast<size_t>(position)], device);
        }
    }

    QTemporaryDir m_dir;
    QString m_second;
};

} // namespace

TEST_F(VolumeRestart, EveryPositionAndBalanceComesBackOnTheDefaultDevice)
{
    everyPosition(WaveOutput::kDefaultDevice, {0, 25, -40, 100, -100, 50, -1, 1, 73, -73, 10});
}

TEST_F(VolumeRestart, EveryPositionAndBalanceComesBackOnAChosenDevice)
{
    everyPosition(0, {-30, 0, 99, -99, 12, -50, 37, -12, 0, 64, -64});
}
