// A stand-in for the embedded login browser, loaded by the program as the
// real plugin is: it shows no page, but records what it was asked and, like a
// successful login, stores a session cookie for the page's host.

#include "internet/ui/LoginViewPlugin.h"

#include <QNetworkCookieJar>
#include <QObject>
#include <QUrl>
#include <QWidget>

namespace auravox::test {

class FakeLoginView : public QObject, public LoginViewPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID AURAVOX_LOGIN_VIEW_PLUGIN_IID)
    Q_INTERFACES(auravox::LoginViewPlugin)
public:
    QWidget *createView(QNetworkCookieJar *jar, const QList<QNetworkCookie> &cookies, QWidget *parent) override
    {
        auto *view = new QWidget(parent);
        view->setObjectName(QStringLiteral("FakeLoginView"));
        QStringList names;
        for (const QNetworkCookie &c : cookies)
            names << QString::fromLatin1(c.name());
        view->setProperty("startCookies", names);
        view->setProperty("stops", 0);
        m_jar = jar;
        return view;
    }

    void load(QWidget *view, const QUrl &url) override
    {
        view->setProperty("loaded", url);
        QNetworkCookie session("aprs_session", "logged-in");
        session.setDomain(url.host());
        session.setPath(QStringLiteral("/"));
        m_jar->insertCookie(session);
    }

    void stop(QWidget *view) override { view->setProperty("stops", view->property("stops").toInt() + 1); }

private:
    QNetworkCookieJar *m_jar = nullptr;
};

} // namespace auravox::test

#include "FakeLoginView.moc"
