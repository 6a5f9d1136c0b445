#pragma once

#include <QStringList>
#include <QWidget>

namespace auravox {

class LoginViewPlugin;
class UserPrompts;

// The APRS map service's login page inside the APRS window, when the embedded
// browser is installed (the auravox-webengine package, a plugin loaded with
// QPluginLoader): its cookies go into the downloads' cookie jar, so the pages
// fetched after a login are the logged-in pages. Without it the page opens in
// the desktop's browser instead (whose login the downloads then do not share).
class LoginBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit LoginBrowser(UserPrompts *prompts, QWidget *parent = nullptr);
    ~LoginBrowser() override;

    // Whether the embedded browser is installed. The first call loads it from
    // the first of pluginFolders() that holds "auravox_webengine.so"; a plugin
    // that does not load is logged and counts as missing.
    static bool embedded();
    // The program's own folder (a build, a portable install), then the
    // private library folder beside it (../lib/auravox for /usr/bin).
    static QStringList pluginFolders();
    // Searches `folders` instead at the next embedded() (tests).
    static void setPluginFolders(const QStringList &folders);

    // Shows `url`; false when it opened outside the window.
    bool navigate(const QString &url);
    void stop();

private:
    UserPrompts *m_prompts;
    LoginViewPlugin *m_plugin = nullptr;
    QWidget *m_view = nullptr;
};

} // namespace auravox
