#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace auravox {

class UserPrompts;

// "Info": the program's name and version, its authors and web site, and the
// release check on demand. It also runs the check at start-up for the main
// window.
class TFormInfo : public QWidget
{
    Q_OBJECT
public:
    static inline const QString kAuthorName = QStringLiteral("The Auravox authors");
    // The author's call sign; "N0CALL" is the amateur radio placeholder.
    static inline const QString kAuthorCallSign = QStringLiteral("N0CALL");

    // `programVersion` is compared with the release list ("2.2.3").
    TFormInfo(UserPrompts &prompts, const QString &programVersion, QWidget *parent = nullptr);

    // Label1: "AURAVOX V" + version (the configuration load sets it).
    void showVersion(const QString &version);

    // The start-up check: a newer release is told (beep and message);
    // nothing is shown when the program is up to date or the list could not
    // be had.
    void checkAtStart();
    // The check on demand: a newer release, "You are up to date", or
    // "Internet failure".
    void BitBtnNewReleaseClick();
    void BitBtn1Click();
    void LabelUrl3Click();

    // Whether a check is waiting for the release list. A check asked for
    // meanwhile (a second click while the event loop runs during the
    // download) is ignored.
    bool checking() const { return m_checking; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void runCheck(bool onDemand);

    UserPrompts &m_prompts;
    QString m_programVersion;
    bool m_checking = false;

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *LabelUrl3 = nullptr;
    QLabel *Panel1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtnNewRelease = nullptr;
};

} // namespace auravox
