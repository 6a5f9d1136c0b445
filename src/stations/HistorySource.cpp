#include "stations/HistorySource.h"

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "common/OutsideFile.h"
#include "stations/Pro2Archive.h"
#include "stations/Ws23History.h"
#include "stations/Ws28History.h"

#include <QTimer>

#include <algorithm>
#include <climits>

namespace auravox {

HistorySource::HistorySource(SourceKind kind, const QString &name, const QString &configPrefix, int trendMax,
                             const SourceContext &context, QObject *parent)
    : WeatherSource(kind, name, configPrefix, context, parent), m_trendMax(trendMax)
{}

void HistorySource::setPressureOffset(int offset)
{
    offset = std::max(offset, INT_MIN + 1);
    if (offset == m_pressureOffset)
        return;
    m_pressureOffset = offset;
    emit settingsChanged();
}

void HistorySource::setTrendThreshold(int threshold)
{
    threshold = std::clamp(threshold, 1, m_trendMax);
    if (threshold == m_trendThreshold)
        return;
    m_trendThreshold = threshold;
    if (context().limits)
        context().limits->trendThreshold = threshold * 0.1;
    emit settingsChanged();
}

void HistorySource::takeReading()
{
    timer()->stop();
    const UnitSettings &u = *context().units;
    SourceDisplay unitsShown;
    const bool inches = u.pressureFactor != 1;
    unitsShown.pressureAdjustUnit = inches ? QStringLiteral("0.01*inHg") : QStringLiteral("mBars");
    unitsShown.trendUnit = inches ? QStringLiteral("0.01*inHg") : QStringLiteral("0.1*mB/h");
    publishDisplay(unitsShown);

    StationSettings settings;
    settings.units = u;
    if (context().limits)
        settings.limits = *context().limits;
    settings.pressureOffset = m_pressureOffset;

    QString path = dataPath();
    if (!path.isEmpty() && OutsideFile::probe(path) != OutsideFile::Status::Missing) {
        SourceDisplay d;
        const Outcome outcome = readFile(path, settings, d);
        if (d.lastRecordTime > 0)
            d.dateTime = recordTimeText(d.lastRecordTime);
        publishDisplay(d);
        setDataPath(path);
        if (outcome == Outcome::FileError) {
            if (context().beep)
                context().beep();
            setErrorLine(QStringLiteral("File error"));
        } else if (outcome == Outcome::Read && successClearsError()) {
            setErrorLine(QString());
        }
    }
    // The timer runs on whatever happened, so a file that comes back is read again.
    timer()->start();
}

bool HistorySource::chooseFile(const QString &path)
{
    if (!path.isEmpty() && OutsideFile::probe(path) != OutsideFile::Status::Missing) {
        setDataPath(path);
        setErrorLine(QString());
        refresh();
        return true;
    }
    setDataPath(QString());
    if (context().beep)
        context().beep();
    setErrorLine(QStringLiteral("File error"));
    return false;
}

void HistorySource::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
    const QString &p = configPrefix();
    declarePeriodKey(registry, section);

    ConfigKey dat;
    dat.section = section;
    dat.position = 210;
    dat.key = p + QStringLiteral("DAT=");
    dat.save = [this, key = dat.key] { return dataPath().isEmpty() ? QStringList() : QStringList{key + dataPath()}; };
    dat.load = [this](const QString &, const QString &value) {
        if (value.isEmpty())
            return;
        if (OutsideFile::probe(value) != OutsideFile::Status::Missing) {
            setDataPath(value);
        } else {
            setDataPath(QString());
            setErrorLine(QStringLiteral("File error"));
        }
    };
    registry.add(dat);
    declareOwnKeys(registry, section);
}

void HistorySource::declarePressureOffsetKey(ConfigRegistry &registry, int section)
{
    declareIntKey(
        registry, section, 230, configPrefix() + QStringLiteral("POFFSET="), [this] { return m_pressureOffset; },
        [this](int v) { setPressureOffset(v); });
}

void HistorySource::declareOwnKeys(ConfigRegistry &registry, int section)
{
    declarePressureOffsetKey(registry, section);
    declareIntKey(
        registry, section, 240, configPrefix() + QStringLiteral("SEUILTEN="), [this] { return m_trendThreshold; },
        [this](int v) { setTrendThreshold(v); });
}

Ws23Source::Ws23Source(const SourceContext &context, QObject *parent)
    : HistorySource(SourceKind::Ws23, QStringLiteral("Lacrosse WS-2310 / 2315 / 2355+"), QStringLiteral("W23_"), 9,
                    context, parent)
{
    setObjectName(QStringLiteral("SourceW23"));
}

HistorySource::Outcome Ws23Source::readFile(QString &path, const StationSettings &settings, SourceDisplay &display)
{
    return readWs23History(path, settings, snapshot(), display) ? Outcome::Read : Outcome::FileError;
}

Ws28Source::Ws28Source(const SourceContext &context, QObject *parent)
    : HistorySource(SourceKind::Ws28, QStringLiteral("Lacrosse WS-2800 / 3610+"), QStringLiteral("W28_"), 40, context,
                    parent)
{
    setObjectName(QStringLiteral("SourceW28"));
}

void Ws28Source::setAbsolutePressure(bool absolute)
{
    if (absolute == m_absolute)
        return;
    m_absolute = absolute;
    emit settingsChanged();
}

HistorySource::Outcome Ws28Source::readFile(QString &path, const StationSettings &settings, SourceDisplay &display)
{
    Ws28Settings ws28;
    static_cast<StationSettings &>(ws28) = settings;
    ws28.absolutePressure = m_absolute;
    return readWs28History(path, ws28, snapshot(), display) ? Outcome::Read : Outcome::FileError;
}

void Ws28Source::declareOwnKeys(ConfigRegistry &registry, int section)
{
    ConfigKey pabs;
    pabs.section = section;
    pabs.position = 220;
    pabs.key = QStringLiteral("W28_PABS=");
    pabs.save = [this] {
        return QStringList{m_absolute ? QStringLiteral("W28_PABS=Y") : QStringLiteral("W28_PABS=N")};
    };
    pabs.load = [this](const QString &, const QString &value) { setAbsolutePressure(value == QLatin1String("Y")); };
    registry.add(pabs);
    declarePressureOffsetKey(registry, section);
}

Pro2Source::Pro2Source(const SourceContext &context, QObject *parent)
    : HistorySource(SourceKind::Pro2, QStringLiteral("Vantage Pro2 weather station"), QStringLiteral("PRO2_"), 9,
                    context, parent)
{
    setObjectName(QStringLiteral("SourcePro2"));
}

void Pro2Source::setSearchCurrentMonth(bool on)
{
    if (on == m_searchCurrentMonth)
        return;
    m_searchCurrentMonth = on;
    emit settingsChanged();
}

HistorySource::Outcome Pro2Source::readFile(QString &path, const StationSettings &settings, SourceDisplay &display)
{
    Pro2Settings pro2;
    static_cast<StationSettings &>(pro2) = settings;
    pro2.searchCurrentMonth = m_searchCurrentMonth;
    pro2.today = context().clock.now().date();
    switch (readPro2Archive(path, pro2, snapshot(), display)) {
    case Pro2Outcome::Missing:
        return Outcome::Missing;
    case Pro2Outcome::Read:
        return Outcome::Read;
    case Pro2Outcome::FileError:
        break;
    }
    return Outcome::FileError;
}

QString Pro2Source::recordTimeText(double days) const
{
    // A reading at exactly midnight shows its time too.
    QString text = dateTimeText(days);
    if (text.size() < 11)
        text += QStringLiteral(" 00:00");
    return text;
}

void Pro2Source::declareOwnKeys(ConfigRegistry &registry, int section)
{
    HistorySource::declareOwnKeys(registry, section);
    ConfigKey fresh;
    fresh.section = section;
    fresh.position = 250;
    fresh.key = QStringLiteral("PRO2_NEW=");
    fresh.save = [this] { return m_searchCurrentMonth ? QStringList() : QStringList{QStringLiteral("PRO2_NEW=N")}; };
    fresh.load = [this](const QString &, const QString &value) {
        if (value == QLatin1String("N"))
            setSearchCurrentMonth(false);
    };
    registry.add(fresh);
}

} // namespace auravox
