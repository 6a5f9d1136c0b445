// The engine, the settings models, the configuration and the station page's
// bridge with no window at all: the program a box without a screen runs.

#include "app/ConfigFile.h"
#include "app/StationModels.h"
#include "app/StationWeb.h"
#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "engine/Announcer.h"
#include "transmitter/SerialPortControl.h"
#include "support/FakeSerialLines.h"
#include "support/FakeWaveOutput.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace auravox;
using namespace auravox::test;

namespace {

// The main window's part without a window: the message comes from the model.
struct ModelHost final : AnnounceHost
{
    explicit ModelHost(const MessageSettings &m) : message(m) {}
    MessageChoices messageChoices() const override { return message.choices(); }
    bool startupPending() const override { return pending; }
    void showStatus(const QString &text) override { status = text; }
    QString statusText() const override { return status; }
    void setPlayEnabled(bool) override {}
    void setSoundCardOkEnabled(bool) override {}

    const MessageSettings &message;
    bool pending = true;
    QString status;
};

// Every key outside the weather sources, none at its default, in file order.
const QByteArray kEveryKey = "[AURAVOX V" AURAVOX_VERSION "]\r\n"
                             "RECORD=Y\r\nRECORDER=/opt/tamboril/tamboril\r\nROSE=16\r\nOLD=2\r\n"
                             "FICHIER_ENTETE=header.wav\r\nFICHIER_ZORBEL=hello.wav\r\nFICHIER_FIN=bye.wav\r\n"
                             "PERIOD=2\r\nSTART_RANGE=6\r\nEND_RANGE=22\r\nENTETE=Y\r\nPAUSE=4\r\nFINAL=Y\r\n"
                             "HELLO=Y\r\nDATE=N\r\nDATEUS=Y\r\nILEST=N\r\nTIME=N\r\nSTART=Y\r\nREDUCE=Y\r\n"
                             "BALANCE=-30\r\nVOLUME=3\r\nMAXVOLUME=40\r\n"
                             "UNITTC=N\r\nUNITPM=Y\r\nUNITVK=N\r\nUNITRM=Y\r\n"
                             "TOP=120\r\nLEFT=33\r\nMETEO_TOP=50\r\nMETEO_LEFT=60\r\nMETEO_WIDTH=300\r\n"
                             "METEO_HEIGHT=280\r\nFORMMETEO=N\r\nOSOUND=1\r\nVERSTART=1\r\n"
                             "COM=2\r\nDTR=0\r\nDSR=0\r\nDCD=0\r\nVOICE_FOLDER=voice\r\n"
                             "WEB=N\r\nWEB_ADDRESS=::1\r\nWEB_PORT=9001\r\n";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A whole station without a window, in a working folder of its own.
struct Station
{
    Station()
        : clock(QDateTime(QDate(2026, 3, 1), QTime(10, 5))), models(QStringLiteral("/usr/bin/auravoxd"), units),
          host(models.message), engine(AnnouncerDeps{&clock, &wave, &prompts, QString()}, host), serial(lines)
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        lines.ports = {QStringLiteral("COM1"), QStringLiteral("COM2")};
        serial.discoverPorts();
        models.declareConfig(registry);
        models.message.bindScheduler(engine.scheduler());
        models.sound.bindEngine(engine);
        models.port.bindTransmitter(serial.transmitter());
        models.port.openRequestedPorts(serial);
        StationWebHooks hooks;
        hooks.chosenSource = [] { return SourceKind::None; };
        hooks.activeSource = [] { return SourceKind::None; };
        hooks.startupPending = [this] { return host.pending; };
        hooks.statusText = [this] { return host.status; };
        hooks.save = [this] { return ConfigFile::save(registry) ? QString() : QStringLiteral("Err: auravox.ini"); };
        web = std::make_unique<StationWeb>(engine, models, &serial, hooks, clock);
    }
    ~Station() { QDir::setCurrent(previous); }

    QString apply(const QByteArray &json)
    {
        QString error;
        bool unprocessable = false;
        const std::optional<SettingsChange> change =
            SettingsChange::parse(json, &error, &unprocessable, web->chosenSource());
        return change ? web->applySettings(*change) : QStringLiteral("parse: ") + error;
    }

    QTemporaryDir folder, home;
    QString previous;
    ManualClock clock;
    FakeWaveOutput wave;
    ScriptedPrompts prompts;
    UnitSettings units;
    StationModels models;
    ModelHost host;
    Announcer engine;
    FakeSerialLines lines;
    SerialPortControl serial;
    ConfigRegistry registry;
    std::unique_ptr<StationWeb> web;
};

} // namespace

TEST(HeadlessStation, RunsWithoutAnyWidget)
{
    EXPECT_FALSE(QCoreApplication::instance()->inherits("QGuiApplication"));
    Station s;
    EXPECT_EQ(s.web->status().value(QStringLiteral("settings")).toObject().value(QStringLiteral("period")).toInt(), 0);
}

TEST(HeadlessStation, EveryKeyOutsideTheSourcesIsReadIntoTheModelsAndWrittenBackByteForByte)
{
    Station s;
    writeFile(ConfigFile::kFile, kEveryKey);
    ASSERT_TRUE(ConfigFile::load(s.registry));

    // What the engine and the page now see comes from the models.
    EXPECT_EQ(s.engine.scheduler().periodMinutes(), 10);
    EXPECT_EQ(s.engine.scheduler().startHour(), 6);
    EXPECT_EQ(s.engine.scheduler().endHour(), 22);
    const MessageChoices c = s.host.messageChoices();
    EXPECT_TRUE(c.header && c.hello && c.goodbye && c.dateUS && c.recordWhilePlaying);
    EXPECT_FALSE(c.date || c.timeIs || c.time);
    EXPECT_EQ(c.pauseSeconds, 4);
    EXPECT_EQ(c.headerPath, QStringLiteral("header.wav"));
    EXPECT_EQ(s.units.temperatureLabel, QStringLiteral("F"));
    EXPECT_EQ(s.units.windLabel, QStringLiteral("mph"));
    EXPECT_EQ(s.engine.player().selectedDevice(), 1);
    const Transmitter::Lines &l = s.serial.transmitter().lines();
    EXPECT_FALSE(l.dtr || l.dsr || l.dcd);
    EXPECT_TRUE(l.rts && l.cts);
    EXPECT_FALSE(s.models.web.enabled);
    EXPECT_TRUE(s.serial.isOpen()) << "COM=2 opens COM2";
    EXPECT_EQ(s.serial.portName(), QStringLiteral("COM2"));
    EXPECT_TRUE(QFile::exists(s.home.filePath(QStringLiteral("autostart/zorbel.desktop"))))
        << "START=Y writes the start-at-login entry, as the box's click did";

    ASSERT_TRUE(ConfigFile::save(s.registry));
    EXPECT_EQ(readAll(ConfigFile::kFile).toStdString(), kEveryKey.toStdString());
}

TEST(HeadlessStation, ThePageChangesTheModelsTheEngineFollowsAndTheFileIsSavedAtOnce)
{
    Station s;
    writeFile(ConfigFile::kFile, kEveryKey);
    ASSERT_TRUE(ConfigFile::load(s.registry));
    s.host.pending = false;
    writeFile(QStringLiteral("new-header.wav"), "RIFF");
    QDir().mkdir(QStringLiteral("voice2"));

    EXPECT_EQ(s.apply(R"({"period": 15, "pause": 7, "date": true, "time": true, "timeIs": true,
                          "headerFile": "new-header.wav", "useDtr": true, "inhibitOnDcd": true,
                          "units": {"temperature": "C"}, "volume": 8, "weatherAge": 0,
                          "voiceFolder": "voice2", "releaseCheck": false, "soundDevice": -1})"),
              QString());
    EXPECT_EQ(s.engine.scheduler().periodMinutes(), 15);
    EXPECT_EQ(s.host.messageChoices().pauseSeconds, 7);
    EXPECT_FALSE(s.host.messageChoices().dateUS) << "the window's rule: one date order";
    EXPECT_TRUE(s.serial.transmitter().lines().dtr);
    EXPECT_EQ(s.units.temperatureLabel, QStringLiteral("C"));
    EXPECT_EQ(s.engine.player().selectedDevice(), -1);
    EXPECT_TRUE(s.engine.voiceFolder().endsWith(QStringLiteral("voice2")));

    QByteArray expected = kEveryKey;
    for (auto [from, to] : {std::pair{"OLD=2\r\n", ""},
                            std::pair{"FICHIER_ENTETE=header.wav", "FICHIER_ENTETE=new-header.wav"},
                            std::pair{"PERIOD=2", "PERIOD=3"}, std::pair{"PAUSE=4", "PAUSE=7"},
                            std::pair{"DATE=N\r\nDATEUS=Y\r\nILEST=N\r\nTIME=N\r\n", ""},
                            std::pair{"VOLUME=3", "VOLUME=8"}, std::pair{"UNITTC=N", "UNITTC=Y"},
                            std::pair{"OSOUND=1", "OSOUND=-1"}, std::pair{"VERSTART=1", "VERSTART=0"},
                            std::pair{"DTR=0\r\n", ""}, std::pair{"DCD=0\r\n", ""},
                            std::pair{"VOICE_FOLDER=voice", "VOICE_FOLDER=voice2"}})
        expected.replace(from, to);
    EXPECT_EQ(readAll(ConfigFile::kFile).toStdString(), expected.toStdString());
}

TEST(HeadlessStation, ThePageIsRefusedWithTheWindowsTextsAndNothingChanges)
{
    Station s;
    writeFile(ConfigFile::kFile, kEveryKey);
    ASSERT_TRUE(ConfigFile::load(s.registry));
    const QString outside = QDir(s.home.path()).filePath(QStringLiteral("header.wav"));
    writeFile(outside, "RIFF");

    EXPECT_EQ(s.apply(R"({"pause": 9, "headerFile": "../)" + QFileInfo(s.home.path()).fileName().toUtf8() +
                      R"(/header.wav"})"),
              QStringLiteral("Err: File name"));
    EXPECT_EQ(s.apply(R"({"goodbyeFile": "missing.wav"})"), QStringLiteral("Err: Wave file name"));
    EXPECT_EQ(s.apply(R"({"port": "COM9"})"), QStringLiteral("no such port: COM9"));
    EXPECT_EQ(s.apply(R"({"soundDevice": 5})"), QStringLiteral("no such sound card: 5"));
    EXPECT_EQ(s.apply(R"({"recorderPath": "/nowhere/tamboril"})"), QStringLiteral("no such file: /nowhere/tamboril"));
    EXPECT_EQ(s.apply(R"({"volume": 11})"), QStringLiteral("parse: \"volume\" must be 0 (the loudest) to 10"));
    EXPECT_EQ(s.host.messageChoices().pauseSeconds, 4) << "a refused change changes nothing";
    EXPECT_EQ(readAll(ConfigFile::kFile).toStdString(), kEveryKey.toStdString());
}

TEST(HeadlessStation, PlayStartsAnAnnouncementThroughTheEngineAndIsRefusedBeforeTheLoad)
{
    Station s;
    ASSERT_TRUE(s.web->clickPlay());
    EXPECT_TRUE(s.wave.sessions().isEmpty()) << "nothing is announced before the configuration is loaded";
    s.host.pending = false;
    ASSERT_TRUE(s.web->clickPlay());
    QCoreApplication::processEvents();
    EXPECT_FALSE(s.wave.sessions().isEmpty()) << "the announcement played";
    ASSERT_FALSE(s.web->history().entries().empty());
    EXPECT_EQ(s.web->history().entries().front().outcome, AnnouncementHistory::Outcome::Refused)
        << "the first start, before the load, is in the history as refused";
}

TEST(HeadlessModels, TheMessageKeepsTheWindowsRulesAndSignalsOnlyRealChanges)
{
    MessageSettings m;
    int changes = 0;
    QObject::connect(&m, &MessageSettings::changed, [&] { ++changes; });
    using Box = MessageSettings::Box;
    m.setBox(Box::Time, false);
    EXPECT_FALSE(m.box(Box::TimeIs)) << "\"Time is\" needs the time";
    m.setBox(Box::TimeIs, true);
    EXPECT_TRUE(m.box(Box::Time));
    m.setBox(Box::DateUS, true);
    EXPECT_FALSE(m.box(Box::Date)) << "one date order";
    m.setBox(Box::Date, true);
    EXPECT_FALSE(m.box(Box::DateUS));
    EXPECT_EQ(changes, 4);
    m.setBox(Box::Date, true);
    m.setPauseSeconds(0);
    m.setStartHour(25);
    m.setEndHour(-1);
    EXPECT_FALSE(m.setPeriodMinutes(7));
    EXPECT_EQ(changes, 4) << "nothing changed, nothing signalled";
    m.setPauseSeconds(99);
    EXPECT_EQ(m.pauseSeconds(), 15);
    m.setPeriodPosition(9);
    EXPECT_EQ(m.periodMinutes(), 60);
}

TEST(HeadlessModels, ReadingFollowsTheFilesRulesKeyByKey)
{
    UnitSettings units;
    StationModels models(QString(), units);
    ConfigRegistry registry;
    models.declareConfig(registry);
    registry.apply({QStringLiteral("PERIOD= 2"), QStringLiteral("PAUSE=+3"), QStringLiteral("DATE=x"),
                    QStringLiteral("HELLO=Y"), QStringLiteral("HELLO=y"), QStringLiteral("ENTETE=Y"),
                    QStringLiteral("ENTETE=N"), QStringLiteral("OSOUND=-1"), QStringLiteral("OSOUND=abc"),
                    QStringLiteral("VOLUME=40"), QStringLiteral("BALANCE=-400"), QStringLiteral("OLD=4"),
                    QStringLiteral("ROSE=8"), QStringLiteral("END_RANGE=25"), QStringLiteral("=Y"),
                    QStringLiteral("UNITPM=n")});
    using Box = MessageSettings::Box;
    EXPECT_EQ(models.message.periodPosition(), 0) << "a number with a blank is no number";
    EXPECT_EQ(models.message.pauseSeconds(), 0) << "nor one with a plus sign";
    EXPECT_TRUE(models.message.box(Box::Date)) << "only N unchecks DATE=";
    EXPECT_FALSE(models.message.box(Box::Hello)) << "HELLO= unchecks on anything but Y";
    EXPECT_TRUE(models.message.box(Box::Header)) << "ENTETE= only ever checks";
    EXPECT_TRUE(models.sound.systemDevice()) << "no device number: the system's card";
    EXPECT_EQ(models.sound.volume(), 10);
    EXPECT_EQ(models.sound.balance(), -100);
    EXPECT_EQ(models.message.staleness(), Staleness::Always);
    EXPECT_FALSE(models.message.sixteenPoints());
    EXPECT_EQ(models.message.endHour(), 24);
    EXPECT_FALSE(models.units.metric(UnitsModel::Unit::Pressure));
    EXPECT_EQ(units.pressureLabel, QStringLiteral("inHg"));
}
