#include "internet/AprsSource.h"

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "common/DateTime.h"
#include "common/OutsideFile.h"
#include "weather/StationReading.h"

#include <QDir>
#include <QTimer>

namespace auravox {

AprsSource::AprsSource(const SourceContext &context, QObject *parent)
    : InternetSource(SourceKind::Aprs, QStringLiteral("APRS weather data"), QStringLiteral("APRS_"), context, parent)
{}

QString AprsSource::loginHint()
{
    return QStringLiteral("Please verify the address. If you are not logged in to %1, log in with the "
                          "Login button, then click Refresh.")
        .arg(kServiceHost);
}

void AprsSource::setRawWind(AprsWindUnit unit)
{
    if (unit == m_rawWind)
        return;
    m_rawWind = unit;
    emit settingsChanged();
}

void AprsSource::setRawTemperature(AprsTemperatureUnit unit)
{
    if (unit == m_rawTemperature)
        return;
    m_rawTemperature = unit;
    emit settingsChanged();
}

void AprsSource::setRawRain(AprsRainUnit unit)
{
    if (unit == m_rawRain)
        return;
    m_rawRain = unit;
    emit settingsChanged();
}

void AprsSource::setLoginId(const QString &text)
{
    if (text == m_loginId)
        return;
    m_loginId = text;
    emit settingsChanged();
}

void AprsSource::setLoginPassword(const QString &text)
{
    if (text == m_loginPassword)
        return;
    m_loginPassword = text;
    emit settingsChanged();
}

QString AprsSource::downloadAddress() const
{
    // The label after " //" is not part of the address.
    const qsizetype cut = entry().indexOf(QLatin1String(" //"));
    return cut < 0 ? entry() : entry().left(cut);
}

void AprsSource::resetCaptions()
{
    const UnitSettings u = context().units ? *context().units : UnitSettings{};
    SourceDisplay d;
    station::blankReportCaptions(u, d);
    d.rain.text = QStringLiteral("Rain/24h (%1) =").arg(u.rainLabel);
    // Only these four are painted black again; the others keep their colour.
    d.direction.coloured = d.humidity.coloured = d.rain.coloured = false;
    d.dateTime = QString();
    showCaptions(d);
}

void AprsSource::enterAction()
{
    const QString text = entry();
    if (text.isEmpty())
        return;
    if (OutsideFile::probe(text) == OutsideFile::Status::Ok) {
        setErrorLine(QString());
        resetCaptions();
        setDataPath(text);
        addToHistory(text);
        refresh();
        return;
    }
    if (isAddress(text)) {
        startFetch(false); // the outcome is taken when the page has come
        return;
    }
    // Neither a file nor an address: the last number stays, or none.
    if (errorNumber() != AprsError::None)
        showErrorNumber();
    else
        setErrorLine(QString());
    armTimer();
}

bool AprsSource::chooseFile(const QString &path)
{
    resetCaptions();
    setDataPath(path);
    if (!path.isEmpty() && OutsideFile::probe(path) != OutsideFile::Status::Missing) {
        setEntry(path);
        addToHistory(path);
        refresh();
        return true;
    }
    setDataPath(QString());
    setEntry(QString());
    if (context().beep)
        context().beep();
    return false;
}

int AprsSource::takeDownload(bool ok)
{
    if (!ok)
        return AprsError::Download;
    const int error = checkAprsDownload(kCacheFile);
    if (error == AprsError::CacheWrite)
        tell(QStringLiteral("Can't create aprs_web.txt"));
    return error;
}

void AprsSource::fetchSucceeded()
{
    setStatus(QString());
    setErrorLine(QString());
    resetCaptions();
}

void AprsSource::fetchFailed()
{
    showErrorNumber();
    if (errorNumber() == AprsError::NoRawLine && entry().contains(kServiceHost)) {
        setStatus(QStringLiteral("%1 needs a login: log in with the login browser of the desktop program (Login "
                                 "button), then refresh")
                      .arg(kServiceHost));
        emit loginBrowserNeeded();
    }
}

void AprsSource::takeReading()
{
    timer()->stop();
    const bool address = isAddress(entry());
    // While the user logs in, an address is neither fetched nor decoded.
    if (address && m_loginShown) {
        armTimer();
        return;
    }
    if (address) {
        startFetch(true);
        return; // decoded when the page has come
    }
    decode();
}

AprsSettings AprsSource::settings() const
{
    AprsSettings s;
    if (context().units)
        s.units = *context().units;
    if (context().limits)
        s.limits = *context().limits;
    s.pressureOffset = pressureOffset();
    s.rawTemperature = m_rawTemperature;
    s.rawWind = m_rawWind;
    s.rawRain = m_rawRain;
    s.timeBase = timeBase() == 1 ? AprsTimeBase::Local : AprsTimeBase::Universal;
    s.timeZoneBiasMinutes = DateTimeUtil::timeZoneBiasMinutes(context().clock.now());
    return s;
}

void AprsSource::decode()
{
    const AprsSettings s = settings();
    const QString path = dataPath();
    // A fetch whose page gave no weather line leaves that page in the cache:
    // it is no report, and the values of the last good one stay.
    const bool pageLeft = errorNumber() != AprsError::None && path == kCacheFile;
    const AprsReading r = (pageLeft || path.isEmpty() || OutsideFile::probe(path) == OutsideFile::Status::Missing)
                              ? decodeMissingAprs(s, snapshot())
                              : decodeAprsFile(path, s, snapshot());
    // Every cycle paints the eight value captions black first.
    SourceDisplay black = shownDisplay();
    for (SourceCaption *c : {&black.outdoorTemp, &black.pressure, &black.wind, &black.gust, &black.direction,
                             &black.windChill, &black.rain, &black.humidity}) {
        c->red = false;
        c->coloured = true;
    }
    black.pressureAdjustUnit = r.pressureAdjustUnit;
    showCaptions(black);
    if (r.outcome == AprsOutcome::NoLine) {
        armTimer();
        return;
    }
    SourceDisplay shown;
    if (r.outcome == AprsOutcome::Decoded) {
        shown = r.display;
        if (r.switchToLocalTime)
            setTimeBase(1);
    }
    if (r.date)
        shown.dateTime = r.date;
    showCaptions(shown);
    if (r.summary) {
        const QByteArray bytes = aprsSummaryFile(*r.summary);
        if (!context().publicFolder.isEmpty())
            writeSummary(QDir(context().publicFolder).filePath(QStringLiteral("aprs_cw.txt")), bytes,
                         QStringLiteral("Ne peut creer aprs_cw.txt"));
        writeSummary(QStringLiteral("aprs_cw.txt"), bytes, QStringLiteral("Ne peut creer aprs_cw.txt"));
    }
    armTimer();
}

void AprsSource::declareLeadingKeys(ConfigRegistry &registry, int section)
{
    // "Y" when the unit is the key's; the first two are written only then,
    // the last two always ("N" for the other unit).
    auto flag = [&](int position, const QString &key, std::function<bool()> on, bool always,
                    std::function<void(bool)> set) {
        ConfigKey k;
        k.section = section;
        k.position = position;
        k.key = key;
        k.save = [key, on, always] {
            if (on())
                return QStringList{key + QLatin1Char('Y')};
            return always ? QStringList{key + QLatin1Char('N')} : QStringList();
        };
        k.load = [set](const QString &, const QString &value) { set(value == QLatin1String("Y")); };
        registry.add(k);
    };
    flag(
        150, QStringLiteral("APRS_KM="), [this] { return m_rawWind == AprsWindUnit::Kmh; }, false,
        [this](bool y) {
            if (y)
                setRawWind(AprsWindUnit::Kmh);
        });
    flag(
        160, QStringLiteral("APRS_KNOT="), [this] { return m_rawWind == AprsWindUnit::Knot; }, false,
        [this](bool y) {
            if (y)
                setRawWind(AprsWindUnit::Knot);
        });
    flag(
        170, QStringLiteral("APRS_DGF="), [this] { return m_rawTemperature == AprsTemperatureUnit::Fahrenheit; }, true,
        [this](bool y) { setRawTemperature(y ? AprsTemperatureUnit::Fahrenheit : AprsTemperatureUnit::Celsius); });
    flag(
        180, QStringLiteral("APRS_INC="), [this] { return m_rawRain == AprsRainUnit::HundredthsOfInch; }, true,
        [this](bool y) { setRawRain(y ? AprsRainUnit::HundredthsOfInch : AprsRainUnit::Millimetre); });
}

void AprsSource::declareTrailingKeys(ConfigRegistry &registry, int section)
{
    auto text = [&](int position, const QString &key, std::function<QString()> get,
                    std::function<void(const QString &)> set) {
        ConfigKey k;
        k.section = section;
        k.position = position;
        k.key = key;
        k.save = [key, get] { return get().isEmpty() ? QStringList() : QStringList{key + get()}; };
        k.load = [set](const QString &, const QString &value) { set(value); };
        registry.add(k);
    };
    text(
        260, QStringLiteral("APRS_ID="), [this] { return m_loginId; }, [this](const QString &v) { setLoginId(v); });
    text(
        270, QStringLiteral("APRS_PW="), [this] { return m_loginPassword; },
        [this](const QString &v) { setLoginPassword(v); });
}

} // namespace auravox
