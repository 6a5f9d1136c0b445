#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QtPlugin>

class QNetworkCookieJar;
class QUrl;
class QWidget;

namespace auravox {

// The embedded browser of the APRS login page, as a plugin the program loads
// when it is installed (the auravox-webengine package, Qt WebEngine): the
// program itself runs without WebEngine, which is most of a desktop's size.
// The plugin's object implements this interface.
class LoginViewPlugin
{
public:
    virtual ~LoginViewPlugin() = default;

    // A browser view inside `parent` that starts with `cookies` and hands
    // every cookie it stores or drops to `jar` (insertCookie, deleteCookie),
    // so the downloads fetch the logged-in pages.
    virtual QWidget *createView(QNetworkCookieJar *jar, const QList<QNetworkCookie> &cookies, QWidget *parent) = 0;
    virtual void load(QWidget *view, const QUrl &url) = 0;
    virtual void stop(QWidget *view) = 0;
};

} // namespace auravox

#define AURAVOX_LOGIN_VIEW_PLUGIN_IID "org.auravox.LoginViewPlugin/1"
Q_DECLARE_INTERFACE(auravox::LoginViewPlugin, AURAVOX_LOGIN_VIEW_PLUGIN_IID)
