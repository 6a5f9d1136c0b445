#pragma once

#include <QWidget>

namespace auravox {

class UserPrompts;

// The APRS map service's login page inside the APRS window, when the program
// is built with Qt WebEngine: its cookies go into the downloads' cookie jar,
// so the pages fetched after a login are the logged-in pages. Without
// WebEngine the page opens in the desktop's browser instead (whose login the
// downloads then do not share).
class LoginBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit LoginBrowser(UserPrompts *prompts, QWidget *parent = nullptr);
    ~LoginBrowser() override;

    static bool embedded();
    // Shows `url`; false when it opened outside the window.
    bool navigate(const QString &url);
    void stop();

private:
    UserPrompts *m_prompts;
    QWidget *m_view = nullptr;
};

} // namespace auravox
