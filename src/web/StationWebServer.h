#pragma once

#include "web/WebPassword.h"
#include "web/WebSessions.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <map>
#include <optional>

class QTcpServer;

namespace auravox {

class AnnouncementHistory;
class LogTail;
class StationView;

struct WebServerOptions
{
    // The station password's file (relative to the working folder).
    QString passwordFile = WebPassword::kFileName;
    WebSessions::Limits sessions;
    // A change request's body, and what one connection may have sent and not
    // yet had answered (headers and body).
    qsizetype maxBody = 8 * 1024;
    qsizetype maxPending = 64 * 1024;
    int maxConnections = 32;
    // Requests of one address, login attempts of one address, changes of one session.
    double requestBurst = 120, requestsPerSecond = 20;
    double loginBurst = 5, loginsPerSecond = 1.0 / 12;
    double changeBurst = 10, changesPerSecond = 0.5;
};

// The station page's HTTP server: the page itself (one HTML file, a style
// sheet and a script from the program's resources) and a JSON API.
//
//   GET  /api/status, /api/announcements, /api/log    read
//   POST /api/login {"password": ...}                  -> session cookie and token
//   POST /api/logout, /api/play, /api/settings {...}   change (token in X-Auravox-Token)
//
// Reading from the loopback address needs no login; everything else needs a
// session opened with the station password. A change must carry the session's
// token, and an Origin header, when present, must name this server.
class StationWebServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    StationWebServer(StationView &view, AnnouncementHistory &history, LogTail *tail,
                     std::function<QDateTime()> now, WebServerOptions options = {}, QObject *parent = nullptr);
    ~StationWebServer() override;

    // Starts listening; false with `error` set when the address can't be had.
    bool start(const QHostAddress &address, quint16 port, QString *error);
    // The port listened on (0 when not listening).
    quint16 port() const;
    QHostAddress address() const;

    static constexpr const char *kTokenHeader = "x-auravox-token";
    static constexpr const char *kCookieName = "auravox_session";

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Request;
    struct Reply;

    Reply route(Request &request);
    Reply serveFile(const Request &request, const QString &resource, const QByteArray &type);
    Reply login(const Request &request);
    Reply logout(const Request &request);
    Reply play(const Request &request);
    Reply settings(const Request &request);
    Reply statusReply(const Request &request);
    Reply announcements(const Request &request);
    Reply logReply(const Request &request);
    // Null when a change may go on; otherwise the refusal.
    std::optional<Reply> refuseChange(const Request &request, const WebSessions::Session **session);
    bool mayRead(const Request &request);
    bool hostAllowed(const Request &request) const;
    bool originAllowed(const Request &request) const;
    const WebSessions::Session *session(const Request &request);
    QString passwordLine() const;
    void send(const QHttpServerRequest &request, QTcpSocket *socket, const Reply &reply);
    static void send(QHttpServerResponder &responder, const Reply &reply);
    void finishLogin(quint64 id, bool matched, const QString &line, const QString &peer);

    StationView &m_view;
    AnnouncementHistory &m_history;
    LogTail *m_tail;
    std::function<QDateTime()> m_now;
    WebServerOptions m_options;
    WebSessions m_sessions;
    RateLimiter m_requests;
    RateLimiter m_logins;
    RateLimiter m_changes;
    QPointer<QTcpServer> m_tcp;
    // Logins waiting for their password check, which runs on a thread of its
    // own so that the station's clock and sound never wait for it.
    QThreadPool m_checks;
    quint64 m_nextLogin = 1;
    std::map<quint64, std::pair<QPointer<QTcpSocket>, QHttpServerResponder>> m_waitingLogins;
};

} // namespace auravox
