#include "app/ui/AppWindows.h"

#include "app/StationWeb.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "platform/UserPrompts.h"
#include "platform/linux/MonitorStationFactory.h"

#include <QCheckBox>
#include <QDateTime>
#include <QRadioButton>
#include <QTimer>

namespace auravox {

AppWindows::AppWindows(const AppDeps &deps) : m_serial(*deps.serialLines), m_sourceContext(*deps.main.clock)
{
    m_models = std::make_unique<StationModels>(deps.main.programPath, m_units);
    m_models->port.bindTransmitter(m_serial.transmitter());
    m_serial.setDeviceFactory(deps.pttDevices);
    m_models->port.openDevices(m_serial);
    m_form1 = std::make_unique<TForm1>(deps.main, *m_models);
    // The main window's creation lists the serial ports.
    m_portList = m_serial.discoverPorts();
    m_form1->setPortList(m_portList);
    connectSibling(deps.siblingLink);
    TForm1 *form1 = m_form1.get();

    m_formInfo = std::make_unique<TFormInfo>(*deps.main.prompts, TForm1::kVersion);
    m_formInfo->showVersion(TForm1::kVersion);
    m_form1->setWindowAction(TForm1::Window::Info, [this] {
        m_formInfo->show();
        m_formInfo->raise();
    });
    // The start-up release check runs once the load is over and the clock
    // ticks again, so a slow or absent web site never holds the station's start.
    QObject::connect(m_form1.get(), &TForm1::loaded, m_formInfo.get(), [this] {
        if (m_form1->checksReleaseAtStart())
            QTimer::singleShot(0, m_formInfo.get(), &TFormInfo::checkAtStart);
    });
    auto startsMinimized = [this] { return m_models->startup.startMinimized(); };
    fillSourceContext(deps);

    buildMonitor(deps, startsMinimized);
    m_formChoixMeteo = std::make_unique<TFormChoixMeteo>(m_sourceChoice);
    m_formChoixMeteo->setMainWindow(m_form1.get(), startsMinimized);
    m_ws23 = std::make_unique<Ws23Source>(m_sourceContext);
    m_ws28 = std::make_unique<Ws28Source>(m_sourceContext);
    m_pro2 = std::make_unique<Pro2Source>(m_sourceContext);
    m_formMeteoW23 = std::make_unique<TFormMeteoW23>(*m_ws23, m_sourceContext);
    m_formMeteoW28 = std::make_unique<TFormMeteoW28>(*m_ws28, m_sourceContext);
    m_aprs = std::make_unique<AprsSource>(m_sourceContext);
    m_formMeteoAPRS = std::make_unique<TFormMeteoAPRS>(*m_aprs, m_sourceContext);
    m_formMeteoPro2 = std::make_unique<TFormMeteoPro2>(*m_pro2, m_sourceContext);
    m_formMyUnits = std::make_unique<TFormMyUnits>(m_models->units);
    m_formFavAPRS =
        std::make_unique<TFormFav>(QStringLiteral("APRS Favourites"), QStringLiteral("APRS_FAV"), *m_formMeteoAPRS);
    m_formMeteoAPRS->setFavourites(m_formFavAPRS.get());
    m_formMyUnits->setRefreshActiveSource([this] { m_formChoixMeteo->refreshActiveSource(); });
    m_formCOM = std::make_unique<TFormCOM>(m_serial, m_models->port, *deps.main.prompts, *m_form1);
    m_formRecord = std::make_unique<TFormRecord>(*deps.main.prompts, m_models->recorder);
    RecorderControl::Hooks recorder;
    recorder.recording = [form1] { return form1->recordsWhilePlaying(); };
    recorder.programPath = [this] { return m_formRecord->programPath(); };
    recorder.showStatus = [form1](const QString &text) { form1->showRecorderStatus(text); };
    m_recorder = std::make_unique<RecorderControl>(*deps.main.clock, *deps.main.prompts, m_recorderSocket, recorder);
    m_form1->setWindowAction(TForm1::Window::Recorder, [this] {
        m_formRecord->show();
        m_formRecord->raise();
    });
    m_metar = std::make_unique<MetarSource>(m_sourceContext);
    m_formMeteoMETAR = std::make_unique<TFormMeteoMETAR>(*m_metar, m_sourceContext);
    m_formFavMETAR =
        std::make_unique<TFormFav>(QStringLiteral("METAR Favourites"), QStringLiteral("METAR_FAV"), *m_formMeteoMETAR);
    m_formMeteoMETAR->setFavourites(m_formFavMETAR.get());

    wireWindowActions();

    SourceWeatherSpeech::Source weather;
    weather.context = [this] { return weatherContext(); };
    weather.errorLine = [this](SourceKind kind) {
        const WeatherSource *s = m_sourceChoice.source(kind);
        return s ? s->errorLine() : QString();
    };
    weather.staleness = [this] { return m_form1->staleness(); };
    weather.nowDays = [clock = deps.main.clock] { return DateTimeUtil::toDays(clock->now()); };
    m_weatherSpeech = std::make_unique<SourceWeatherSpeech>(weather);
    m_form1->setWeather(m_weatherSpeech.get());

    m_form1->setConfigRegistry(&m_config);
    m_models->declareConfig(m_config);
    m_formChoixMeteo->declareConfig(m_config);

    addSourceWindow(m_formMeteo.get(), ConfigSection::MonitorII);
    addSourceWindow(m_formMeteoW23.get(), ConfigSection::Ws23);
    addSourceWindow(m_formMeteoW28.get(), ConfigSection::Ws28);
    addSourceWindow(m_formMeteoAPRS.get(), ConfigSection::Aprs);
    m_formFavAPRS->declareConfig(m_config, ConfigSection::Aprs, 230);
    addSourceWindow(m_formMeteoMETAR.get(), ConfigSection::Metar);
    m_formFavMETAR->declareConfig(m_config, ConfigSection::Metar, 230);
    addSourceWindow(m_formMeteoPro2.get(), ConfigSection::Pro2);
    m_form1->setLinks(&m_links);
    m_form1->setWindowAction(TForm1::Window::MonitorStartup, [this] { m_formMeteo->startUp(); });
    m_form1->setTopOfHourAction([this](const ClockFields &f) { m_monitor->topOfHour(f); });

    // The station page: its keys come after all the others; it listens once
    // the configuration has said where.
    m_web = std::make_unique<StationWeb>(m_form1->announcer(), *m_models, &m_serial, webHooks(), *deps.main.clock,
                                         deps.webPort, deps.webOptions);
    if (deps.webServer)
        QObject::connect(m_form1.get(), &TForm1::loaded, m_web.get(), [this] { m_web->start(); });
}

// The Monitor II source on the given station library (or the program's own)
// and its window.
void AppWindows::buildMonitor(const AppDeps &deps, std::function<bool()> startsMinimized)
{
    MonitorStation *station = deps.monitorStation;
    if (!station) {
        m_ownStation = createMonitorStation();
        station = m_ownStation.get();
    }
    auto portList = [this] {
        // A simulated station answers on COM1, even on a machine without it.
        QStringList ports = m_portList;
        if (simulatedMonitorWanted() && !ports.contains(QStringLiteral("COM1")))
            ports.insert(ports.isEmpty() ? 0 : 1, QStringLiteral("COM1"));
        return ports;
    };
    auto chosen = [this] { return m_sourceChoice.chosen() == SourceKind::MonitorII; };
    m_monitor = std::make_unique<MonitorSource>(station, m_sourceContext);
    MonitorHooks hooks;
    hooks.announcing = [this] { return m_form1->announcer().busy(); };
    hooks.portList = portList;
    hooks.timeField = [this] { return m_form1->timeFieldText(); };
    hooks.log = [this](const QString &line) { m_form1->addLogEntry(line); };
    hooks.isChosenSource = chosen;
    m_monitor->setHooks(hooks);
    MonitorWindowDeps window;
    window.portList = portList;
    window.isChosenSource = chosen;
    window.startsMinimized = std::move(startsMinimized);
    m_formMeteo = std::make_unique<TFormMeteo>(*m_monitor, window, m_sourceContext);
}

// The main window's creation connects the sibling link.
void AppWindows::connectSibling(bool wanted)
{
    SiblingCallbacks sibling;
    TForm1 *form1 = m_form1.get();
    sibling.busy = [form1] { return form1->announcer().busy(); }; // atomic: read by the listener thread
    sibling.startAnnouncement = [form1] {
        form1->announcer().setSiblingRequest(true);
        form1->announcer().setStartOrigin(AnnounceOrigin::Sibling);
        form1->Button1Click();
    };
    sibling.statusText = [form1] { return form1->statusFieldText(); };
    sibling.showStatus = [form1](const QString &text) { form1->setStatusField(text); };
    m_sibling = std::make_unique<SiblingResponder>(sibling);
    // A failure shows in the status field: a message box would wait forever on
    // a box without a screen.
    m_siblingWanted = wanted;
    if (wanted) {
        if (const QString error = m_sibling->connectLink(); !error.isEmpty())
            m_form1->setStatusField(error);
    }
}

// What every source and its window needs from the program.
void AppWindows::fillSourceContext(const AppDeps &deps)
{
    m_sourceContext.units = &m_units;
    m_sourceContext.limits = &m_limits;
    m_sourceContext.sharedGeometry = [this] { return m_form1->sourceWindowRect(); };
    m_sourceContext.setSharedGeometry = [this](const QRect &r) { m_form1->setSourceWindowRect(r); };
    m_sourceContext.hideChoiceWindow = [this] {
        if (m_formChoixMeteo)
            m_formChoixMeteo->hide();
    };
    m_sourceContext.prompts = deps.main.prompts;
    m_sourceContext.beep = [prompts = deps.main.prompts] {
        if (prompts)
            prompts->beep();
    };
    m_sourceContext.publicFolder = deps.publicFolder;
    m_sourceContext.loadingConfiguration = [this] { return m_form1->loadingConfiguration(); };
    m_sourceContext.afterLoad = [this](std::function<void()> action) {
        QObject::connect(
            m_form1.get(), &TForm1::loaded, m_form1.get(),
            [this, action = std::move(action)] { QTimer::singleShot(0, m_form1.get(), action); },
            Qt::SingleShotConnection);
    };
    m_sourceContext.showHelp = [this] { m_form1->MenuAideClick(); };
}

// The main window's menu items and buttons that show or hide other windows.
void AppWindows::wireWindowActions()
{
    m_form1->setComWindow(m_formCOM.get());
    m_form1->setWindowAction(TForm1::Window::Units, [this] {
        m_formMyUnits->show();
        m_formMyUnits->raise();
    });

    m_form1->setWindowAction(TForm1::Window::SourceChoice, [this] {
        m_formChoixMeteo->show();
        m_formChoixMeteo->raise();
    });
    m_form1->setWindowAction(TForm1::Window::CurrentSource, [this] { showCurrentSource(); });
    m_form1->setWindowAction(TForm1::Window::HideSources, [this] { hideSourceWindows(); });
    m_form1->setWindowAction(TForm1::Window::RecordSourceGeometry, [this] { recordSourceGeometry(); });
    m_form1->setWindowAction(TForm1::Window::PendingSource, [this] { m_formChoixMeteo->applyPendingSource(); });
    m_form1->setSourceWindowsVisible([this] {
        for (SourceKind k : {SourceKind::MonitorII, SourceKind::Ws23, SourceKind::Ws28, SourceKind::Aprs,
                             SourceKind::Pro2, SourceKind::Metar}) {
            if (WeatherSourceWindow *w = m_formChoixMeteo->sourceWindow(k); w && w->isVisible())
                return true;
        }
        return false;
    });
}

void AppWindows::Links::takeDeferredReading()
{
    m_app.m_monitor->takeDeferredReading();
}

void AppWindows::Links::recorderStart()
{
    m_app.m_recorder->StartRecorder();
}

void AppWindows::Links::recorderStop()
{
    m_app.m_recorder->StopRecorder();
}

void AppWindows::Links::sendSiblingDone()
{
    m_app.m_sibling->sendDone();
}

void AppWindows::Links::renewSiblingLink()
{
    if (m_app.m_siblingWanted)
        m_app.m_sibling->renew();
}

void AppWindows::addSourceWindow(WeatherSourceWindow *window, int configSection)
{
    m_formChoixMeteo->setSourceWindow(window->kind(), window);
    m_sourceChoice.setSource(window->kind(), &window->source());
    window->declareConfig(m_config, configSection);
}

namespace {
constexpr SourceKind kHideOrder[] = {SourceKind::MonitorII, SourceKind::Ws23, SourceKind::Ws28,
                                     SourceKind::Aprs,      SourceKind::Pro2, SourceKind::Metar};
constexpr SourceKind kCloseOrder[] = {SourceKind::MonitorII, SourceKind::Aprs, SourceKind::Metar,
                                      SourceKind::Ws23,      SourceKind::Ws28, SourceKind::Pro2};
} // namespace

void AppWindows::hideSourceWindows()
{
    for (SourceKind kind : kHideOrder) {
        WeatherSourceWindow *w = m_formChoixMeteo->sourceWindow(kind);
        if (!w || !w->isVisible())
            continue;
        w->closeDataFile();
        w->hide();
    }
}

void AppWindows::showCurrentSource()
{
    const SourceKind kind = m_formChoixMeteo->checkedSource();
    WeatherSourceWindow *w = m_formChoixMeteo->sourceWindow(kind);
    if (kind == SourceKind::None || !w) {
        m_formChoixMeteo->show();
        return;
    }
    w->show();
    w->raise();
}

void AppWindows::recordSourceGeometry()
{
    // The last visible one in this order wins.
    for (SourceKind kind : kCloseOrder) {
        const WeatherSourceWindow *w = m_formChoixMeteo->sourceWindow(kind);
        if (w && w->isVisible())
            m_form1->setSourceWindowRect(w->savedGeometry());
    }
}

StationWebHooks AppWindows::webHooks()
{
    // The source choice and the items, through the windows' typed accessors.
    StationWebHooks h;
    h.chosenSource = [this] { return m_formChoixMeteo->checkedSource(); };
    h.activeSource = [this] { return m_formChoixMeteo->activeSource(); };
    h.sourceCaption = [this](SourceKind kind) {
        const QRadioButton *radio = m_formChoixMeteo->radioButton(kind);
        return radio ? radio->text() : QString();
    };
    h.hasSource = [this](SourceKind kind) { return m_formChoixMeteo->sourceWindow(kind) != nullptr; };
    h.snapshot = [this](SourceKind kind) { return m_formChoixMeteo->sourceWindow(kind)->snapshot(); };
    h.selection = [this](SourceKind kind) { return m_formChoixMeteo->sourceWindow(kind)->selection(); };
    h.errorLine = [this](SourceKind kind) { return m_formChoixMeteo->sourceWindow(kind)->errorLine(); };
    h.chooseSource = [this](SourceKind kind) {
        if (QRadioButton *radio = m_formChoixMeteo->radioButton(kind); radio && !radio->isChecked())
            radio->click();
    };
    h.setItem = [this](SourceKind kind, WeatherItem item, bool on) {
        WeatherSourceWindow *w = m_formChoixMeteo->sourceWindow(kind);
        if (QCheckBox *box = w ? w->itemBox(item) : nullptr; box && box->isChecked() != on)
            box->click();
    };
    h.source = [this](SourceKind kind) { return m_sourceChoice.source(kind); };
    h.favourites = [this](SourceKind kind) -> Favourites * {
        if (kind == SourceKind::Metar)
            return &m_formFavMETAR->favourites();
        return kind == SourceKind::Aprs ? &m_formFavAPRS->favourites() : nullptr;
    };
    h.startupPending = [this] { return m_form1->startupPending(); };
    h.statusText = [this] { return m_form1->statusFieldText(); };
    h.save = [this] { return m_form1->SaveConfiguration() ? QString() : m_form1->statusFieldText(); };
    return h;
}

WeatherContext AppWindows::weatherContext() const
{
    WeatherContext c;
    c.kind = m_sourceChoice.activeSource();
    if (const WeatherSource *s = m_sourceChoice.source(c.kind)) {
        c.snapshot = s->snapshot();
        c.selection = s->selection();
    }
    c.units = m_units;
    c.limits = m_limits;
    c.sixteenPoints = m_form1->sixteenPoints();
    return c;
}

AppWindows::~AppWindows()
{
    m_web.reset();
    m_form1->setComWindow(nullptr);
    m_form1->setWeather(nullptr);
    m_form1->setLinks(nullptr);
    m_form1->setTopOfHourAction({});
    m_formFavMETAR.reset();
    m_formMeteoMETAR.reset();
    m_recorder.reset();
    m_formRecord.reset();
    m_formCOM.reset();
    m_formFavAPRS.reset();
    m_formMeteoPro2.reset();
    m_formMeteoAPRS.reset();
    m_formMeteoW28.reset();
    m_formMeteoW23.reset();
    m_formMyUnits.reset();
    m_formChoixMeteo.reset();
    m_formMeteo.reset();
    for (SourceKind kind : SourceChoice::kSources)
        m_sourceChoice.setSource(kind, nullptr);
    m_metar.reset();
    m_aprs.reset();
    m_monitor.reset(); // closes the station's port
    m_pro2.reset();
    m_ws28.reset();
    m_ws23.reset();
    m_formInfo.reset();
    m_sibling->disconnectLink();
    m_sibling.reset();
    m_form1.reset();
}

} // namespace auravox
