#include "internet/DownloadFile.h"

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

bool isRedirectError(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::TooManyRedirectsError
        || error == QNetworkReply::InsecureRedirectError;
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
        network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        g_network = network;
    }
    return *g_network;
}

SharedCookieJar &downloadCookies()
{
    return *static_cast<SharedCookieJar *>(downloadNetwork().cookieJar());
}

DownloadLimits downloadLimits()
{
    return g_limits;
}

void setDownloadLimits(const DownloadLimits &limits)
{
    g_limits = limits;
}

DownloadResult DownloadFile(const QString &url, const QString &destination)
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
    const QString scheme = address.scheme();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || address.host().isEmpty())
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

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(qMax(0, limits.maxRedirects));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Auravox/" AURAVOX_VERSION));

    QNetworkReply *reply = downloadNetwork().get(request);

    // Every connection below has `loop` as its context, so none outlives this
    // call, whatever the nesting.
    QEventLoop loop;
    QString stopReason;
    qint64 written = 0;

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
        if (!stopReason.isEmpty())
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

    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        // A declared length over the limit ends the transfer before the body.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (status >= 200 && status < 300 && length.isValid() && length.toLongLong() > limits.maxBytes)
            tooLarge();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

    QTimer timeLimit;
    timeLimit.setSingleShot(true);
    QObject::connect(&timeLimit, &QTimer::timeout, &loop, [&] {
        stop(QStringLiteral("no complete answer within %1 ms").arg(limits.totalTimeMs));
    });
    timeLimit.start(qMax(0, limits.totalTimeMs));

    if (!reply->isFinished())
        loop.exec();
    timeLimit.stop();
    take(); // whatever came with the end of the reply

    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorString = reply->errorString();
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    reply->disconnect(&loop);
    reply->deleteLater();

    if (!stopReason.isEmpty())
        return fail(stopReason);
    const int status = result.httpStatus;
    if (error == QNetworkReply::NoError && status >= 200 && status < 300) {
        if (!file.commit())
            return fail(QStringLiteral("can't write %1: %2").arg(destination, file.errorString()));
        result.ok = true;
        result.bytes = written;
        return result;
    }
    file.cancelWriting();
    if (status != 0 && !isRedirectError(error))
        return fail(statusText(status, reason));
    return fail(errorString.isEmpty() ? QStringLiteral("download failed") : errorString);
}

} // namespace auravox
