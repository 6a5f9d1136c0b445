#include "internet/DownloadFile.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <QUrl>

#ifndef AURAVOX_VERSION
#define AURAVOX_VERSION "0"
#endif

namespace auravox {

namespace {

DownloadLimits g_limits;
QPointer<QNetworkAccessManager> g_network;

// The system's proxy settings, except for this machine: a proxy can't reach
// our loopback address, and a test server lives there.
class DownloadProxyFactory final : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        const QString host = query.peerHostName();
        const QHostAddress address(host);
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
            || (!address.isNull() && address.isLoopback()))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

QString statusText(int status, const QString &reason)
{
    return reason.isEmpty() ? QStringLiteral("HTTP %1").arg(status)
                            : QStringLiteral("HTTP %1 %2").arg(status).arg(reason);
}

// Errors that only restate the server's status; the others (connection, TLS,
// redirect, protocol) say more than the status of the last response.
bool isStatusError(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::NoError
        || (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

QNetworkRequest pageRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Auravox/" AURAVOX_VERSION));
    return request;
}

} // namespace

bool SharedCookieJar::insertCookie(const QNetworkCookie &cookie)
{
    if (!QNetworkCookieJar::insertCookie(cookie))
        return false;
    emit cookieStored(cookie);
    return true;
}

bool SharedCookieJar::deleteCookie(const QNetworkCookie &cookie)
{
    if (!QNetworkCookieJar::deleteCookie(cookie))
        return false;
    emit cookieRemoved(cookie);
    return true;
}

QNetworkAccessManager &downloadNetwork()
{
    if (!g_network) {
        auto *network = new QNetworkAccessManager(QCoreApplication::instance());
        network->setCookieJar(new SharedCookieJar); // the manager takes it over
        network->setProxyFactory(new DownloadProxyFactory); // likewise
        g_network = network;
        // Gone before the application object is: the manager's own thread
        // still needs it while it shuts its (TLS) connections down.
        qAddPostRoutine([] { delete g_network.data(); });
    }
    return *g_network;
}

SharedCookieJar &downloadCookies()
{
    auto *jar = qobject_cast<SharedCookieJar *>(downloadNetwork().cookieJar());
    Q_ASSERT(jar); // nobody may replace it
    return *jar;
}

DownloadLimits downloadLimits()
{
    return g_limits;
}

void setDownloadLimits(const DownloadLimits &limits)
{
    g_limits = limits;
}

Download::Download(const QString &url, const QString &destination, QObject *parent)
    : QObject(parent), m_url(url), m_destination(destination)
{
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this,
            [this] { stop(QStringLiteral("no complete answer within %1 ms").arg(m_limits.totalTimeMs)); });
}

Download::~Download()
{
    // Gone before its end: the destination stays as it was.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void Download::start()
{
    if (m_started)
        return;
    m_started = true;
    const QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return fail(QStringLiteral("downloads run on the main thread only"));
    const QUrl address(m_url.trimmed(), QUrl::TolerantMode);
    if (!isWebAddress(address))
        return fail(QStringLiteral("not an http or https address: \"%1\"").arg(m_url));
    if (m_destination.isEmpty())
        return fail(QStringLiteral("no destination file"));

    m_limits = g_limits;
    // The body goes to a temporary file beside the destination, which only a
    // complete page replaces.
    m_file = std::make_unique<QSaveFile>(m_destination);
    m_file->setDirectWriteFallback(false);
    if (!m_file->open(QIODevice::WriteOnly))
        return fail(QStringLiteral("can't write %1: %2").arg(m_destination, m_file->errorString()));
    m_timeLimit.start(qMax(0, m_limits.totalTimeMs));
    m_current = address;
    request();
}

int Download::statusOf(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

void Download::request()
{
    // Redirects are followed here rather than by Qt, whose own following can
    // send a request of the chain twice.
    m_reply = downloadNetwork().get(pageRequest(m_current));
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        // A declared length over the limit ends the transfer before the body.
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (isSuccess(statusOf(m_reply)) && length.isValid() && length.toLongLong() > m_limits.maxBytes)
            tooLarge();
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &Download::take);
    connect(m_reply, &QNetworkReply::finished, this, &Download::replyFinished);
    if (m_reply->isFinished())
        QTimer::singleShot(0, this, &Download::replyFinished);
}

void Download::stop(const QString &why)
{
    if (!m_stopReason.isEmpty() || !m_reply)
        return;
    m_stopReason = why;
    m_reply->abort(); // emits finished
}

void Download::tooLarge()
{
    stop(QStringLiteral("the page is larger than %1 bytes").arg(m_limits.maxBytes));
}

void Download::take()
{
    // Only the page counts, not the body of a redirect or an error page.
    if (!m_reply || !m_stopReason.isEmpty() || !isSuccess(statusOf(m_reply)))
        return;
    const QByteArray chunk = m_reply->readAll();
    if (chunk.isEmpty())
        return;
    if (m_written + chunk.size() > m_limits.maxBytes)
        return tooLarge();
    if (m_file->write(chunk) != chunk.size())
        return stop(QStringLiteral("can't write %1: %2").arg(m_destination, m_file->errorString()));
    m_written += chunk.size();
}

void Download::replyFinished()
{
    if (!m_reply || m_done)
        return;
    QNetworkReply *reply = m_reply;
    // An abort from the last chunk must not come back here.
    disconnect(reply, &QNetworkReply::finished, this, &Download::replyFinished);
    take(); // whatever came with the end of the reply
    m_reply = nullptr;
    m_result.httpStatus = statusOf(reply);
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorString = reply->errorString();
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    const QByteArray location = reply->rawHeader("Location");
    reply->disconnect(this);
    reply->deleteLater();

    if (m_stopReason.isEmpty() && error == QNetworkReply::NoError && isRedirect(m_result.httpStatus)
        && !location.isEmpty()) {
        if (++m_redirects > m_limits.maxRedirects)
            return fail(QStringLiteral("more than %1 redirects").arg(m_limits.maxRedirects));
        const QUrl next = m_current.resolved(QUrl(QString::fromUtf8(location), QUrl::TolerantMode));
        if (!isWebAddress(next))
            return fail(QStringLiteral("redirected to \"%1\", not an http or https address")
                            .arg(QString::fromUtf8(location)));
        // A secure page may not hand us on to an unprotected one.
        if (m_current.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http"))
            return fail(QStringLiteral("refused redirect from https to http (%1)").arg(next.toString()));
        m_current = next;
        return request();
    }
    if (!m_stopReason.isEmpty())
        return fail(m_stopReason);
    const int status = m_result.httpStatus;
    if (error == QNetworkReply::NoError && isSuccess(status)) {
        if (!m_deferCommit && !m_file->commit())
            return fail(QStringLiteral("can't write %1: %2").arg(m_destination, m_file->errorString()));
        m_result.ok = true;
        m_result.bytes = m_written;
        return finish();
    }
    if (status != 0 && isStatusError(error))
        return fail(statusText(status, reason));
    fail(errorString.isEmpty() ? QStringLiteral("download failed") : errorString);
}

void Download::fail(const QString &why)
{
    m_result.ok = false;
    m_result.error = why;
    m_result.bytes = 0;
    if (m_file)
        m_file->cancelWriting();
    // Every caller turns a failure into a short number or nothing at all; the
    // journal keeps why.
    qCWarning(lcDownload).noquote() << "download of" << m_url << "failed:" << why;
    finish();
}

void Download::finish()
{
    m_done = true;
    m_timeLimit.stop();
    if (!(m_deferCommit && m_result.ok))
        m_file.reset();
    emit finished(m_result);
}

DownloadResult Download::commit()
{
    if (m_file && m_result.ok && !m_file->commit()) {
        const QString why = QStringLiteral("can't write %1: %2").arg(m_destination, m_file->errorString());
        m_result = DownloadResult{false, why, m_result.httpStatus, 0};
        qCWarning(lcDownload).noquote() << "download of" << m_url << "failed:" << why;
    }
    m_file.reset();
    return m_result;
}

DownloadResult DownloadFile(const QString &url, const QString &destination)
{
    Download download(url, destination);
    // A call made inside another's wait may end after it: each call's page
    // replaces the destination only as the call returns.
    download.setDeferredCommit(true);
    QEventLoop loop;
    QObject::connect(&download, &Download::finished, &loop, &QEventLoop::quit);
    download.start();
    if (!download.isFinished())
        loop.exec();
    return download.commit();
}

} // namespace auravox
