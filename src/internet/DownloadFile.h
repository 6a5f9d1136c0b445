#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QSaveFile>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace auravox {

// The one download routine of the program: the METAR and APRS fetches and the
// release check all go through it.
//
// Contract for the callers:
// - DownloadFile(url, destination) returns only when the transfer has ended,
//   as the callers' step lists expect. While it waits, the calling (main)
//   thread runs a nested QEventLoop, so the clock tick, the announcement and
//   its audio, and every other timer go on during a transfer. The callers'
//   own re-entry guards (busy flags) still apply; the routine itself copes
//   with a second call made from inside the wait (see below).
// - Only http and https addresses are fetched. A redirect (301, 302, 303, 307
//   or 308 with a Location, relative or absolute) is followed with a GET, as a
//   browser does, at most DownloadLimits::maxRedirects times in a chain. A
//   redirect from https to plain http is refused: a secure page never hands
//   the download on to an unprotected one.
// - Success: the final response had a 2xx status and its whole body is now the
//   destination file, byte for byte as the server sent it (after undoing any
//   transfer compression). An empty body gives an empty file.
// - Failure: a bad address, no connection, a TLS error, an HTTP status other
//   than 2xx, too many redirects, the time limit, the size limit, or a file
//   that can't be written. The result is false with a readable reason, and
//   the destination is exactly as it was before the call (still missing if it
//   was missing): the body goes to a temporary file beside the destination
//   that replaces it only once the page is complete. The callers want no file
//   at all after a failed download (the old cache must not pass for a fresh
//   page), so each removes the destination before calling: the METAR Enter
//   action and FetchAprs delete their cache file first, and the release check
//   deletes "versions.txt" after a failure.
// - A second call made while one waits (a timer of another window firing
//   during the transfer) runs its own transfer to completion inside the first
//   one's wait; the first one then finishes normally, or fails on its own time
//   limit. Each call writes through its own temporary file, so even two calls
//   with the same destination each leave their own complete page there when
//   they return.
// - Must be called from the thread that owns downloadNetwork() (the main
//   thread); from another thread it fails without touching anything.
struct DownloadResult
{
    bool ok = false;
    QString error;       // why it failed; empty on success
    int httpStatus = 0;  // status of the final response, 0 when none came
    qint64 bytes = 0;    // bytes written to the destination on success

    explicit operator bool() const { return ok; }
};

DownloadResult DownloadFile(const QString &url, const QString &destination);

// Limits of every download. The defaults are the program's; tests set small
// ones. A limit applies to each call as it starts.
struct DownloadLimits
{
    int totalTimeMs = 30'000;            // from the start of the call to the last byte
    qint64 maxBytes = 4 * 1024 * 1024;   // a larger body is a failure
    int maxRedirects = 10;
};

DownloadLimits downloadLimits();
void setDownloadLimits(const DownloadLimits &limits);

// One download that runs on the event loop, under the same rules and limits
// as DownloadFile (which waits for one of these): finished() comes once, with
// the result, and the caller's event loop runs on meanwhile. A call that
// fails before any transfer (a bad address, no destination) finishes inside
// start(). Deleting it before its end aborts the transfer and leaves the
// destination as it was.
class Download : public QObject
{
    Q_OBJECT
public:
    Download(const QString &url, const QString &destination, QObject *parent = nullptr);
    ~Download() override;

    void start();
    bool isFinished() const { return m_done; }
    // With true (before start()), a complete page replaces the destination
    // only at commit(), which returns the final result.
    void setDeferredCommit(bool on) { m_deferCommit = on; }
    DownloadResult commit();
    const DownloadResult &result() const { return m_result; }

signals:
    void finished(const DownloadResult &result);

private:
    static int statusOf(QNetworkReply *reply);
    void request();
    void stop(const QString &why);
    void tooLarge();
    void take();
    void replyFinished();
    void fail(const QString &why);
    void finish();

    QString m_url;
    QString m_destination;
    DownloadLimits m_limits;
    std::unique_ptr<QSaveFile> m_file;
    QTimer m_timeLimit;
    QNetworkReply *m_reply = nullptr;
    QUrl m_current;
    QString m_stopReason;
    qint64 m_written = 0;
    int m_redirects = 0;
    bool m_started = false;
    bool m_done = false;
    bool m_deferCommit = false;
    DownloadResult m_result;
};

// The process-wide cookie jar of the downloads. The APRS login browser keeps
// its profile's cookie store in step with it (the store's cookieAdded/cookieRemoved
// into insertCookie/deleteCookie, and the signals below back into the store),
// so a page fetched after the login in the browser is the logged-in page.
class SharedCookieJar : public QNetworkCookieJar
{
    Q_OBJECT
public:
    using QNetworkCookieJar::QNetworkCookieJar;

    QList<QNetworkCookie> allCookies() const { return QNetworkCookieJar::allCookies(); }
    void setAllCookies(const QList<QNetworkCookie> &cookies) { QNetworkCookieJar::setAllCookies(cookies); }

    // A replaced cookie goes through both (QNetworkCookieJar::updateCookie
    // deletes, then inserts).
    bool insertCookie(const QNetworkCookie &cookie) override;
    bool deleteCookie(const QNetworkCookie &cookie) override;

signals:
    // A cookie was stored or removed, by a response or by a call above;
    // setAllCookies() does not emit.
    void cookieStored(const QNetworkCookie &cookie);
    void cookieRemoved(const QNetworkCookie &cookie);
};

// The network access manager every download uses, created on first use on the
// main thread (an application object must exist) and deleted just before the
// application object. Its cookie jar is a SharedCookieJar; its proxy is the system's
// (http_proxy, no_proxy), never for loopback addresses. Replace neither.
QNetworkAccessManager &downloadNetwork();
SharedCookieJar &downloadCookies();

} // namespace auravox
