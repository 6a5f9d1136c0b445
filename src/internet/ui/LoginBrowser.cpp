#include "internet/ui/LoginBrowser.h"

#include "common/Log.h"
#include "internet/DownloadFile.h"
#include "internet/ui/LoginViewPlugin.h"
#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>
#include <QUrl>
#include <QVBoxLayout>

#include <optional>

namespace auravox {

namespace {

const QLatin1String kPluginFile("auravox_webengine.so");

struct PluginSearch
{
    std::optional<QStringList> folders; // the default ones when empty
    bool done = false;
    LoginViewPlugin *plugin = nullptr;
};

PluginSearch &pluginSearch()
{
    static PluginSearch search;
    return search;
}

LoginViewPlugin *findPlugin()
{
    PluginSearch &s = pluginSearch();
    if (s.done)
        return s.plugin;
    s.done = true;
    for (const QString &folder : s.folders ? *s.folders : LoginBrowser::pluginFolders()) {
        const QString path = QDir(folder).filePath(kPluginFile);
        if (!QFileInfo::exists(path))
            continue;
        // The library stays loaded when the loader goes.
        QPluginLoader loader(path);
        s.plugin = qobject_cast<LoginViewPlugin *>(loader.instance());
        if (s.plugin) {
            qCInfo(lcDownload) << "the APRS login page opens in the embedded browser of" << path;
            break;
        }
        qCWarning(lcDownload) << "the embedded browser" << path << "does not load:" << loader.errorString();
    }
    return s.plugin;
}

} // namespace

LoginBrowser::LoginBrowser(UserPrompts *prompts, QWidget *parent) : QWidget(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("WebBrowser1"));
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    // Only ever shown with the embedded browser in it.
    setMinimumHeight(420);
}

LoginBrowser::~LoginBrowser() = default;

bool LoginBrowser::embedded()
{
    return findPlugin() != nullptr;
}

QStringList LoginBrowser::pluginFolders()
{
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir::cleanPath(program + QStringLiteral("/" AURAVOX_PLUGIN_RELDIR))};
}

void LoginBrowser::setPluginFolders(const QStringList &folders)
{
    PluginSearch &s = pluginSearch();
    s.folders = folders;
    s.done = false;
    s.plugin = nullptr;
}

bool LoginBrowser::navigate(const QString &url)
{
    if (!m_view) {
        m_plugin = findPlugin();
        if (!m_plugin) {
            if (m_prompts)
                m_prompts->openAddress(url);
            return false;
        }
        // Created on first use only: the engine is heavy and most users never log in.
        SharedCookieJar &jar = downloadCookies();
        m_view = m_plugin->createView(&jar, jar.allCookies(), this);
        layout()->addWidget(m_view);
    }
    m_plugin->load(m_view, QUrl(url));
    return true;
}

void LoginBrowser::stop()
{
    if (m_view)
        m_plugin->stop(m_view);
}

} // namespace auravox
