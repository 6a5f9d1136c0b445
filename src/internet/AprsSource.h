#pragma once

#include "internet/AprsDecoder.h"
#include "internet/InternetSource.h"

namespace auravox {

// The APRS source: the weather of one APRS station, from a local UI-View
// weather file or from the raw packet on a page of the APRS map service,
// fetched on the event loop and decoded every period, with its summary file
// ("aprs_cw.txt", in the public folder and the working one).
//
// Its settings are those of the "APRS weather data" window: the entry and its
// history, the pressure adjustment, the time base, the raw data units and the
// login notes, under the same keys.
class AprsSource final : public InternetSource
{
    Q_OBJECT
public:
    static inline const QString kCacheFile = QStringLiteral("aprs_web.txt");
    // The APRS map service: its host, and its login page.
    static inline const QString kServiceHost = QStringLiteral("aprs.fi");
    static QString loginAddress() { return QStringLiteral("https://") + kServiceHost + QStringLiteral("/?c=login"); }
    // What a message box says when the map service shows no raw packet.
    static QString loginHint();

    explicit AprsSource(const SourceContext &context, QObject *parent = nullptr);

    // The refresh cycle: for an address, a download first (none while the
    // login page is shown), then the decoding of the report file.
    void takeReading() override;
    // Enter in the entry: an existing file is taken at once, an address is fetched.
    void enterAction() override;
    // A file chosen with Browse: an existing one becomes the entry and is read
    // at once; a missing one empties the entry and beeps. Returns whether it was taken.
    bool chooseFile(const QString &path);

    // The units of the raw report ("Raw data units").
    AprsWindUnit rawWind() const { return m_rawWind; }
    void setRawWind(AprsWindUnit unit);
    AprsTemperatureUnit rawTemperature() const { return m_rawTemperature; }
    void setRawTemperature(AprsTemperatureUnit unit);
    AprsRainUnit rawRain() const { return m_rawRain; }
    void setRawRain(AprsRainUnit unit);

    // The user's notes of the map service's login ("APRS_ID=", "APRS_PW="), used nowhere else.
    QString loginId() const { return m_loginId; }
    void setLoginId(const QString &text);
    QString loginPassword() const { return m_loginPassword; }
    void setLoginPassword(const QString &text);

    // While the login page is shown, an address is neither fetched nor decoded.
    bool loginShown() const { return m_loginShown; }
    void setLoginShown(bool shown) { m_loginShown = shown; }

signals:
    // The map service showed no raw packet: the user has to log in with the
    // login browser (the desktop program's), then refresh.
    void loginBrowserNeeded();

protected:
    QString downloadAddress() const override;
    QString cacheFile() const override { return kCacheFile; }
    QString progressText() const override { return QStringLiteral("Downloading"); }
    int takeDownload(bool ok) override;
    void fetchSucceeded() override;
    void fetchFailed() override;
    void decode() override;
    void declareLeadingKeys(ConfigRegistry &registry, int section) override;
    void declareTrailingKeys(ConfigRegistry &registry, int section) override;

private:
    AprsSettings settings() const;
    // The captions the Enter action and Browse put back, the date field cleared.
    void resetCaptions();

    AprsWindUnit m_rawWind = AprsWindUnit::Mph;
    AprsTemperatureUnit m_rawTemperature = AprsTemperatureUnit::Fahrenheit;
    AprsRainUnit m_rawRain = AprsRainUnit::HundredthsOfInch;
    QString m_loginId, m_loginPassword;
    bool m_loginShown = false;
};

} // namespace auravox
