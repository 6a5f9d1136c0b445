#include "web/StationSettings.h"

#include "common/ConfigRegistry.h"
#include "engine/Scheduler.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace auravox {

namespace {
const std::array<const char *, kWeatherItemCount> kItemKeys{"TEMPINT", "TEMPEXT", "PRESATM", "PRETEND", "VITVENT",
                                                           "VITRAFA", "DIRVENT", "TRES",    "PLUIE",   "HUMIDI"};
} // namespace

QString weatherItemKey(WeatherItem item)
{
    return QLatin1String(kItemKeys[static_cast<size_t>(item)]);
}

QString sourceName(SourceKind kind)
{
    return kind == SourceKind::None ? QStringLiteral("NONE") : sourceConfigValue(kind);
}

bool WebListenSettings::loopbackOnly() const
{
    return QHostAddress(address).isLoopback();
}

void WebListenSettings::declareConfig(ConfigRegistry &r)
{
    ConfigKey on;
    on.section = ConfigSection::Web;
    on.position = 10;
    on.key = QStringLiteral("WEB=");
    on.save = [this] { return enabled ? QStringList() : QStringList{QStringLiteral("WEB=N")}; };
    on.load = [this](const QString &, const QString &v) { enabled = v != QLatin1String("N"); };
    r.add(on);

    ConfigKey addr;
    addr.section = ConfigSection::Web;
    addr.position = 20;
    addr.key = QStringLiteral("WEB_ADDRESS=");
    addr.save = [this] {
        return address == kDefaultAddress ? QStringList() : QStringList{QStringLiteral("WEB_ADDRESS=") + address};
    };
    addr.load = [this](const QString &, const QString &v) {
        if (QHostAddress a; a.setAddress(v))
            address = v;
    };
    r.add(addr);

    ConfigKey portKey;
    portKey.section = ConfigSection::Web;
    portKey.position = 30;
    portKey.key = QStringLiteral("WEB_PORT=");
    portKey.save = [this] {
        return port == kDefaultPort ? QStringList() : QStringList{QStringLiteral("WEB_PORT=%1").arg(port)};
    };
    portKey.load = [this](const QString &, const QString &v) {
        int n;
        if (ConfigRegistry::parseInt(v, &n) && n >= 0 && n <= 65535)
            port = n;
    };
    r.add(portKey);
}

bool SourceSettingsChange::empty() const
{
    return !file && !refreshMinutes && !pressureOffset && !trendThreshold && !absolutePressure && !searchCurrentMonth;
}

bool SettingsChange::empty() const
{
    const bool noItem = std::none_of(items.begin(), items.end(), [](const auto &i) { return i.has_value(); });
    return noItem && !periodMinutes && !startHour && !endHour && !header && !hello && !date && !dateUS && !timeIs &&
           !time && !goodbye && !pauseSeconds && !source && !celsius && !millibars && !kmh && !millimetres && !port &&
           !useDtr && !useRts && !startOnDsr && !startOnCts && !inhibitOnDcd && !ptt && !soundDevice && !volume &&
           !headerFile && !helloFile && !goodbyeFile && !voiceFolder && !weatherAge && !sixteenPoints &&
           !recordWhilePlaying && !releaseCheck && !startAtLogin && !startMinimized && !recorderPath && !balance &&
           !maxVolume && sources.empty() && favourites.empty();
}

namespace {
// The fields of a station's set-up: files, port, card, volume, weather age.
// Nothing when `k` is none of them; else empty, or why the value is refused
// (`semantic` when it is well formed but impossible).
std::optional<QString> parseSetupField(const QString &k, const QJsonValue &v, SettingsChange &c, bool *semantic)
{
    struct TextField
    {
        const char *name;
        std::optional<QString> SettingsChange::*field;
    };
    static const TextField kTexts[] = {{"port", &SettingsChange::port},
                                       {"headerFile", &SettingsChange::headerFile},
                                       {"helloFile", &SettingsChange::helloFile},
                                       {"goodbyeFile", &SettingsChange::goodbyeFile},
                                       {"voiceFolder", &SettingsChange::voiceFolder},
                                       {"recorderPath", &SettingsChange::recorderPath}};
    const auto t = std::find_if(std::begin(kTexts), std::end(kTexts),
                                [&](const TextField &f) { return k == QLatin1String(f.name); });
    if (t != std::end(kTexts)) {
        if (!v.isString())
            return QStringLiteral("\"%1\" must be a text").arg(k);
        c.*(t->field) = v.toString();
        return QString();
    }
    if (k == QLatin1String("ptt")) {
        if (!v.isObject())
            return QStringLiteral("\"ptt\" must be an object: the kind and its settings");
        c.ptt = v.toObject();
        return QString();
    }
    if (k != QLatin1String("soundDevice") && k != QLatin1String("volume") && k != QLatin1String("weatherAge"))
        return std::nullopt;
    const double d = v.toDouble();
    if (!v.isDouble() || d != static_cast<double>(static_cast<int>(d)))
        return QStringLiteral("\"%1\" must be a whole number").arg(k);
    const int n = static_cast<int>(d);
    *semantic = true;
    if (k == QLatin1String("soundDevice")) {
        if (n < -1)
            return QStringLiteral("\"soundDevice\" must be -1 (the system's) or a device number");
        c.soundDevice = n;
    } else if (k == QLatin1String("volume")) {
        if (n < 0 || n > 10)
            return QStringLiteral("\"volume\" must be 0 (the loudest) to 10");
        c.volume = n;
    } else {
        if (n < 0 || n > 3)
            return QStringLiteral("\"weatherAge\" must be 0 (always) or 1 to 3 hours");
        c.weatherAge = n;
    }
    return QString();
}
} // namespace

namespace {
bool wholeNumber(const QJsonValue &v, int *out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (d != static_cast<double>(static_cast<int>(d)))
        return false;
    *out = static_cast<int>(d);
    return true;
}

// One source's object of "sources": empty, or why it is refused.
QString parseSourceSettings(const QString &kindName, const QJsonObject &o, SourceSettingsChange &c, bool *semantic)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString &k = it.key();
        const QJsonValue &v = it.value();
        const QString where = QStringLiteral("\"%1\" of %2").arg(k, kindName);
        if (k == QLatin1String("file")) {
            if (!v.isString())
                return where + QStringLiteral(" must be a text");
            c.file = v.toString();
        } else if (k == QLatin1String("absolutePressure") || k == QLatin1String("searchCurrentMonth")) {
            if (!v.isBool())
                return where + QStringLiteral(" must be true or false");
            (k == QLatin1String("absolutePressure") ? c.absolutePressure : c.searchCurrentMonth) = v.toBool();
        } else if (k == QLatin1String("refreshMinutes") || k == QLatin1String("pressureOffset") ||
                   k == QLatin1String("trendThreshold")) {
            int n = 0;
            if (!wholeNumber(v, &n))
                return where + QStringLiteral(" must be a whole number");
            if (k == QLatin1String("refreshMinutes")) {
                if (n < 1 || n > 60) {
                    *semantic = true;
                    return where + QStringLiteral(" must be 1 to 60 minutes");
                }
                c.refreshMinutes = n;
            } else if (k == QLatin1String("trendThreshold")) {
                if (n < 1) {
                    *semantic = true;
                    return where + QStringLiteral(" must be 1 or more");
                }
                c.trendThreshold = n;
            } else {
                c.pressureOffset = n;
            }
        } else {
            return QStringLiteral("unknown setting \"%1\" of a source").arg(k);
        }
    }
    return QString();
}

// "sources", "favourites", "balance" and "maxVolume". Nothing when `k` is none
// of them; else empty, or why the value is refused.
std::optional<QString> parseSourceField(const QString &k, const QJsonValue &v, SettingsChange &c, bool *semantic)
{
    if (k == QLatin1String("balance") || k == QLatin1String("maxVolume")) {
        int n = 0;
        if (!wholeNumber(v, &n))
            return QStringLiteral("\"%1\" must be a whole number").arg(k);
        *semantic = true;
        if (k == QLatin1String("balance")) {
            if (n < -100 || n > 100)
                return QStringLiteral("\"balance\" must be -100 (left) to 100 (right)");
            c.balance = n;
        } else {
            if (n < 0 || n > 100)
                return QStringLiteral("\"maxVolume\" must be 0 to 100");
            c.maxVolume = n;
        }
        return QString();
    }
    if (k != QLatin1String("sources") && k != QLatin1String("favourites"))
        return std::nullopt;
    if (!v.isObject())
        return QStringLiteral("\"%1\" must be an object by source").arg(k);
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const SourceKind kind = sourceFromConfigValue(it.key());
        if (kind == SourceKind::None) {
            *semantic = true;
            return QStringLiteral("\"%1\" names no source: %2").arg(k, it.key());
        }
        if (k == QLatin1String("sources")) {
            if (!it.value().isObject())
                return QStringLiteral("the settings of %1 must be an object").arg(it.key());
            if (const QString why = parseSourceSettings(it.key(), it.value().toObject(), c.sources[kind], semantic);
                !why.isEmpty())
                return why;
            continue;
        }
        if (kind != SourceKind::Metar && kind != SourceKind::Aprs) {
            *semantic = true;
            return QStringLiteral("only METAR and APRS have favourites");
        }
        const QJsonArray entries = it.value().toArray();
        if (!it.value().isArray() || entries.size() > 10)
            return QStringLiteral("the favourites of %1 must be a list of at most 10 texts").arg(it.key());
        QStringList texts;
        for (const QJsonValue &e : entries) {
            if (!e.isString())
                return QStringLiteral("the favourites of %1 must be a list of at most 10 texts").arg(it.key());
            texts << e.toString();
        }
        c.favourites[kind] = texts;
    }
    return QString();
}
} // namespace

std::optional<SettingsChange> SettingsChange::parse(const QByteArray &body, QString *error, bool *unprocessable,
                                                    SourceKind currentSource)
{
    *unprocessable = false;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = QStringLiteral("the body must be a JSON object");
        return std::nullopt;
    }
    SettingsChange c;
    auto fail = [&](const QString &why, bool semantic) {
        *error = why;
        *unprocessable = semantic;
        return std::nullopt;
    };
    auto integer = [](const QJsonValue &v, int *out) {
        if (!v.isDouble())
            return false;
        const double d = v.toDouble();
        if (d != static_cast<double>(static_cast<int>(d)))
            return false;
        *out = static_cast<int>(d);
        return true;
    };
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString &k = it.key();
        const QJsonValue &v = it.value();
        struct BoolField
        {
            const char *name;
            std::optional<bool> SettingsChange::*field;
        };
        static const BoolField kBools[] = {
            {"header", &SettingsChange::header}, {"hello", &SettingsChange::hello},
            {"date", &SettingsChange::date},     {"dateUS", &SettingsChange::dateUS},
            {"timeIs", &SettingsChange::timeIs}, {"time", &SettingsChange::time},
            {"goodbye", &SettingsChange::goodbye}, {"useDtr", &SettingsChange::useDtr},
            {"useRts", &SettingsChange::useRts}, {"startOnDsr", &SettingsChange::startOnDsr},
            {"startOnCts", &SettingsChange::startOnCts}, {"inhibitOnDcd", &SettingsChange::inhibitOnDcd},
            {"sixteenPoints", &SettingsChange::sixteenPoints},
            {"recordWhilePlaying", &SettingsChange::recordWhilePlaying},
            {"releaseCheck", &SettingsChange::releaseCheck}, {"startAtLogin", &SettingsChange::startAtLogin},
            {"startMinimized", &SettingsChange::startMinimized}};
        const auto b = std::find_if(std::begin(kBools), std::end(kBools),
                                    [&](const BoolField &f) { return k == QLatin1String(f.name); });
        if (b != std::end(kBools)) {
            if (!v.isBool())
                return fail(QStringLiteral("\"%1\" must be true or false").arg(k), false);
            c.*(b->field) = v.toBool();
            continue;
        }
        bool semantic = false;
        if (const std::optional<QString> why = parseSetupField(k, v, c, &semantic)) {
            if (!why->isEmpty())
                return fail(*why, semantic);
            continue;
        }
        if (const std::optional<QString> why = parseSourceField(k, v, c, &semantic)) {
            if (!why->isEmpty())
                return fail(*why, semantic);
            continue;
        }
        int n = 0;
        if (k == QLatin1String("period")) {
            if (!integer(v, &n))
                return fail(QStringLiteral("\"period\" must be a whole number of minutes"), false);
            if (std::find(Scheduler::kPeriods.begin(), Scheduler::kPeriods.end(), n) == Scheduler::kPeriods.end())
                return fail(QStringLiteral("\"period\" must be 0, 5, 10, 15, 20, 30 or 60 minutes"), true);
            c.periodMinutes = n;
        } else if (k == QLatin1String("startHour") || k == QLatin1String("endHour")) {
            if (!integer(v, &n))
                return fail(QStringLiteral("\"%1\" must be a whole number").arg(k), false);
            if (n < 0 || n > 24)
                return fail(QStringLiteral("\"%1\" must be an hour from 0 to 24").arg(k), true);
            (k == QLatin1String("startHour") ? c.startHour : c.endHour) = n;
        } else if (k == QLatin1String("pause")) {
            if (!integer(v, &n))
                return fail(QStringLiteral("\"pause\" must be a whole number of seconds"), false);
            if (n < 0 || n > 15)
                return fail(QStringLiteral("\"pause\" must be 0 to 15 seconds"), true);
            c.pauseSeconds = n;
        } else if (k == QLatin1String("source")) {
            const QString s = v.toString();
            if (!v.isString())
                return fail(QStringLiteral("\"source\" must be a text"), false);
            const SourceKind kind = s == QLatin1String("NONE") ? SourceKind::None : sourceFromConfigValue(s);
            if (kind == SourceKind::None && s != QLatin1String("NONE"))
                return fail(QStringLiteral("\"source\" must be NONE, MON, W23, W28, APRS, PRO2 or METAR"), true);
            c.source = kind;
        } else if (k == QLatin1String("items")) {
            if (!v.isObject())
                return fail(QStringLiteral("\"items\" must be an object of true/false values"), false);
            const QJsonObject items = v.toObject();
            for (auto i = items.begin(); i != items.end(); ++i) {
                const auto at = std::find_if(kItemKeys.begin(), kItemKeys.end(),
                                             [&](const char *key) { return i.key() == QLatin1String(key); });
                if (at == kItemKeys.end())
                    return fail(QStringLiteral("unknown weather item \"%1\"").arg(i.key()), false);
                if (!i.value().isBool())
                    return fail(QStringLiteral("weather item \"%1\" must be true or false").arg(i.key()), false);
                c.items[static_cast<size_t>(at - kItemKeys.begin())] = i.value().toBool();
            }
        } else if (k == QLatin1String("units")) {
            if (!v.isObject())
                return fail(QStringLiteral("\"units\" must be an object"), false);
            const QJsonObject u = v.toObject();
            struct Unit
            {
                const char *name, *metric, *other;
                std::optional<bool> SettingsChange::*field;
            };
            static const Unit kUnits[] = {{"temperature", "C", "F", &SettingsChange::celsius},
                                          {"pressure", "mBar", "inHg", &SettingsChange::millibars},
                                          {"wind", "km/h", "mph", &SettingsChange::kmh},
                                          {"rain", "mm", "inch", &SettingsChange::millimetres}};
            for (auto i = u.begin(); i != u.end(); ++i) {
                const auto unit = std::find_if(std::begin(kUnits), std::end(kUnits),
                                               [&](const Unit &x) { return i.key() == QLatin1String(x.name); });
                if (unit == std::end(kUnits))
                    return fail(QStringLiteral("unknown unit \"%1\"").arg(i.key()), false);
                const QString value = i.value().toString();
                if (value != QLatin1String(unit->metric) && value != QLatin1String(unit->other))
                    return fail(QStringLiteral("unit \"%1\" must be \"%2\" or \"%3\"")
                                    .arg(i.key(), QLatin1String(unit->metric), QLatin1String(unit->other)),
                                true);
                c.*(unit->field) = value == QLatin1String(unit->metric);
            }
        } else {
            return fail(QStringLiteral("unknown setting \"%1\"").arg(k), false);
        }
    }
    if (c.date.value_or(false) && c.dateUS.value_or(false))
        return fail(QStringLiteral("\"date\" and \"dateUS\" cannot both be on: the date has one order"), true);
    if (c.timeIs.value_or(false) && c.time.has_value() && !*c.time)
        return fail(QStringLiteral("\"timeIs\" needs \"time\": \"Time is\" is followed by the time"), true);
    const SourceKind source = c.source.value_or(currentSource);
    for (int i = 0; i < kWeatherItemCount; ++i) {
        const auto item = static_cast<WeatherItem>(i);
        if (c.items[static_cast<size_t>(i)] && !sourceHasItem(source, item))
            return fail(QStringLiteral("the source %1 has no item %2").arg(sourceName(source), weatherItemKey(item)),
                        true);
    }
    if (c.empty())
        return fail(QStringLiteral("nothing to change"), false);
    return c;
}

} // namespace auravox

namespace auravox {

QDateTime nextScheduledAnnouncement(const Scheduler &scheduler, const QDateTime &now)
{
    if (scheduler.periodMinutes() == 0)
        return QDateTime();
    QDateTime t = now.addSecs(60 - now.time().second());
    t.setTime(QTime(t.time().hour(), t.time().minute()));
    for (int i = 0; i < 2 * 24 * 60; ++i, t = t.addSecs(60)) {
        const int minute = t.time().minute();
        if (scheduler.inRange(t.time().hour()) && (minute == 0 || minute % scheduler.periodMinutes() == 0))
            return t;
    }
    return QDateTime();
}

} // namespace auravox
