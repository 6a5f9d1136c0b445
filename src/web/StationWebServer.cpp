#include "web/StationWebServer.h"

#include "common/Log.h"
#include "web/AnnouncementHistory.h"
#include "web/HttpRequestReader.h"
#include "web/LogTail.h"
#include "web/StationView.h"
#include "web/WorkingFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace auravox {

struct StationWebServer::Request
{
    QHttpServerRequest::Method method = QHttpServerRequest::Method::Unknown;
    QString path;
    QString query;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QHostAddress peer;
    QString source; // clientSource(peer)
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
    // A login whose password check is still to run: the answer comes later,
    // and the connection's later requests wait for it.
    std::function<void(quint64 connection)> deferred;
};

struct StationWebServer::Connection
{
    explicit Connection(HttpRequestReader::Limits limits) : reader(limits) {}

    quint64 id = 0;
    QTcpSocket *socket = nullptr; // a child of the TCP server
    QHostAddress peer;
    QString source;
    HttpRequestReader reader;
    bool waiting = false;  // its answer is still to come (a login being checked)
    bool keepAlive = true; // of the request waiting for its answer
    bool closing = false;  // the last answer is going out
    bool served = false;   // has had an answer
    QDateTime since;       // the wait for the next request began (opened, or last answered)
    QDateTime partSince;   // the first byte of the request being read came
};

namespace {

const QString kLoopbackSource = clientSource(QHostAddress::LocalHost);

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray errorBody(const QString &text)
{
    return json(QJsonObject{{QStringLiteral("error"), text}});
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 202:
        return "Accepted";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 413:
        return "Payload Too Large";
    case 415:
        return "Unsupported Media Type";
    case 417:
        return "Expectation Failed";
    case 421:
        return "Misdirected Request";
    case 422:
        return "Unprocessable Content";
    case 429:
        return "Too Many Requests";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return status < 500 ? "Client Error" : "Server Error";
    }
}

QHttpServerRequest::Method methodOf(const QByteArray &name)
{
    using M = QHttpServerRequest::Method;
    static const std::pair<const char *, M> kMethods[] = {
        {"GET", M::Get},         {"HEAD", M::Head},     {"POST", M::Post},
        {"PUT", M::Put},         {"DELETE", M::Delete}, {"PATCH", M::Patch},
        {"OPTIONS", M::Options}, {"TRACE", M::Trace},   {"CONNECT", M::Connect}};
    for (const auto &[text, method] : kMethods)
        if (name == text)
            return method;
    return M::Unknown;
}

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
    : QObject(parent), m_view(view), m_history(history), m_tail(tail), m_now(now), m_options(std::move(options)),
      m_sessions(now, m_options.sessions), m_requests(now, m_options.requestBurst, m_options.requestsPerSecond),
      m_logins(now, m_options.loginBurst, m_options.loginsPerSecond),
      m_changes(now, m_options.changeBurst, m_options.changesPerSecond)
{
    m_checks.setMaxThreadCount(1);
    m_sweep.setInterval(m_options.sweepMs);
    connect(&m_sweep, &QTimer::timeout, this, [this] {
        sweep();
        pumpLogins(); // a source's turn may have come
    });
}

StationWebServer::~StationWebServer()
{
    m_waitingLogins.clear();
    m_checks.waitForDone();
    for (const auto &entry : m_connections)
        entry.second->socket->disconnect(this);
    delete m_tcp;
}

bool StationWebServer::start(const QHostAddress &address, quint16 port, QString *error)
{
    auto *tcp = new QTcpServer(this);
    if (!tcp->listen(address, port)) {
        *error = tcp->errorString();
        delete tcp;
        return false;
    }
    connect(tcp, &QTcpServer::newConnection, this, &StationWebServer::accept);
    m_tcp = tcp;
    m_sweep.start();
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

StationWebServer::Reply StationWebServer::error(int status, const QString &text)
{
    Reply reply;
    reply.status = status;
    reply.body = errorBody(text);
    return reply;
}

QByteArray StationWebServer::encode(const Reply &reply, bool close)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    const QList<QPair<QByteArray, QByteArray>> fixed = {
        {"Content-Type", reply.type},
        {"Content-Length", QByteArray::number(reply.body.size())},
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Content-Security-Policy",
         "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'; form-action 'self'"}};
    for (const auto &list : {fixed, reply.headers})
        for (const auto &[name, value] : list)
            out += name + ": " + value + "\r\n";
    if (close)
        out += "Connection: close\r\n";
    out += "\r\n";
    if (!reply.headOnly)
        out += reply.body;
    return out;
}

void StationWebServer::accept()
{
    while (QTcpSocket *socket = m_tcp->nextPendingConnection()) {
        const QHostAddress peer = socket->peerAddress();
        const QString source = clientSource(peer);
        if (!makeRoom(source)) {
            qCWarning(lcWeb) << "too many connections; refused one from" << peer.toString();
            socket->write(encode(error(503, QStringLiteral("too many connections; try again")), true));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        auto c = std::make_unique<Connection>(HttpRequestReader::Limits{m_options.maxPending, m_options.maxBody,
                                                                         QByteArrayLiteral("/api/upload"),
                                                                         m_options.maxUpload});
        const quint64 id = m_nextConnection++;
        c->id = id;
        c->socket = socket;
        c->peer = peer;
        c->source = source;
        c->since = c->partSince = m_now();
        // What one read brings in is capped, and nothing is read while an
        // answer is pending: the rest waits in the system's buffers.
        socket->setReadBufferSize(m_options.maxPending);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { closeConnection(id); });
        m_connections.emplace(id, std::move(c));
        readFrom(id);
    }
}

bool StationWebServer::makeRoom(const QString &source)
{
    sweep();
    QHash<QString, int> held;
    for (const auto &entry : m_connections)
        ++held[entry.second->source];
    const bool sourceFull = held.value(source) >= m_options.maxConnectionsPerSource;
    if (!sourceFull && static_cast<int>(m_connections.size()) < m_options.maxConnections)
        return true;
    // The newcomer takes the place of the longest-waiting connection of its
    // own source, or of the source holding the most.
    QString crowded = source;
    if (!sourceFull) {
        for (auto it = held.cbegin(); it != held.cend(); ++it)
            if (it.value() > held.value(crowded))
                crowded = it.key();
    }
    const Connection *oldest = nullptr;
    for (const auto &entry : m_connections) {
        const Connection &c = *entry.second;
        if (c.source == crowded && !c.waiting && !c.closing && (!oldest || c.since < oldest->since))
            oldest = &c;
    }
    if (!oldest)
        return false;
    qCInfo(lcWeb) << "closed a waiting connection of" << oldest->peer.toString() << "to let another in";
    closeConnection(oldest->id);
    return true;
}

void StationWebServer::readFrom(quint64 id)
{
    for (;;) {
        const auto it = m_connections.find(id);
        if (it == m_connections.end())
            return;
        Connection &c = *it->second;
        if (c.waiting || c.closing)
            return; // the connection's next request waits for the answer to this one
        const QByteArray fresh = c.socket->readAll();
        if (!fresh.isEmpty()) {
            if (!c.reader.partial())
                c.partSince = m_now();
            c.reader.append(fresh);
        }
        HttpRequest request;
        switch (c.reader.next(&request)) {
        case HttpRequestReader::Result::NeedMore:
            if (c.reader.takeContinue())
                c.socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            return;
        case HttpRequestReader::Result::Failed:
            qCWarning(lcWeb).noquote() << "refused a request from" << c.peer.toString()
                                       << "and closed its connection:" << c.reader.failureText();
            sendReply(c, error(c.reader.failureStatus(), c.reader.failureText()), true);
            return;
        case HttpRequestReader::Result::Ready:
            answer(c, request);
            break;
        }
    }
}

void StationWebServer::answer(Connection &c, HttpRequest &request)
{
    Request r;
    r.method = methodOf(request.method);
    const QUrl target = QUrl::fromEncoded(request.target);
    r.path = target.path();
    r.query = target.query(QUrl::FullyEncoded);
    for (const auto &h : std::as_const(request.headers))
        r.headers.insert(h.first, h.second);
    r.body = std::move(request.body);
    r.peer = c.peer;
    r.source = c.source;
    r.loopback = c.source == kLoopbackSource;
    const quint64 id = c.id;
    const Reply reply = route(r);
    // A change may have run the event loop (an announcement's start, a
    // source's first reading): the client may have gone meanwhile.
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    if (reply.deferred) {
        it->second->waiting = true;
        it->second->keepAlive = request.keepAlive;
        reply.deferred(id);
        return;
    }
    sendReply(*it->second, reply, !request.keepAlive);
}

void StationWebServer::sendReply(Connection &c, const Reply &reply, bool close)
{
    c.socket->write(encode(reply, close));
    c.waiting = false;
    c.served = true;
    c.since = c.partSince = m_now();
    if (close) {
        c.closing = true;
        c.socket->disconnectFromHost();
    }
}

void StationWebServer::closeConnection(quint64 id)
{
    auto node = m_connections.extract(id);
    if (node.empty())
        return;
    std::erase_if(m_waitingLogins, [id](const LoginAttempt &a) { return a.connection == id; });
    QTcpSocket *socket = node.mapped()->socket;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void StationWebServer::sweep()
{
    const QDateTime now = m_now();
    std::vector<quint64> late;
    for (const auto &entry : m_connections) {
        Connection &c = *entry.second;
        if (c.waiting)
            continue;
        // The first request counts from the connection; a later one from
        // its first byte, and the idle spell before it has a bound of its own.
        const bool partial = c.reader.partial() && !c.closing;
        const QDateTime &from = partial && c.served ? c.partSince : c.since;
        if (from > now) { // the clock went back: count again from now
            c.since = c.partSince = now;
            continue;
        }
        const int bound = partial || !c.served || c.closing ? m_options.requestSeconds : m_options.idleSeconds;
        if (from.msecsTo(now) >= qint64(bound) * 1000)
            late.push_back(entry.first);
    }
    for (const quint64 id : late)
        closeConnection(id);
}

void StationWebServer::pumpLogins()
{
    if (m_checking)
        return;
    for (auto it = m_waitingLogins.begin(); it != m_waitingLogins.end(); ++it) {
        // Each source's checks are spaced by its limit; the first attempt
        // whose source has its turn goes, and the others keep their places.
        if (!m_logins.take(it->source))
            continue;
        const LoginAttempt attempt = std::move(*it);
        m_waitingLogins.erase(it);
        m_checking = true;
        m_checks.start([this, attempt] {
            const bool matched = WebPassword::matches(attempt.line, attempt.password);
            QMetaObject::invokeMethod(
                this,
                [this, attempt, matched] { finishLogin(attempt.connection, matched, attempt.line, attempt.peer); },
                Qt::QueuedConnection);
        });
        return;
    }
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

StationWebServer::Reply StationWebServer::route(Request &r)
{
    if (!m_requests.take(r.source))
        return error(429, QStringLiteral("too many requests; slow down"));
    if (!r.headers.contains("host"))
        return error(400, QStringLiteral("the request has no Host header"));
    if (!hostAllowed(r))
        return error(421, QStringLiteral("this server does not answer for that host name"));
    // The body's framing and size were checked as the request was read.

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
                               {"/api/settings", true, &StationWebServer::settings},
                               {"/api/upload", true, &StationWebServer::upload}};
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
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return error(500, QStringLiteral("the page is missing from the program"));
    Reply reply;
    reply.body = file.readAll();
    reply.type = type;
    reply.headOnly = r.method == QHttpServerRequest::Method::Head;
    return reply;
}

std::optional<StationWebServer::Reply> StationWebServer::refuseChange(const Request &r,
                                                                       const WebSessions::Session **session,
                                                                       const QList<QByteArray> &contentTypes)
{
    if (!originAllowed(r))
        return error(403, QStringLiteral("a change must come from the station page itself"));
    if (contentTypes.isEmpty()) {
        if (!r.body.isEmpty() && !r.header("content-type").startsWith("application/json"))
            return error(415, QStringLiteral("send the body as application/json"));
    } else if (std::none_of(contentTypes.begin(), contentTypes.end(),
                            [&](const QByteArray &t) { return r.header("content-type").startsWith(t); })) {
        return error(415, QStringLiteral("send the body as ") + QString::fromLatin1(contentTypes.first()));
    }
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
    if (!originAllowed(r))
        return error(403, QStringLiteral("log in from the station page itself"));
    if (!r.header("content-type").startsWith("application/json"))
        return error(415, QStringLiteral("send the body as application/json"));
    const QJsonDocument doc = QJsonDocument::fromJson(r.body);
    if (!doc.isObject() || !doc.object().value(QStringLiteral("password")).isString())
        return error(400, QStringLiteral("send {\"password\": \"...\"}"));
    const QString line = passwordLine();
    if (line.isEmpty())
        return error(403, QStringLiteral("no station password is set: run auravox --set-web-password"));
    // The check waits for the source's turn (its attempts are spaced by the
    // login limit), then runs on the checking thread.
    LoginAttempt attempt{0, r.source, line, doc.object().value(QStringLiteral("password")).toString(),
                         r.peer.toString()};
    Reply reply;
    reply.deferred = [this, attempt](quint64 connection) mutable {
        attempt.connection = connection;
        m_waitingLogins.push_back(std::move(attempt));
        pumpLogins();
    };
    return reply;
}

void StationWebServer::finishLogin(quint64 id, bool matched, const QString &line, const QString &peer)
{
    m_checking = false;
    if (!matched)
        qCWarning(lcWeb) << "wrong station password from" << peer;
    const auto it = m_connections.find(id);
    if (it == m_connections.end() || !it->second->waiting) {
        pumpLogins(); // the client went away
        return;
    }
    Reply reply = error(401, QStringLiteral("wrong password"));
    if (matched) {
        reply = Reply();
        const WebSessions::Session &s = m_sessions.create(line);
        qCInfo(lcWeb) << "station page login from" << peer;
        reply.body = json(QJsonObject{{QStringLiteral("token"), QString::fromLatin1(s.token)},
                                      {QStringLiteral("idleSeconds"), m_options.sessions.idleSeconds}});
        reply.headers.append(
            {"Set-Cookie", QByteArray(kCookieName) + '=' + s.id + "; Path=/; HttpOnly; SameSite=Strict"});
    }
    sendReply(*it->second, reply, !it->second->keepAlive);
    readFrom(id); // the requests that came behind the login
    pumpLogins();
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

StationWebServer::Reply StationWebServer::upload(const Request &r)
{
    const WebSessions::Session *s = nullptr;
    if (auto refusal = refuseChange(r, &s, {"audio/wav", "audio/x-wav", "audio/wave", "application/octet-stream"}))
        return *refusal;
    const QString name = QUrlQuery(r.query).queryItemValue(QStringLiteral("name"), QUrl::FullyDecoded);
    if (name.isEmpty())
        return error(400, QStringLiteral("name the file: /api/upload?name=header.wav"));
    if (const QString why = WorkingFiles().storeWave(name, r.body, m_options.maxUpload); !why.isEmpty()) {
        qCInfo(lcWeb).noquote() << "upload of" << name << "from" << r.peer.toString() << "refused:" << why;
        return error(422, why);
    }
    Reply reply;
    reply.body = json(QJsonObject{{QStringLiteral("stored"), name}, {QStringLiteral("bytes"), r.body.size()}});
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
    // Read without a session from this machine: the addresses lose their secrets.
    auto shown = [](QStringList lines) {
        for (QString &line : lines)
            line = LogTail::withoutSecrets(line);
        return QJsonArray::fromStringList(lines);
    };
    Reply reply;
    reply.body = json(QJsonObject{{QStringLiteral("journal"), shown(m_tail ? m_tail->lines(100) : QStringList())},
                                  {QStringLiteral("logbook"), shown(m_view.logBook(50))}});
    return reply;
}

} // namespace auravox
