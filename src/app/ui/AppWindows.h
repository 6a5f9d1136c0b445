#pragma once

#include "app/StationModels.h"
#include "app/ui/TForm1.h"
#include "app/ui/TFormInfo.h"
#include "app/ui/TFormMyUnits.h"
#include "common/ConfigRegistry.h"
#include "engine/WeatherPhrases.h"
#include "internet/AprsSource.h"
#include "internet/MetarSource.h"
#include "internet/ui/TFormMeteoAPRS.h"
#include "internet/ui/TFormMeteoMETAR.h"
#include "peers/RecorderControl.h"
#include "peers/linux/SiblingLink.h"
#include "peers/linux/UnixRecorderSocket.h"
#include "peers/ui/TFormRecord.h"
#include "stations/HistorySource.h"
#include "stations/MonitorSource.h"
#include "stations/MonitorStation.h"
#include "stations/ui/TFormChoixMeteo.h"
#include "stations/ui/TFormMeteo.h"
#include "stations/ui/TFormMeteoPro2.h"
#include "stations/ui/TFormMeteoW23.h"
#include "stations/ui/TFormMeteoW28.h"
#include "transmitter/SerialPortControl.h"
#include "transmitter/ui/TFormCOM.h"
#include "weather/SourceChoice.h"
#include "weather/UnitSettings.h"
#include "weather/ui/WeatherSourceWindow.h"
#include "web/StationWebServer.h"

#include <memory>

namespace auravox {

class SerialLines;
class StationWeb;
struct StationWebHooks;

// Everything the program's windows need from outside.
struct AppDeps
{
    MainWindowDeps main;
    SerialLines *serialLines = nullptr;
    // The devices of the other kinds of transmitter port (none: only the serial port).
    PttDeviceFactory pttDevices;
    // The Monitor II station library; the program's own (the serial driver,
    // or its simulator) when not given.
    MonitorStation *monitorStation = nullptr;
    // Where the Internet sources also leave their summary files (empty: nowhere).
    QString publicFolder;
    // Whether the sibling link is connected (tests of other things leave it
    // out: its echoes arrive from another thread at their own pace).
    bool siblingLink = true;
    // Whether the station page listens once the configuration is loaded, on
    // the configured port or, when `webPort` is 0 or more, on that one.
    bool webServer = false;
    int webPort = -1;
    WebServerOptions webOptions;
};

// Every window of the program, created at start in their order and kept for
// the whole run, wired to each other, with their configuration keys declared.
class AppWindows
{
public:
    explicit AppWindows(const AppDeps &deps);
    ~AppWindows();

    TForm1 &form1() { return *m_form1; }
    TFormCOM &formCOM() { return *m_formCOM; }
    TFormMyUnits &formMyUnits() { return *m_formMyUnits; }
    TFormChoixMeteo &formChoixMeteo() { return *m_formChoixMeteo; }
    TFormInfo &formInfo() { return *m_formInfo; }
    TFormMeteo &formMeteo() { return *m_formMeteo; }
    TFormMeteoW23 &formMeteoW23() { return *m_formMeteoW23; }
    TFormMeteoW28 &formMeteoW28() { return *m_formMeteoW28; }
    TFormMeteoPro2 &formMeteoPro2() { return *m_formMeteoPro2; }
    TFormMeteoAPRS &formMeteoAPRS() { return *m_formMeteoAPRS; }
    TFormMeteoMETAR &formMeteoMETAR() { return *m_formMeteoMETAR; }
    TFormFav &formFavAPRS() { return *m_formFavAPRS; }
    TFormRecord &formRecord() { return *m_formRecord; }
    RecorderControl &recorder() { return *m_recorder; }
    TFormFav &formFavMETAR() { return *m_formFavMETAR; }
    // What every source window needs from the program.
    const SourceWindowContext &sourceContext() const { return m_sourceContext; }
    // Which source the announcement speaks, and each source (its settings,
    // item selection, reading and error line).
    SourceChoice &sourceChoice() { return m_sourceChoice; }
    WeatherSource *source(SourceKind kind) const { return m_sourceChoice.source(kind); }
    // Joins a source window: the choice window uses it and its item keys go
    // into the configuration at the place of its section.
    void addSourceWindow(WeatherSourceWindow *window, int configSection);
    UnitSettings &units() { return m_units; }
    // The settings outside the sources, which the windows and the page edit.
    StationModels &models() { return *m_models; }
    // The active source's reading, as the weather part speaks it.
    WeatherContext weatherContext() const;
    ConfigRegistry &config() { return m_config; }
    SerialPortControl &serialPort() { return m_serial; }
    // The station page (its server listens only when the program asked for it).
    StationWeb &stationWeb() { return *m_web; }

private:
    // What the station page reaches of the sources and the main window.
    StationWebHooks webHooks();
    void connectSibling(bool wanted);
    void fillSourceContext(const AppDeps &deps);
    void buildMonitor(const AppDeps &deps, std::function<bool()> startsMinimized);
    void wireWindowActions();
    void hideSourceWindows();
    void showCurrentSource();
    void recordSourceGeometry();

    // What an announcement asks of the other windows as it ends.
    class Links final : public AnnounceLinks
    {
    public:
        explicit Links(AppWindows &app) : m_app(app) {}
        void takeDeferredReading() override;
        void sendSiblingDone() override;
        void renewSiblingLink() override;
        void recorderStart() override;
        void recorderStop() override;

    private:
        AppWindows &m_app;
    };

    ConfigRegistry m_config;
    Links m_links{*this};
    std::unique_ptr<MonitorStation> m_ownStation;
    SerialPortControl m_serial;
    QStringList m_portList; // found at start: "No COM", then the ports
    UnitSettings m_units;
    std::unique_ptr<StationModels> m_models;
    PlausibilityLimits m_limits;
    SourceWindowContext m_sourceContext;
    SourceChoice m_sourceChoice;
    std::unique_ptr<Ws23Source> m_ws23;
    std::unique_ptr<Ws28Source> m_ws28;
    std::unique_ptr<Pro2Source> m_pro2;
    std::unique_ptr<MonitorSource> m_monitor;
    std::unique_ptr<AprsSource> m_aprs;
    std::unique_ptr<MetarSource> m_metar;
    std::unique_ptr<SourceWeatherSpeech> m_weatherSpeech;
    std::unique_ptr<SiblingResponder> m_sibling;
    bool m_siblingWanted = true;
    std::unique_ptr<TFormInfo> m_formInfo;
    std::unique_ptr<TFormMeteo> m_formMeteo;
    std::unique_ptr<TFormChoixMeteo> m_formChoixMeteo;
    std::unique_ptr<TFormMeteoW23> m_formMeteoW23;
    std::unique_ptr<TFormMeteoW28> m_formMeteoW28;
    std::unique_ptr<TFormMeteoAPRS> m_formMeteoAPRS;
    std::unique_ptr<TFormMeteoPro2> m_formMeteoPro2;
    std::unique_ptr<TFormFav> m_formFavAPRS;
    std::unique_ptr<TFormRecord> m_formRecord;
    UnixRecorderSocket m_recorderSocket;
    std::unique_ptr<RecorderControl> m_recorder;
    std::unique_ptr<TFormMeteoMETAR> m_formMeteoMETAR;
    std::unique_ptr<TFormFav> m_formFavMETAR;
    std::unique_ptr<TFormMyUnits> m_formMyUnits;
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TFormCOM> m_formCOM;
    std::unique_ptr<StationWeb> m_web;
};

} // namespace auravox
