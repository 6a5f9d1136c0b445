#pragma once

#include "web/AnnouncementHistory.h"
#include "web/LogTail.h"
#include "web/StationSettings.h"
#include "web/StationView.h"
#include "web/StationWebServer.h"

#include <QHash>
#include <QObject>

#include <memory>

namespace auravox {

class AppWindows;
class Clock;

// The station page of a running program: the announcement history, the log
// tail, the server, and the program's side of the page (StationView), which
// reads the windows and acts on them as a user would.
class StationWeb final : public QObject, public StationView
{
    Q_OBJECT
public:
    // `portOverride` >= 0 replaces the configured port (tests use 0).
    StationWeb(AppWindows &app, Clock &clock, int portOverride = -1,
               WebServerOptions options = {});
    ~StationWeb() override;

    // The "WEB=", "WEB_ADDRESS=", "WEB_PORT=" keys.
    WebListenSettings &listenSettings() { return m_listen; }
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

    AppWindows &m_app;
    Clock &m_clock;
    int m_portOverride;
    WebServerOptions m_options;
    WebListenSettings m_listen;
    AnnouncementHistory m_history;
    std::unique_ptr<LogTail> m_tail;
    std::unique_ptr<StationWebServer> m_server;
    QHash<QString, QString> m_words;
};

} // namespace auravox
