#pragma once

#include "web/AnnouncementHistory.h"
#include "web/LogTail.h"
#include "web/StationSettings.h"
#include "web/StationView.h"
#include "web/StationWebServer.h"
#include "weather/Weather.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

namespace auravox {

class Announcer;
class Clock;
class Favourites;
class WeatherSource;
class SerialPortControl;
struct PttSettings;
struct StationModels;

// What the page needs of the weather sources and of the program around it,
// given by whoever builds the page (the windows, or a program without them).
struct StationWebHooks
{
    // The source chosen, and the one ready to speak (None until it is).
    std::function<SourceKind()> chosenSource;
    std::function<SourceKind()> activeSource;
    // The choice's caption of a source ("WS-23xx history file", ...).
    std::function<QString(SourceKind)> sourceCaption;
    // Whether the program has that source.
    std::function<bool(SourceKind)> hasSource;
    std::function<WeatherSnapshot(SourceKind)> snapshot;
    std::function<AnnounceSelection(SourceKind)> selection;
    std::function<QString(SourceKind)> errorLine;
    // Chooses a source as the choice does; checks or clears an item of a source.
    std::function<void(SourceKind)> chooseSource;
    std::function<void(SourceKind, WeatherItem, bool)> setItem;
    // The source's object, whose own settings the page sets (null when the
    // program has none for it), and the favourites of an Internet source.
    std::function<WeatherSource *(SourceKind)> source;
    std::function<Favourites *(SourceKind)> favourites;

    // True until the configuration has been loaded.
    std::function<bool()> startupPending;
    // The status field.
    std::function<QString()> statusText;
    // Writes "auravox.ini"; empty, or what the program shows when it can't.
    std::function<QString()> save;
};

// The station page of a running program: the announcement history, the log
// tail, the server, and the program's side of the page (StationView), which
// reads and sets the settings models and starts announcements through the engine.
class StationWeb final : public QObject, public StationView
{
    Q_OBJECT
public:
    // `portOverride` >= 0 replaces the configured port (tests use 0).
    StationWeb(Announcer &engine, StationModels &models, SerialPortControl *port, StationWebHooks hooks,
               Clock &clock, int portOverride = -1, WebServerOptions options = {});
    ~StationWeb() override;

    // Listens as the configuration says (run once the configuration is loaded).
    void start();
    StationWebServer *server() const { return m_server.get(); }
    AnnouncementHistory &history() { return m_history; }

    // StationView
    QJsonObject status() override;
    QStringList logBook(int lines) override;
    bool clickPlay() override;
    QString applySettings(const SettingsChange &change) override;
    SourceKind chosenSource() const override;
    qint64 logBookRevision() const override;

    // The words a clip says ("son_time_is": "time is").
    QString spokenWords(const QString &clip) const;

private:
    QJsonObject weatherStatus();
    QJsonObject settingsStatus();
    QJsonObject portStatus();
    QJsonObject pttStatus();
    // The port model's kind and settings as `change` would make them: empty,
    // or why they are refused.
    QString changedPtt(const QJsonObject &change, PttSettings *ptt) const;
    QJsonObject sourcesStatus();
    // Why a source's settings can't be set as asked: empty when they can.
    QString sourceRefusal(SourceKind kind, const SourceSettingsChange &change) const;
    void applySource(SourceKind kind, const SourceSettingsChange &change);
    // Why the change is refused (a file that can't be played, a port or a
    // card the program does not list, ...): empty when it can be made.
    QString refusal(const SettingsChange &change) const;
    // The files, folders, card and port of the change: empty, or the port's error.
    QString applyChecked(const SettingsChange &change);

    Announcer &m_engine;
    StationModels &m_models;
    SerialPortControl *m_port;
    StationWebHooks m_hooks;
    Clock &m_clock;
    int m_portOverride;
    WebServerOptions m_options;
    AnnouncementHistory m_history;
    std::unique_ptr<LogTail> m_tail;
    std::unique_ptr<StationWebServer> m_server;
    QHash<QString, QString> m_words;
    QString m_pttError;
};

} // namespace auravox
