#pragma once

#include "web/WebPassword.h"
#include "web/WebSessions.h"
#include "web/WorkingFiles.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace auravox {

class AnnouncementHistory;
struct HttpRequest;
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
    // An uploaded wave's body (POST /api/upload).
    qsizetype maxUpload = WorkingFiles::kMaxUploadBytes;
    int maxConnections = 32;
    // What one source (see clientSource) may hold of them; when the slots
    // run out a new connection takes the place of the longest-waiting one of
    // the source holding the most, unless that one awaits its answer.
    int maxConnectionsPerSource = 16;
    // A connection is closed when a request takes longer than this to come
    // in whole (counted from the connection, or from the request's first
    // byte), or when it stays idle between requests longer than idleSeconds.
    int requestSeconds = 5;
    int idleSeconds = 15;
    // How often those bounds and the waiting logins are looked at.
    int sweepMs = 1000;
    // Requests of one source, password checks of one source, changes of one session.
    // A login over the limit waits for its turn rather than being refused.
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
//   POST /api/upload?name=header.wav  (the wave's bytes) a wave into the working folder
//
// Reading from the loopback address needs no login; everything else needs a
// session opened with the station password. A change must carry the session's
// token, and an Origin header, when present, must name this server.
//
// The HTTP/1.1 transport is its own (HttpRequestReader): requests are read
// strictly, answered in the order they came, and a connection is closed after
// any request it could not frame.
class StationWebServer : public QObject
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
    // Logins waiting for their password check, and connections open.
    int waitingLogins() const { return static_cast<int>(m_waitingLogins.size()); }
    int connections() const { return static_cast<int>(m_connections.size()); }

    static constexpr const char *kTokenHeader = "x-auravox-token";
    static constexpr const char *kCookieName = "auravox_session";

private:
    struct Request;
    struct Reply;
    struct Connection;
    struct LoginAttempt
    {
        quint64 connection = 0;
        QString source, line, password, peer;
    };

    // The one form of every refusal: the status and a JSON {"error": text}.
    static Reply error(int status, const QString &text);
    static QByteArray encode(const Reply &reply, bool close);
    void accept();
    bool makeRoom(const QString &source);
    void readFrom(quint64 id);
    void answer(Connection &c, HttpRequest &request);
    void sendReply(Connection &c, const Reply &reply, bool close);
    void closeConnection(quint64 id);
    void sweep();
    void pumpLogins();

    Reply route(Request &request);
    Reply serveFile(const Request &request, const QString &resource, const QByteArray &type);
    Reply login(const Request &request);
    Reply logout(const Request &request);
    Reply play(const Request &request);
    Reply settings(const Request &request);
    Reply upload(const Request &request);
    Reply statusReply(const Request &request);
    Reply announcements(const Request &request);
    Reply logReply(const Request &request);
    // Null when a change may go on; otherwise the refusal.
    // `contentTypes`: the body types the change accepts (JSON when empty).
    std::optional<Reply> refuseChange(const Request &request, const WebSessions::Session **session,
                                      const QList<QByteArray> &contentTypes = {});
    bool mayRead(const Request &request);
    bool hostAllowed(const Request &request) const;
    bool originAllowed(const Request &request) const;
    const WebSessions::Session *session(const Request &request);
    QString passwordLine() const;
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
    QTimer m_sweep;
    quint64 m_nextConnection = 1;
    std::map<quint64, std::unique_ptr<Connection>> m_connections;
    // Logins waiting for their password check, oldest first. The check runs
    // on a thread of its own, one at a time, so that the station's clock and
    // sound never wait for it; an attempt whose client went away is dropped
    // unchecked.
    QThreadPool m_checks;
    bool m_checking = false;
    std::deque<LoginAttempt> m_waitingLogins;
};

} // namespace auravox
