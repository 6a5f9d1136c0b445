#include "internet/ui/LoginBrowser.h"

#include "internet/DownloadFile.h"
#include "platform/UserPrompts.h"

#include <QNetworkCookie>
#include <QUrl>
#include <QVBoxLayout>

#ifdef AURAVOX_HAVE_WEBENGINE
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#endif

namespace auravox {

LoginBrowser::LoginBrowser(UserPrompts *prompts, QWidget *parent) : QWidget(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("WebBrowser1"));
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    setMinimumHeight(embedded() ? 420 : 0);
}

LoginBrowser::~LoginBrowser() = default;

bool LoginBrowser::embedded()
{
#ifdef AURAVOX_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

bool LoginBrowser::navigate(const QString &url)
{
#ifdef AURAVOX_HAVE_WEBENGINE
    if (!m_view) {
        // Created on first use only: the engine is heavy and most users never log in.
        auto *view = new QWebEngineView(this);
        QWebEngineProfile *profile = view->page()->profile();
        QWebEngineCookieStore *store = profile->cookieStore();
        SharedCookieJar &jar = downloadCookies();
        connect(store, &QWebEngineCookieStore::cookieAdded, &jar,
                [&jar](const QNetworkCookie &c) { jar.insertCookie(c); });
        connect(store, &QWebEngineCookieStore::cookieRemoved, &jar,
                [&jar](const QNetworkCookie &c) { jar.deleteCookie(c); });
        for (const QNetworkCookie &c : jar.allCookies())
            store->setCookie(c);
        store->loadAllCookies();
        view->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        layout()->addWidget(view);
        m_view = view;
    }
    static_cast<QWebEngineView *>(m_view)->load(QUrl(url));
    return true;
#else
    if (m_prompts)
        m_prompts->openAddress(url);
    return false;
#endif
}

void LoginBrowser::stop()
{
#ifdef AURAVOX_HAVE_WEBENGINE
    if (m_view)
        static_cast<QWebEngineView *>(m_view)->stop();
#endif
}

} // namespace auravox
