#pragma once

#include "internet/ui/LoginViewPlugin.h"

#include <QObject>

namespace auravox {

// The APRS login page in a Qt WebEngine view (the auravox-webengine package).
class WebEngineLoginView : public QObject, public LoginViewPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID AURAVOX_LOGIN_VIEW_PLUGIN_IID)
    Q_INTERFACES(auravox::LoginViewPlugin)
public:
    QWidget *createView(QNetworkCookieJar *jar, const QList<QNetworkCookie> &cookies, QWidget *parent) override;
    void load(QWidget *view, const QUrl &url) override;
    void stop(QWidget *view) override;
};

} // namespace auravox
