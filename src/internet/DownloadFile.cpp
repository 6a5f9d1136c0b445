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

namespace {

DownloadResult download(const QString &url, const QString &destination)
{
    DownloadResult result;
    auto fail = [&result](const QString &why) {
        result.ok = false;
        result.error = why;
        result.bytes = 0;
        return result;
    };

    const QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return fail(QStringLiteral("downloads run on the main thread only"));

    const QUrl address(url.trimmed(), QUrl::TolerantMode);
    if (!isWebAddress(address))
        return fail(QStringLiteral("not an http or https address: \"%1\"").arg(url));
    if (destination.isEmpty())
        return fail(QStringLiteral("no destination file"));

    const DownloadLimits limits = g_limits;

    // The body goes to a temporary file beside the destination, which only a
    // complete page replaces.
    QSaveFile file(destination);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("can't write %1: %2").arg(destination, file.errorString()));

    QEventLoop loop;          // context of every connection below, so none outlives the call
    QTimer timeLimit;         // over the whole chain of redirects
    QNetworkReply *reply = nullptr;
    QString stopReason;
    qint64 written = 0;

    auto statusOf = [](QNetworkReply *r) {
        return r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    };
    auto stop = [&](const QString &why) {
        if (!stopReason.isEmpty())
            return;
        stopReason = why;
        reply->abort(); // emits finished
    };
    auto tooLarge = [&] {
        stop(QStringLiteral("the page is larger than %1 bytes").arg(limits.maxBytes));
    };
    auto take = [&] {
        // Only the page counts, not the body of a redirect or an error page.
        if (!stopReason.isEmpty() || !isSuccess(statusOf(reply)))
            return;
        const QByteArray chunk = reply->readAll();
        if (chunk.isEmpty())
            return;
        if (written + chunk.size() > limits.maxBytes)
            return tooLarge();
        if (file.write(chunk) != chunk.size())
            return stop(QStringLiteral("can't write %1: %2").arg(destination, file.errorString()));
        written += chunk.size();
    };

    timeLimit.setSingleShot(true);
    QObject::connect(&timeLimit, &QTimer::timeout, &loop, [&] {
        stop(QStringLiteral("no complete answer within %1 ms").arg(limits.totalTimeMs));
    });
    timeLimit.start(qMax(0, limits.totalTimeMs));

    // Redirects are followed here rather than by Qt, whose own following can
    // send a request of the chain twice.
    QUrl current = address;
    int redirects = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorString;
    QString reason;
    for (;;) {
        reply = downloadNetwork().get(pageRequest(current));
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
            // A declared length over the limit ends the transfer before the body.
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (isSuccess(statusOf(reply)) && length.isValid() && length.toLongLong() > limits.maxBytes)
                tooLarge();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        take(); // whatever came with the end of the reply

        result.httpStatus = statusOf(reply);
        error = reply->error();
        errorString = reply->errorString();
        reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        const QByteArray location = reply->rawHeader("Location");
        reply->disconnect(&loop);
        reply->deleteLater();

        if (!stopReason.isEmpty() || error != QNetworkReply::NoError || !isRedirect(result.httpStatus)
            || location.isEmpty())
            break;
        if (++redirects > limits.maxRedirects) {
            stopReason = QStringLiteral("more than %1 redirects").arg(limits.maxRedirects);
            break;
        }
        const QUrl next = current.resolved(QUrl(QString::fromUtf8(location), QUrl::TolerantMode));
        if (!isWebAddress(next)) {
            stopReason = QStringLiteral("redirected to \"%1\", not an http or https address")
                             .arg(QString::fromUtf8(location));
            break;
        }
        // A secure page may not hand us on to an unprotected one.
        if (current.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http")) {
            stopReason = QStringLiteral("refused redirect from https to http (%1)").arg(next.toString());
            break;
        }
        current = next;
    }
    timeLimit.stop();

    if (!stopReason.isEmpty())
        return fail(stopReason);
    const int status = result.httpStatus;
    if (error == QNetworkReply::NoError && isSuccess(status)) {
        if (!file.commit())
            return fail(QStringLiteral("can't write %1: %2").arg(destination, file.errorString()));
        result.ok = true;
        result.bytes = written;
        return result;
    }
    file.cancelWriting();
    if (status != 0 && isStatusError(error))
        return fail(statusText(status, reason));
    return fail(errorString.isEmpty() ? QStringLiteral("download failed") : errorString);
}

} // namespace

DownloadResult DownloadFile(const QString &url, const QString &destination)
{
    const DownloadResult result = download(url, destination);
    // Every caller turns a failure into a short number or nothing at all; the
    // journal keeps why.
    if (!result)
        qCWarning(lcDownload).noquote() << "download of" << url << "failed:" << result.error;
    return result;
}

} // namespace auravox
