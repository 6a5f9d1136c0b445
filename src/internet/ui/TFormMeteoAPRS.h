#pragma once

#include "internet/AprsDecoder.h"
#include "internet/ui/InternetSourceWindow.h"

class QGroupBox;
class QRadioButton;

namespace auravox {

class LoginBrowser;

// "APRS weather data": the weather of one APRS station, from a local UI-View
// weather file or from the raw packet on a page of the APRS map service.
class TFormMeteoAPRS final : public InternetSourceWindow
{
    Q_OBJECT
public:
    static inline const QString kCacheFile = QStringLiteral("aprs_web.txt");
    // The APRS map service: its host, and its login page.
    static inline const QString kServiceHost = QStringLiteral("aprs.fi");
    static QString loginAddress() { return QStringLiteral("https://") + kServiceHost + QStringLiteral("/?c=login"); }

    explicit TFormMeteoAPRS(const SourceWindowContext &context, QWidget *parent = nullptr);
    ~TFormMeteoAPRS() override;

    void EnterAction() override;
    void takeReading() override;
    void ButtonParcourirClick();
    void ButtonLoginClick();
    void ShowLoginPage();

    void FetchAprs(const QString &entry, const QString &destination);
    bool browserShown() const { return !m_browserHidden; }
    QRadioButton *unitButton(const char *name) const;

protected:
    void declareLeadingKeys(ConfigRegistry &registry, int section) override;
    void declareTrailingKeys(ConfigRegistry &registry, int section) override;
    void beforeRefresh() override { hideBrowser(); }
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void hideBrowser();
    void resetCaptions();
    AprsSettings settings() const;

    QRadioButton *RadioButtonKM = nullptr, *RadioButtonMile = nullptr, *RadioButtonKnot = nullptr;
    QRadioButton *RadioButtondegC = nullptr, *RadioButtonDegF = nullptr;
    QRadioButton *RadioButtonMM = nullptr, *RadioButtonInch = nullptr;
    QPushButton *ButtonLogin = nullptr;
    QGroupBox *GroupBoxIDPW = nullptr;
    QLineEdit *EditID = nullptr;
    QLineEdit *EditPW = nullptr;
    LoginBrowser *WebBrowser1 = nullptr;
    bool m_browserHidden = true;
    int m_savedHeight = 0;
};

} // namespace auravox
