#include "plugins/webengine/WebEngineLoginView.h"

#include <QNetworkCookieJar>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace auravox {

QWidget *WebEngineLoginView::createView(QNetworkCookieJar *jar, const QList<QNetworkCookie> &cookies, QWidget *parent)
{
    auto *view = new QWebEngineView(parent);
    QWebEngineCookieStore *store = view->page()->profile()->cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, jar,
                     [jar](const QNetworkCookie &c) { jar->insertCookie(c); });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, jar,
                     [jar](const QNetworkCookie &c) { jar->deleteCookie(c); });
    for (const QNetworkCookie &c : cookies)
        store->setCookie(c);
    store->loadAllCookies();
    view->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    return view;
}

void WebEngineLoginView::load(QWidget *view, const QUrl &url)
{
    static_cast<QWebEngineView *>(view)->load(url);
}

void WebEngineLoginView::stop(QWidget *view)
{
    static_cast<QWebEngineView *>(view)->stop();
}

} // namespace auravox
