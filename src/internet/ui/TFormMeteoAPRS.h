#pragma once

#include "internet/AprsSource.h"
#include "internet/ui/InternetSourceWindow.h"

class QGroupBox;
class QRadioButton;

namespace auravox {

class LoginBrowser;

// "APRS weather data": shows the APRS source (the weather of one APRS station,
// from a local UI-View weather file or a page of the APRS map service) and
// edits its settings; the login browser of the map service.
class TFormMeteoAPRS final : public InternetSourceWindow
{
    Q_OBJECT
public:
    static inline const QString kCacheFile = AprsSource::kCacheFile;
    static inline const QString kServiceHost = AprsSource::kServiceHost;
    static QString loginAddress() { return AprsSource::loginAddress(); }

    TFormMeteoAPRS(AprsSource &source, const SourceWindowContext &context, QWidget *parent = nullptr);
    ~TFormMeteoAPRS() override;

    AprsSource &aprsSource() { return m_aprs; }
    void EnterAction() override;
    void ButtonParcourirClick();
    void ButtonLoginClick();
    void ShowLoginPage();

    bool browserShown() const { return !m_browserHidden; }
    QRadioButton *unitButton(const char *name) const;

protected:
    void beforeRefresh() override { hideBrowser(); }
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void hideBrowser();
    void buildUnits();
    void bindUnits();
    void showUnits();

    AprsSource &m_aprs;
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
