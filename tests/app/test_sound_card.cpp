// The sound card panel, the volume slider with its balance read back from the
// device on every tick, and the maximum-volume gauge.

#include "engine/VolumeControl.h"
#include "support/Clicks.h"
#include "support/MainWindowHarness.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {
const QDateTime kStart(QDate(2026, 3, 1), QTime(10, 5, 30));

} // namespace

TEST(SoundCard, TheSliderSetsBothChannelsWithTheBalanceAndFollowsTheDevice)
{
    MainWindowHarness h(kStart);
    auto *slider = h.find<QSlider>("TrackBarVolume");
    const int device = WaveOutput::kDefaultDevice;

    slider->setValue(5);
    EXPECT_EQ(h.wave().volume(device), Volume::pack(32768, 32768));

    // Another program turns the right channel down: the next tick reads it.
    h.wave().setVolume(device, Volume::pack(65535, 32768));
    h.tick();
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(h.form().balance(), 50);
    slider->setValue(5);
    EXPECT_EQ(h.wave().volume(device), Volume::pack(32768, 16384)) << "the balance is kept";

    // Every position stays where the user put it.
    for (int p : {3, 7}) {
        slider->setValue(p);
        h.tick();
        EXPECT_EQ(slider->value(), p);
    }

    h.wave().setVolume(device, 0);
    h.tick();
    EXPECT_EQ(slider->value(), 10);
    EXPECT_EQ(h.form().balance(), 50) << "silence keeps the balance";
}

TEST(SoundCard, ThePanelChoosesTheDeviceOfTheNextClip)
{
    MainWindowHarness h(kStart);
    h.wave().m_deviceNames = {QStringLiteral("HDA Intel PCH: ALC892 Analog (hw:0,0) and more text"),
                              QStringLiteral("USB Audio CODEC")};
    auto *panel = h.find<QGroupBox>("PanelCarteSon");
    auto *list = h.find<QComboBox>("ComboBoxChoixOut");
    EXPECT_FALSE(panel->isVisibleTo(&h.form()));
    h.find<QAction>("MenuCarteSon")->trigger();
    EXPECT_TRUE(panel->isVisibleTo(&h.form()));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0).size(), 32) << "names are cut to 32 characters";
    EXPECT_TRUE(list->currentText().isEmpty());

    click(h.find<QRadioButton>("RadioButtonCarteMoi"));
    const int beeps = h.prompts().beeps;
    click(h.find<QPushButton>("BitBtnOKCarteSon"));
    EXPECT_EQ(h.prompts().beeps, beeps + 1) << "no device chosen";
    EXPECT_TRUE(panel->isVisibleTo(&h.form()));

    list->setCurrentIndex(1);
    click(h.find<QPushButton>("BitBtnOKCarteSon"));
    EXPECT_FALSE(panel->isVisibleTo(&h.form()));
    h.clickButton1();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_EQ(h.wave().sessions().last().device, 1);
    ASSERT_TRUE(h.form().SaveConfiguration());
    EXPECT_TRUE(readFile(h.folder() + QStringLiteral("/auravox.ini")).contains("\r\nOSOUND=1\r\n"));

    h.find<QAction>("MenuCarteSon")->trigger();
    EXPECT_EQ(list->currentText(), QStringLiteral("USB Audio CODEC")) << "the chosen one is shown again";
    click(h.find<QRadioButton>("RadioButtonCarteWin"));
    click(h.find<QPushButton>("BitBtnOKCarteSon"));
    EXPECT_EQ(h.form().player().selectedDevice(), WaveOutput::kDefaultDevice);

    // A device whose name can't be read.
    h.wave().m_deviceNames.clear();
    h.find<QAction>("MenuCarteSon")->trigger();
    EXPECT_TRUE(list->currentText().isEmpty());
}

TEST(SoundCard, TheGaugeMovesByTensInsideItsRange)
{
    MainWindowHarness h(kStart);
    h.form().show();
    auto *panel = h.find<QGroupBox>("Panel1");
    auto *gauge = h.find<QProgressBar>("Gauge1");
    ASSERT_EQ(gauge->value(), 70);
    const QPoint right(gauge->geometry().right() + 3, gauge->geometry().top() + 5);
    QTest::mouseClick(panel, Qt::LeftButton, {}, right);
    QTest::mouseClick(panel, Qt::LeftButton, {}, right);
    QTest::mouseClick(panel, Qt::LeftButton, {}, right);
    QTest::mouseClick(panel, Qt::LeftButton, {}, right);
    EXPECT_EQ(gauge->value(), 100);
    QTest::mouseClick(panel, Qt::RightButton, {}, right);
    EXPECT_EQ(gauge->value(), 90);
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(gauge->geometry().left() - 2, right.y()));
    EXPECT_EQ(gauge->value(), 90) << "left of the gauge's edge does nothing";
}

// The file is the only record of the volume: the default position comes back
// as itself, and the level goes to the device that plays.
TEST(SoundCard, TheSavedVolumeComesBackAndGoesToTheChosenDevice)
{
    QTemporaryDir folder;
    {
        MainWindowHarness h(kStart, true, nullptr, folder.path());
        EXPECT_EQ(h.wave().volume(WaveOutput::kDefaultDevice), Volume::pack(32768, 32768))
            << "the load sets the slider's level, although the slider did not move";
        h.tick();
        EXPECT_EQ(h.find<QSlider>("TrackBarVolume")->value(), 5);
        ASSERT_TRUE(h.form().SaveConfiguration());
        EXPECT_TRUE(readFile(folder.filePath(QStringLiteral("auravox.ini"))).contains("\r\nVOLUME=5\r\n"));
    }
    {
        MainWindowHarness h(kStart, true, nullptr, folder.path());
        h.wave().m_deviceNames = {QStringLiteral("Card A"), QStringLiteral("Card B")};
        h.tick();
        EXPECT_EQ(h.find<QSlider>("TrackBarVolume")->value(), 5) << "VOLUME=5 is not read back as full";
        h.find<QSlider>("TrackBarVolume")->setValue(7);
        h.find<QAction>("MenuCarteSon")->trigger();
        click(h.find<QRadioButton>("RadioButtonCarteMoi"));
        h.find<QComboBox>("ComboBoxChoixOut")->setCurrentIndex(1);
        click(h.find<QPushButton>("BitBtnOKCarteSon"));
        EXPECT_EQ(h.wave().volume(1), Volume::forPosition(7, 0)) << "the chosen device gets the slider's level";
        h.tick();
        EXPECT_EQ(h.find<QSlider>("TrackBarVolume")->value(), 7) << "and reads back from the device that plays";
        ASSERT_TRUE(h.form().SaveConfiguration());
    }
    const QByteArray ini = readFile(folder.filePath(QStringLiteral("auravox.ini")));
    EXPECT_TRUE(ini.contains("\r\nVOLUME=7\r\n"));
    EXPECT_TRUE(ini.contains("\r\nOSOUND=1\r\n"));
    MainWindowHarness h(kStart, true, nullptr, folder.path());
    EXPECT_EQ(h.wave().volume(1), Volume::forPosition(7, 0)) << "set on the device it is read back from";
    h.tick();
    EXPECT_EQ(h.find<QSlider>("TrackBarVolume")->value(), 7);
}

TEST(SoundCard, AGarbledDeviceNumberKeepsTheSystemsChoice)
{
    for (const char *value : {"x", "", "-7", "1x"}) {
        QTemporaryDir dir;
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")),
                              QByteArray("[AURAVOX V2.2.3]\r\nOSOUND=") + value + "\r\n"));
        MainWindowHarness h(kStart, true, nullptr, dir.path());
        EXPECT_TRUE(h.find<QRadioButton>("RadioButtonCarteWin")->isChecked()) << value;
        EXPECT_EQ(h.form().player().selectedDevice(), WaveOutput::kDefaultDevice) << value;
        ASSERT_TRUE(h.form().SaveConfiguration());
        EXPECT_TRUE(readFile(dir.filePath(QStringLiteral("auravox.ini"))).contains("\r\nOSOUND=-1\r\n")) << value;
    }
}
