#pragma once

#include "app/StationModels.h"
#include "app/StationWeb.h"
#include "common/ConfigRegistry.h"
#include "engine/AnnounceHooks.h"
#include "engine/Announcer.h"
#include "engine/WeatherPhrases.h"
#include "internet/AprsSource.h"
#include "internet/Favourites.h"
#include "internet/MetarSource.h"
#include "peers/RecorderControl.h"
#include "peers/linux/SiblingLink.h"
#include "peers/linux/UnixRecorderSocket.h"
#include "platform/UserPrompts.h"
#include "stations/HistorySource.h"
#include "stations/MonitorSource.h"
#include "transmitter/SerialPortControl.h"
#include "weather/SourceChoice.h"
#include "weather/UnitSettings.h"
#include "weather/WeatherSource.h"
#include "web/StationWebServer.h"

#include <QObject>

#include <memory>

namespace auravox {

class Clock;
class MonitorStation;
class SerialLines;
class WaveOutput;

// What the headless station is built on; the program passes the real ones.
struct HeadlessDeps
{
    Clock *clock = nullptr;
    WaveOutput *waveOutput = nullptr;
    SerialLines *serialLines = nullptr;
    // The devices of the other kinds of transmitter port (none: only the serial port).
    PttDeviceFactory pttDevices;
    // The Monitor II station library; the program's own (the serial driver,
    // or its simulator) when not given.
    MonitorStation *monitorStation = nullptr;
    // The program's full path, for the start-at-login entry.
    QString programPath;
    // Where the Internet sources also leave their summary files (empty: nowhere).
    QString publicFolder;
    bool siblingLink = true;
    // Whether the station page listens once the configuration is loaded, on
    // the configured port or, when `webPort` is 0 or more, on that one.
    bool webServer = false;
    int webPort = -1;
    WebServerOptions webOptions;
    // Whether the release check may run at start when the configuration asks for it.
    bool releaseCheck = true;
};

// Message boxes without a screen: what a box would have said goes to the
// status text and the log; no dialog can be answered, so none is opened.
class HeadlessPrompts final : public UserPrompts
{
public:
    void setStatusSink(std::function<void(const QString &)> sink) { m_status = std::move(sink); }
    void beep() override {}
    void message(const QString &text) override;
    QString openFileName(const QString &filter, const QString &defaultSuffix, const QString &startPath) override;
    QString existingFolder(const QString &startPath) override;
    bool openDocument(const QString &path) override;
    bool openAddress(const QString &url) override;

private:
    std::function<void(const QString &)> m_status;
};

// The whole station without a window: the settings models and auravox.ini,
// the engine, the transmitter's port, the weather sources and their choice,
// the sibling link, the recorder and the station page. The first tick of the
// clock loads the configuration, the weather source last; stop() releases the
// transmitter and saves the configuration once it has been loaded.
class HeadlessStation final : public QObject, private AnnounceHost
{
    Q_OBJECT
public:
    static inline const QString kLoginNeedsDesktop =
        QStringLiteral("APRS login: the login page's browser needs the desktop program (auravox)");

    explicit HeadlessStation(const HeadlessDeps &deps, QObject *parent = nullptr);
    ~HeadlessStation() override;

    Announcer &announcer() { return *m_engine; }
    StationModels &models() { return m_models; }
    ConfigRegistry &config() { return m_config; }
    SourceChoice &sourceChoice() { return m_choice; }
    SerialPortControl &serialPort() { return m_serial; }
    StationWeb &stationWeb() { return *m_web; }
    HeadlessPrompts &prompts() { return m_prompts; }

    bool startupPending() const override { return m_startupPending; }
    QString statusText() const override { return m_status; }
    // The six sources, as the choice holds them.
    WeatherSource *source(SourceKind kind) const { return m_choice.source(kind); }
    MonitorSource &monitor() { return *m_monitor; }
    AprsSource &aprs() { return *m_aprs; }
    MetarSource &metar() { return *m_metar; }
    Favourites &favourites(SourceKind kind) { return kind == SourceKind::Aprs ? m_aprsFavourites : m_metarFavourites; }
    // An APRS source that asks for its login page: said in the status and the log.
    void loginBrowserRequested();

    // Writes auravox.ini (not before the load). False, with the status text, when it could not.
    bool save();
    // The end of the run: the engine stops, the configuration is saved (once
    // loaded), the transmitter is released, the sound device closed. Once.
    void stop();

signals:
    void loaded();
    void stopped();
    void terminateRequested();

private:
    MessageChoices messageChoices() const override { return m_models.message.choices(); }
    void showStatus(const QString &text) override;
    void setPlayEnabled(bool) override {}
    void setSoundCardOkEnabled(bool) override {}
    void tickStarting() override;

    void buildSources(const HeadlessDeps &deps);
    void buildMonitor(const HeadlessDeps &deps);
    void buildLinks(const HeadlessDeps &deps);
    void declareSourceKeys();
    void loadConfiguration();
    void checkReleaseAtStart();
    StationWebHooks webHooks();
    WeatherContext weatherContext() const;

    class Links final : public AnnounceLinks
    {
    public:
        explicit Links(HeadlessStation &station) : m_station(station) {}
        void takeDeferredReading() override;
        void sendSiblingDone() override;
        void renewSiblingLink() override;
        void recorderStart() override;
        void recorderStop() override;

    private:
        HeadlessStation &m_station;
    };

    Clock &m_clock;
    ConfigRegistry m_config;
    UnitSettings m_units;
    StationModels m_models;
    PlausibilityLimits m_limits;
    HeadlessPrompts m_prompts;
    QString m_status;
    bool m_startupPending = true;
    bool m_iniExistedAtStart = false;
    bool m_logExistedAtStart = false;
    bool m_stopped = false;
    bool m_loginNoted = false;
    bool m_releaseCheck = true;
    SerialPortControl m_serial;
    std::unique_ptr<Announcer> m_engine;
    SourceContext m_sourceContext;
    SourceChoice m_choice;
    std::unique_ptr<Ws23Source> m_ws23;
    std::unique_ptr<Ws28Source> m_ws28;
    std::unique_ptr<Pro2Source> m_pro2;
    std::unique_ptr<MonitorStation> m_ownStation;
    QStringList m_portList; // found at start: "No COM", then the ports
    std::unique_ptr<MonitorSource> m_monitor;
    std::unique_ptr<AprsSource> m_aprs;
    std::unique_ptr<MetarSource> m_metar;
    Favourites m_aprsFavourites{QStringLiteral("APRS_FAV")};
    Favourites m_metarFavourites{QStringLiteral("METAR_FAV")};
    std::unique_ptr<SourceWeatherSpeech> m_weatherSpeech;
    Links m_links{*this};
    std::unique_ptr<SiblingResponder> m_sibling;
    bool m_siblingWanted = true;
    UnixRecorderSocket m_recorderSocket;
    std::unique_ptr<RecorderControl> m_recorder;
    std::unique_ptr<StationWeb> m_web;
};

} // namespace auravox
