#include "web/StationWebServer.h"

#include "common/Log.h"
#include "web/AnnouncementHistory.h"
#include "web/LogTail.h"
#include "web/StationView.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace auravox {

struct StationWebServer::Request
{
    QHttpServerRequest::Method method = QHttpServerRequest::Method::Unknown;
    QString path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QHostAddress peer;
    bool loopback = false;

    QByteArray header(const char *name) const { return headers.value(QByteArray(name)); }
};

struct StationWebServer::Reply
{
    int status = 200;
    QByteArray body;
    QByteArray type = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    bool headOnly = false;
    // A login whose password check is still running: the answer comes later.
    std::function<void(quint64 id)> deferred;
};

namespace {

using Reply = QPair<int, QJsonObject>;

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray errorBody(const QString &text)
{
    return json(QJsonObject{{QStringLiteral("error"), text}});
}

constexpr const char *kPendingBytes = "auravoxPendingBytes";
constexpr const char *kLeftOver = "auravoxLeftOver";

// Refuses connections over the limit, and a connection that has sent more
// than it may without making a complete request: an endless header or body
// gets "413" and the connection is closed, instead of filling memory. The
// read buffer is capped too, so no single read brings in more.
class GuardedTcpServer final : public QTcpServer
{
public:
    GuardedTcpServer(qsizetype maxPending, int maxConnections, QObject *parent)
        : QTcpServer(parent), m_maxPending(maxPending), m_maxConnections(maxConnections)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (m_open >= m_maxConnections) {
            socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            return;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        socket->setReadBufferSize(m_maxPending);
        // Connected before the HTTP server's own reader: counts what arrives
        // until the server has a whole request (handleRequest resets it).
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const qint64 fresh = socket->bytesAvailable() - socket->property(kLeftOver).toLongLong();
            const qint64 pending = socket->property(kPendingBytes).toLongLong() + std::max<qint64>(0, fresh);
            socket->setProperty(kPendingBytes, pending);
            QTimer::singleShot(0, socket, [this, socket, pending] {
                // What the HTTP reader left in the buffer counts once only.
                socket->setProperty(kLeftOver, socket->bytesAvailable());
                if (pending < m_maxPending || socket->state() != QAbstractSocket::ConnectedState)
                    return;
                qCWarning(lcWeb) << "request too large from" << socket->peerAddress().toString();
                const QByteArray body = errorBody(QStringLiteral("request too large"));
                socket->write("HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\nConnection: "
                              "close\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        });
        addPendingConnection(socket);
    }

private:
    qsizetype m_maxPending;
    int m_maxConnections;
    int m_open = 0;
};

QByteArray cookieValue(const QByteArray &cookieHeader, const QByteArray &name)
{
    for (const QByteArray &part : cookieHeader.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.startsWith(name + '='))
            return p.mid(name.size() + 1);
    }
    return QByteArray();
}

} // namespace

StationWebServer::StationWebServer(StationView &view, AnnouncementHistory &history, LogTail *tail,
                                   std::function<QDateTime()> now, WebServerOptions options, QObject *parent)
    : QAbstractHttpServer(parent), m_view(view), m_history(history), m_tail(tail), m_now(now),
      m_options(std::move(options)), m_sessions(now, m_options.sessions),
      m_requests(now, m_options.requestBurst, m_options.requestsPerSecond),
      m_logins(now, m_options.loginBurst, m_options.loginsPerSecond),
      m_changes(now, m_options.changeBurst, m_options.changesPerSecond)
{
    m_checks.setMaxThreadCount(1);
}

StationWebServer::~StationWebServer()
{
    m_checks.waitForDone();
}

bool StationWebServer::start(const QHostAddress &address, quint16 port, QString *error)
{
    auto *tcp = new GuardedTcpServer(m_options.maxPending, m_options.maxConnections, this);
    if (!tcp->listen(address, port)) {
        *error = tcp->errorString();
        delete tcp;
        return false;
    }
    bind(tcp);
    m_tcp = tcp;
    return true;
}

quint16 StationWebServer::port() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

QHostAddress StationWebServer::address() const
{
    return m_tcp ? m_tcp->serverAddress() : QHostAddress();
}

QString StationWebServer::passwordLine() const
{
    return WebPassword::load(m_options.passwordFile);
}

bool StationWebServer::hostAllowed(const Request &r) const
{
    // A page of another site reached through a name that points here (DNS
    // rebinding) names its own host: loopback reading without a login is for
    // this machine's own names only. Other addresses must log in anyway.
    if (!r.loopback)
        return true;
    const QUrl host = QUrl(QStringLiteral("http://") + QString::fromLatin1(r.header("host")));
    if (!host.isValid() || host.port() != port())
        return false;
    const QString name = host.host().toLower();
    return name == QLatin1String("localhost") || QHostAddress(name).isLoopback() ||
           QHostAddress(name) == address();
}

bool StationWebServer::originAllowed(const Request &r) const
{
    if (r.header("sec-fetch-site") == "cross-site")
        return false;
    const QByteArray origin = r.header("origin");
    if (origin.isEmpty())
        return true; // not a browser's cross-site request; the token still has to match
    return origin.toLower() == "http://" + r.header("host").toLower();
}

const WebSessions::Session *StationWebServer::session(const Request &r)
{
    const QByteArray id = cookieValue(r.header("cookie"), kCookieName);
    return id.isEmpty() ? nullptr : m_sessions.find(id, passwordLine());
}

bool StationWebServer::mayRead(const Request &r)
{
    return r.loopback || session(r) != nullptr;
}

bool StationWebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    socket->setProperty(kPendingBytes, 0); // a whole request: the count starts again
    Request r;
    r.method = request.method();
    r.path = request.url().path();
    for (const auto &h : request.headers())
        r.headers.insert(h.first.toLower(), h.second);
    r.body = request.body();
    r.peer = request.remoteAddress();
    r.loopback = r.peer.isLoopback();

    const QPointer<QTcpSocket> guard(socket);
    const Reply reply = route(r);
    // A change may have run the event loop (an announcement's start, a
    // source's first reading): the client may have gone meanwhile.
    if (!guard)
        return true;
    if (reply.deferred) {
        const quint64 id = m_nextLogin++;
        m_waitingLogins.emplace(id, std::make_pair(guard, makeResponder(request, socket)));
        reply.deferred(id);
        return true;
    }
    send(request, socket, reply);
    return true;
}

void StationWebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Reply reply;
    reply.status = 404;
    reply.body = errorBody(QStringLiteral("not found"));
    send(request, socket, reply);
}

void StationWebServer::send(const QHttpServerRequest &request, QTcpSocket *socket, const Reply &reply)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    send(responder, reply);
}

void StationWebServer::send(QHttpServerResponder &responder, const Reply &reply)
{
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    responder.writeHeader("Content-Type", reply.type);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("X-Frame-Options", "DENY");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    responder.writeHeader("Content-Security-Policy",
                          "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'; form-action 'self'");
    for (const auto &h : reply.headers)
        responder.writeHeader(h.first, h.second);
    responder.writeBody(reply.headOnly ? QByteArray() : reply.body);
}

StationWebServer::Reply StationWebServer::route(Request &r)
{
    auto error = [](int status, const QString &text) {
        Reply reply;
        reply.status = status;
        reply.body = errorBody(text);
        return reply;
    };
    if (!m_requests.take(r.peer.toString()))
        return error(429, QStringLiteral("too many requests; slow down"));
    if (!r.headers.contains("host"))
        return error(400, QStringLiteral("the request has no Host header"));
    if (!hostAllowed(r))
        return error(421, QStringLiteral("this server does not answer for that host name"));
    const QByteArray length = r.header("content-length");
    if (!length.isEmpty()) {
        bool ok = false;
        const qlonglong n = length.toLongLong(&ok);
        if (!ok || n < 0 || n != r.body.size())
            return error(400, QStringLiteral("malformed Content-Length"));
    }
    if (r.body.size() > m_options.maxBody)
        return error(413, QStringLiteral("request body too large (%1 bytes at most)").arg(m_options.maxBody));

    using M = QHttpServerRequest::Method;
    const bool get = r.method == M::Get || r.method == M::Head;
    struct Page
    {
        const char *path, *resource, *type;
    };
    static const Page kPages[] = {{"/", ":/web/index.html", "text/html; charset=utf-8"},
                                  {"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
                                  {"/station.css", ":/web/station.css", "text/css; charset=utf-8"},
                                  {"/station.js", ":/web/station.js", "text/javascript; charset=utf-8"}};
    for (const Page &p : kPages) {
        if (r.path == QLatin1String(p.path)) {
            if (!get)
                return error(405, QStringLiteral("use GET"));
            return serveFile(r, QLatin1String(p.resource), p.type);
        }
    }
    struct Api
    {
        const char *path;
        bool post;
        Reply (StationWebServer::*handler)(const Request &);
    };
    static const Api kApi[] = {{"/api/status", false, &StationWebServer::statusReply},
                               {"/api/announcements", false, &StationWebServer::announcements},
                               {"/api/log", false, &StationWebServer::logReply},
                               {"/api/login", true, &StationWebServer::login},
                               {"/api/logout", true, &StationWebServer::logout},
                               {"/api/play", true, &StationWebServer::play},
                               {"/api/settings", true, &StationWebServer::settings}};
    for (const Api &a : kApi) {
        if (r.path != QLatin1String(a.path))
            continue;
        if (a.post ? r.method != M::Post : !get)
            return error(405, a.post ? QStringLiteral("use POST") : QStringLiteral("use GET"));
        if (!a.post && !mayRead(r))
            return error(401, QStringLiteral("log in with the station password"));
        Reply reply = (this->*a.handler)(r);
        reply.headOnly = r.method == M::Head;
        return reply;
    }
    return error(404, QStringLiteral("not found"));
}

StationWebServer::Reply StationWebServer::serveFile(const Request &r, const QString &resource, const QByteArray &type)
{
    Reply reply;
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        reply.status = 500;
        reply.body = errorBody(QStringLiteral("the page is missing from the program"));
        return reply;
    }
    reply.body = file.readAll();
    reply.type = type;
    reply.headOnly = r.method == QHttpServerRequest::Method::Head;
    return reply;
}

std::optional<StationWebServer::Reply> StationWebServer::refuseChange(const Request &r,
                                                                       const WebSessions::Session **session)
{
    auto error = [](int status, const QString &text) {
        Reply reply;
        reply.status = status;
        reply.body = errorBody(text);
        return reply;
    };
    if (!originAllowed(r))
        return error(403, QStringLiteral("a change must come from the station page itself"));
    if (!r.body.isEmpty() && !r.header("content-type").startsWith("application/json"))
        return error(415, QStringLiteral("send the body as application/json"));
    *session = this->session(r);
    if (!*session)
        return error(401, QStringLiteral("log in with the station password"));
    if (!WebSessions::sameSecret(r.header(kTokenHeader), (*session)->token))
        return error(403, QStringLiteral("the request lacks the session's token"));
    if (!m_changes.take(QString::fromLatin1((*session)->id)))
        return error(429, QStringLiteral("too many changes; slow down"));
    return std::nullopt;
}

StationWebServer::Reply StationWebServer::login(const Request &r)
{
    Reply reply;
    auto error = [&](int status, const QString &text) {
        reply.status = status;
        reply.body = errorBody(text);
        return reply;
    };
    if (!originAllowed(r))
        return error(403, QStringLiteral("log in from the station page itself"));
    if (!r.header("content-type").startsWith("application/json"))
        return error(415, QStringLiteral("send the body as application/json"));
    if (!m_logins.take(r.peer.toString()))
        return error(429, QStringLiteral("too many login attempts; wait a minute"));
    const QJsonDocument doc = QJsonDocument::fromJson(r.body);
    if (!doc.isObject() || !doc.object().value(QStringLiteral("password")).isString())
        return error(400, QStringLiteral("send {\"password\": \"...\"}"));
    const QString line = passwordLine();
    if (line.isEmpty())
        return error(403, QStringLiteral("no station password is set: run auravox --set-web-password"));
    const QString password = doc.object().value(QStringLiteral("password")).toString();
    const QString peer = r.peer.toString();
    reply.deferred = [this, line, password, peer](quint64 id) {
        m_checks.start([this, id, line, password, peer] {
            const bool matched = WebPassword::matches(line, password);
            QMetaObject::invokeMethod(
                this, [this, id, matched, line, peer] { finishLogin(id, matched, line, peer); }, Qt::QueuedConnection);
        });
    };
    return reply;
}

void StationWebServer::finishLogin(quint64 id, bool matched, const QString &line, const QString &peer)
{
    auto waiting = m_waitingLogins.extract(id);
    if (waiting.empty() || !waiting.mapped().first)
        return; // the client went away
    Reply reply;
    if (!matched) {
        qCWarning(lcWeb) << "wrong station password from" << peer;
        reply.status = 401;
        reply.body = errorBody(QStringLiteral("wrong password"));
    } else {
        const WebSessions::Session &s = m_sessions.create(line);
        qCInfo(lcWeb) << "station page login from" << peer;
        reply.body = json(QJsonObject{{QStringLiteral("token"), QString::fromLatin1(s.token)},
                                      {QStringLiteral("idleSeconds"), m_options.sessions.idleSeconds}});
        reply.headers.append(
            {"Set-Cookie", QByteArray(kCookieName) + '=' + s.id + "; Path=/; HttpOnly; SameSite=Strict"});
    }
    send(waiting.mapped().second, reply);
}

StationWebServer::Reply StationWebServer::logout(const Request &r)
{
    const WebSessions::Session *s = nullptr;
    if (auto refusal = refuseChange(r, &s))
        return *refusal;
    m_sessions.remove(s->id);
    Reply reply;
    reply.body = json(QJsonObject{{QStringLiteral("loggedIn"), false}});
    reply.headers.append({"Set-Cookie", QByteArray(kCookieName) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict"});
    return reply;
}

StationWebServer::Reply StationWebServer::play(const Request &r)
{
    const WebSessions::Session *s = nullptr;
    if (auto refusal = refuseChange(r, &s))
        return *refusal;
    Reply reply;
    const qint64 before = m_history.lastId();
    qCInfo(lcWeb) << "Play the message from the station page," << r.peer.toString();
    if (!m_view.clickPlay()) {
        // The button is disabled: an announcement is playing.
        reply.status = 409;
        reply.body = json(QJsonObject{
            {QStringLiteral("error"), QStringLiteral("refused: ") +
                                          AnnouncementHistory::refusalText(AnnounceRefusal::Busy)},
            {QStringLiteral("reason"), QStringLiteral("busy")}});
        return reply;
    }
    for (const AnnouncementHistory::Entry &e : m_history.entries()) {
        if (e.id <= before)
            continue;
        const QJsonObject entry = m_history.toJson(e);
        if (e.outcome == AnnouncementHistory::Outcome::Refused) {
            reply.status = 409;
            reply.body = json(QJsonObject{{QStringLiteral("error"), QStringLiteral("refused: ") + e.detail},
                                          {QStringLiteral("announcement"), entry}});
        } else {
            reply.status = 202;
            reply.body = json(QJsonObject{{QStringLiteral("announcement"), entry}});
        }
        return reply;
    }
    reply.status = 409;
    reply.body = errorBody(QStringLiteral("refused"));
    return reply;
}

StationWebServer::Reply StationWebServer::settings(const Request &r)
{
    const WebSessions::Session *s = nullptr;
    if (auto refusal = refuseChange(r, &s))
        return *refusal;
    Reply reply;
    QString why;
    bool unprocessable = false;
    const auto change = SettingsChange::parse(r.body, &why, &unprocessable, m_view.chosenSource());
    if (!change) {
        reply.status = unprocessable ? 422 : 400;
        reply.body = errorBody(why);
        return reply;
    }
    qCInfo(lcWeb) << "settings changed from the station page," << r.peer.toString() << r.body;
    if (const QString failure = m_view.applySettings(*change); !failure.isEmpty()) {
        reply.status = 500;
        reply.body = errorBody(failure);
        return reply;
    }
    reply.body = json(m_view.status().value(QStringLiteral("settings")).toObject());
    return reply;
}

StationWebServer::Reply StationWebServer::statusReply(const Request &r)
{
    QJsonObject o = m_view.status();
    const bool loggedIn = session(r) != nullptr;
    o.insert(QStringLiteral("access"), QJsonObject{{QStringLiteral("loggedIn"), loggedIn},
                                                   {QStringLiteral("passwordSet"), !passwordLine().isEmpty()},
                                                   {QStringLiteral("loopback"), r.loopback}});
    o.insert(QStringLiteral("revisions"),
             QJsonObject{{QStringLiteral("announcements"), m_history.revision()},
                         {QStringLiteral("log"), static_cast<qint64>(m_tail ? m_tail->revision() : 0) +
                                                     m_view.logBookRevision()}});
    Reply reply;
    reply.body = json(o);
    return reply;
}

StationWebServer::Reply StationWebServer::announcements(const Request &)
{
    Reply reply;
    reply.body = json(QJsonObject{{QStringLiteral("announcements"), m_history.toJson()}});
    return reply;
}

StationWebServer::Reply StationWebServer::logReply(const Request &)
{
    Reply reply;
    reply.body = json(QJsonObject{
        {QStringLiteral("journal"), QJsonArray::fromStringList(m_tail ? m_tail->lines(100) : QStringList())},
        {QStringLiteral("logbook"), QJsonArray::fromStringList(m_view.logBook(50))}});
    return reply;
}

} // namespace auravox
