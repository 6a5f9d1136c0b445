#include "app/ui/StationWeb.h"

#include "transmitter/Transmitter.h"

#include "app/ui/AppWindows.h"
#include "app/ui/UpDown.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "common/Log.h"
#include "common/Rounding.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

namespace auravox {

namespace {

struct ItemInfo
{
    const char *name;
    WeatherItem item;
};
// The eleven spoken weather items, in speaking order.
const ItemInfo kSpokenItems[] = {
    {"Indoor temperature", WeatherItem::IndoorTemp}, {"Outdoor temperature", WeatherItem::OutdoorTemp},
    {"Pressure", WeatherItem::Pressure},             {"Pressure trend", WeatherItem::PressureTrend},
    {"Wind", WeatherItem::WindSpeed},                {"Gust", WeatherItem::WindGust},
    {"Wind direction", WeatherItem::WindDirection},  {"Wind chill", WeatherItem::WindChill},
    {"Rain of 24 hours", WeatherItem::Rain24h},      {"Present weather", WeatherItem::Rain24h},
    {"Outdoor humidity", WeatherItem::OutdoorHumidity}};

const char *const kBoxes[] = {"CheckBoxEntete", "CheckBoxZorbel", "CheckBoxDate", "CheckBoxDateUS",
                              "CheckBoxIlEst",  "CheckBoxHeure",  "CheckBoxFin"};

QString number(double v, bool decimals)
{
    if (!(v > -1e6 && v < 1e6))
        return QStringLiteral("?");
    return decimals ? QString::number(v, 'f', 2) : QString::number(static_cast<int>(roundHalfEven(v)));
}

QString valueText(int spokenItem, const WeatherSnapshot &s, const UnitSettings &u)
{
    const QString deg = QStringLiteral("°") + u.temperatureLabel;
    switch (spokenItem) {
    case 1: return number(s.indoorTemp, false) + QLatin1Char(' ') + deg;
    case 2: return number(s.outdoorTemp, false) + QLatin1Char(' ') + deg;
    case 3: return number(s.pressure, u.pressureFactor != 1) + QLatin1Char(' ') + u.pressureLabel;
    case 4: {
        static const char *const kTrend[] = {"steady", "rising", "falling"};
        return s.pressureTrend >= 0 && s.pressureTrend <= 2 ? QLatin1String(kTrend[s.pressureTrend]) : QString();
    }
    case 5: return number(s.windSpeed, false) + QLatin1Char(' ') + u.windLabel;
    case 6: return number(s.windGust, false) + QLatin1Char(' ') + u.windLabel;
    case 7:
        if (s.windDirection == 999)
            return QStringLiteral("variable");
        return s.windDirection >= 0 ? QString::number(s.windDirection) + QStringLiteral("°") : QString();
    case 8: return s.windChill <= -200 ? QString() : number(s.windChill, false) + QLatin1Char(' ') + deg;
    case 9: return s.rain24h < 0 ? QString() : number(s.rain24h, u.rainFactor != 1) + QLatin1Char(' ') + u.rainLabel;
    case 10: return QString();
    case 11: return s.outdoorHumidity < 0 ? QString() : number(s.outdoorHumidity, false) + QStringLiteral(" %");
    default: return QString();
    }
}

} // namespace

StationWeb::StationWeb(AppWindows &app, Clock &clock, int portOverride,
                       WebServerOptions options)
    : m_app(app), m_clock(clock), m_portOverride(portOverride), m_options(std::move(options)),
      m_history([&clock] { return clock.now(); }), m_tail(std::make_unique<LogTail>())
{
    QFile words(QStringLiteral(":/web/words.tsv"));
    if (words.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : words.readAll().split('\n')) {
            const QList<QByteArray> cells = line.trimmed().split('\t');
            if (cells.size() == 2)
                m_words.insert(QString::fromUtf8(cells[0]).toUpper(), QString::fromUtf8(cells[1]));
        }
    }
    m_history.setWords([this](const QString &clip) { return spokenWords(clip); });
    m_app.form1().announcer().addObserver(&m_history);
}

StationWeb::~StationWeb()
{
    m_app.form1().announcer().removeObserver(&m_history);
}

void StationWeb::start()
{
    if (m_server)
        return;
    if (!m_listen.enabled) {
        qCInfo(lcWeb) << "the station page is off (WEB=N)";
        return;
    }
    const QHostAddress address(m_listen.address);
    const int port = m_portOverride >= 0 ? m_portOverride : m_listen.port;
    auto server = std::make_unique<StationWebServer>(*this, m_history, m_tail.get(), [this] { return m_clock.now(); },
                                                     m_options);
    QString error;
    if (!server->start(address, static_cast<quint16>(port), &error)) {
        qCWarning(lcWeb).noquote() << QStringLiteral("the station page cannot listen on %1 port %2: %3")
                                          .arg(m_listen.address)
                                          .arg(port)
                                          .arg(error);
        return;
    }
    m_server = std::move(server);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + m_listen.address + QLatin1Char(']') : m_listen.address;
    if (address.isLoopback()) {
        qCInfo(lcWeb).noquote() << QStringLiteral("station page at http://%1:%2/").arg(host).arg(m_server->port());
    } else {
        qCWarning(lcWeb).noquote()
            << QStringLiteral("station page at http://%1:%2/ is open to other machines (WEB_ADDRESS=%3); "
                              "they must log in with the station password")
                   .arg(host)
                   .arg(m_server->port())
                   .arg(m_listen.address);
    }
}

QString StationWeb::spokenWords(const QString &clip) const
{
    const auto it = m_words.constFind(clip.toUpper());
    if (it != m_words.constEnd())
        return *it;
    return QStringLiteral("[") + QFileInfo(clip).fileName() + QStringLiteral("]");
}

SourceKind StationWeb::chosenSource() const
{
    return m_app.formChoixMeteo().checkedSource();
}

qint64 StationWeb::logBookRevision() const
{
    // The log book only grows at its end (the oldest lines go when it is full).
    const QStringList &lines = m_app.form1().log().lines();
    return static_cast<qint64>(lines.size()) * 1000003 + static_cast<qint64>(qHash(lines.isEmpty() ? QString() : lines.constLast()) % 1000003);
}

QStringList StationWeb::logBook(int lines)
{
    const QStringList &all = m_app.form1().log().lines();
    return all.mid(std::max<qsizetype>(0, all.size() - lines));
}

bool StationWeb::clickPlay()
{
    auto *button = m_app.form1().findChild<QPushButton *>(QStringLiteral("Button1"));
    if (!button || !button->isEnabled())
        return false;
    m_app.form1().announcer().setStartOrigin(AnnounceOrigin::Web);
    button->click();
    return true;
}

QJsonObject StationWeb::weatherStatus()
{
    TFormChoixMeteo &choice = m_app.formChoixMeteo();
    const SourceKind kind = choice.checkedSource();
    QJsonObject o;
    o.insert(QStringLiteral("source"), sourceName(kind));
    if (QRadioButton *radio = choice.radioButton(kind))
        o.insert(QStringLiteral("caption"), radio->text());
    const WeatherSourceWindow *window = choice.sourceWindow(kind);
    if (kind == SourceKind::None || !window) {
        o.insert(QStringLiteral("gate"), QStringLiteral("no weather source"));
        return o;
    }
    WeatherContext c;
    c.kind = kind;
    c.snapshot = window->snapshot();
    c.selection = window->selection();
    c.units = m_app.units();
    c.sixteenPoints = m_app.form1().sixteenPoints();
    const QString error = window->errorLine();
    o.insert(QStringLiteral("error"), error);
    const QDateTime now = m_clock.now();
    const double nowDays = DateTimeUtil::toDays(now);
    const double readingDays = kind == SourceKind::MonitorII ? nowDays : c.snapshot.readingTime;
    if (readingDays > 0) {
        const QDateTime reading = DateTimeUtil::fromDays(readingDays);
        o.insert(QStringLiteral("readingTime"), reading.toString(Qt::ISODate));
        o.insert(QStringLiteral("ageSeconds"), reading.secsTo(now));
    }
    QString gate = QStringLiteral("spoken");
    if (choice.activeSource() != kind)
        gate = QStringLiteral("not ready: no file, address or station port");
    else if (kind != SourceKind::MonitorII && !error.isEmpty())
        gate = QStringLiteral("not spoken: the source has an error");
    else if (!WeatherPhrases::fresh(m_app.form1().staleness(), kind, nowDays, readingDays))
        gate = QStringLiteral("not spoken: the reading is too old");
    o.insert(QStringLiteral("gate"), gate);
    QJsonArray items;
    QStringList phrase;
    for (int n = 1; n <= 11; ++n) {
        const ItemInfo &info = kSpokenItems[n - 1];
        if (!sourceHasItem(kind, info.item) || (n == 9 && kind == SourceKind::Metar) ||
            (n == 10 && kind != SourceKind::Metar))
            continue;
        QStringList words;
        for (const QString &clip : WeatherPhrases::item(n, c))
            words << spokenWords(clip);
        if (!words.isEmpty())
            phrase << words.join(QLatin1Char(' '));
        items.append(QJsonObject{{QStringLiteral("key"), weatherItemKey(info.item)},
                                 {QStringLiteral("name"), QLatin1String(info.name)},
                                 {QStringLiteral("selected"), c.selection.has(info.item)},
                                 {QStringLiteral("value"), valueText(n, c.snapshot, c.units)},
                                 {QStringLiteral("spoken"), words.join(QLatin1Char(' '))}});
    }
    o.insert(QStringLiteral("items"), items);
    o.insert(QStringLiteral("spoken"), phrase.join(QStringLiteral(", ")));
    return o;
}

QJsonObject StationWeb::settingsStatus()
{
    TForm1 &f = m_app.form1();
    QJsonObject o;
    o.insert(QStringLiteral("period"), f.scheduler().periodMinutes());
    o.insert(QStringLiteral("startHour"), f.scheduler().startHour());
    o.insert(QStringLiteral("endHour"), f.scheduler().endHour());
    static const char *const kNames[] = {"header", "hello", "date", "dateUS", "timeIs", "time", "goodbye"};
    for (size_t i = 0; i < std::size(kBoxes); ++i) {
        if (auto *box = f.findChild<QCheckBox *>(QLatin1String(kBoxes[i])))
            o.insert(QLatin1String(kNames[i]), box->isChecked());
    }
    if (auto *pause = f.findChild<QSpinBox *>(QStringLiteral("SpinEditPause")))
        o.insert(QStringLiteral("pause"), pause->value());
    const SourceKind kind = chosenSource();
    o.insert(QStringLiteral("source"), sourceName(kind));
    QJsonObject items;
    if (const WeatherSourceWindow *w = m_app.formChoixMeteo().sourceWindow(kind)) {
        const AnnounceSelection s = w->selection();
        for (int i = 0; i < kWeatherItemCount; ++i) {
            const auto item = static_cast<WeatherItem>(i);
            if (sourceHasItem(kind, item))
                items.insert(weatherItemKey(item), s.has(item));
        }
    }
    o.insert(QStringLiteral("items"), items);
    const UnitSettings &u = m_app.units();
    o.insert(QStringLiteral("units"), QJsonObject{{QStringLiteral("temperature"), u.temperatureLabel},
                                                  {QStringLiteral("pressure"), u.pressureLabel},
                                                  {QStringLiteral("wind"), u.windLabel},
                                                  {QStringLiteral("rain"), u.rainLabel}});
    return o;
}

QJsonObject StationWeb::status()
{
    TForm1 &f = m_app.form1();
    const QDateTime now = m_clock.now();
    QJsonObject o;
    o.insert(QStringLiteral("version"), TForm1::kVersion);
    o.insert(QStringLiteral("now"), now.toString(Qt::ISODate));
    o.insert(QStringLiteral("time"), TForm1::timeText(now).trimmed());
    o.insert(QStringLiteral("date"), TForm1::dateText(now).trimmed());
    o.insert(QStringLiteral("startupPending"), f.startupPending());
    o.insert(QStringLiteral("busy"), f.announcer().busy());
    o.insert(QStringLiteral("statusField"), f.statusFieldText());
    const QDateTime next = nextScheduledAnnouncement(f.scheduler(), now);
    o.insert(QStringLiteral("schedule"),
             QJsonObject{{QStringLiteral("periodMinutes"), f.scheduler().periodMinutes()},
                         {QStringLiteral("startHour"), f.scheduler().startHour()},
                         {QStringLiteral("endHour"), f.scheduler().endHour()},
                         {QStringLiteral("next"), next.isValid() ? QJsonValue(next.toString(Qt::ISODate)) : QJsonValue()}});
    TFormCOM &com = m_app.formCOM();
    const QString port = com.portName();
    Transmitter &ptt = com.transmitter();
    const Transmitter::Lines &boxes = ptt.lines();
    const ModemStatus inputs = ptt.isOpen() ? ptt.modemStatus() : ModemStatus{};
    o.insert(QStringLiteral("port"),
             QJsonObject{{QStringLiteral("name"), port},
                         {QStringLiteral("device"), port == TransmitterPort::kNoPortName
                                                        ? QString()
                                                        : m_app.serialPort().devicePath(port)},
                         {QStringLiteral("open"), m_app.serialPort().isOpen()},
                         {QStringLiteral("dtr"), inputs.dtr},
                         {QStringLiteral("rts"), inputs.rts},
                         {QStringLiteral("cts"), inputs.cts},
                         {QStringLiteral("dsr"), inputs.dsr},
                         {QStringLiteral("dcd"), inputs.dcd},
                         {QStringLiteral("useDtr"), boxes.dtr},
                         {QStringLiteral("useRts"), boxes.rts},
                         {QStringLiteral("startOnCts"), boxes.cts},
                         {QStringLiteral("startOnDsr"), boxes.dsr},
                         {QStringLiteral("inhibitOnDcd"), boxes.dcd}});
    o.insert(QStringLiteral("weather"), weatherStatus());
    o.insert(QStringLiteral("settings"), settingsStatus());
    return o;
}

QString StationWeb::applySettings(const SettingsChange &c)
{
    TForm1 &f = m_app.form1();
    if (c.periodMinutes) {
        auto *updown = f.findChild<UpDown *>(QStringLiteral("UpDownPeriode"));
        const auto at = std::find(Scheduler::kPeriods.begin(), Scheduler::kPeriods.end(), *c.periodMinutes);
        const int position = static_cast<int>(at - Scheduler::kPeriods.begin());
        // The arrows, as a user steps them.
        for (int guard = 0; updown && updown->position() != position && guard < 10; ++guard)
            (updown->position() < position ? updown->upButton() : updown->downButton())->click();
    }
    if (c.startHour)
        f.hourMenuItem(*c.startHour)->trigger();
    if (c.endHour)
        f.hourMenuItem(25 + *c.endHour)->trigger();
    auto setBox = [&](QWidget *window, const char *name, const std::optional<bool> &want) {
        auto *box = window->findChild<QCheckBox *>(QLatin1String(name));
        if (want && box && box->isChecked() != *want)
            box->click();
    };
    setBox(&f, "CheckBoxEntete", c.header);
    if (c.pauseSeconds)
        f.findChild<QSpinBox *>(QStringLiteral("SpinEditPause"))->setValue(*c.pauseSeconds);
    setBox(&f, "CheckBoxZorbel", c.hello);
    setBox(&f, "CheckBoxDate", c.date);
    setBox(&f, "CheckBoxDateUS", c.dateUS);
    setBox(&f, "CheckBoxHeure", c.time);
    setBox(&f, "CheckBoxIlEst", c.timeIs);
    setBox(&f, "CheckBoxFin", c.goodbye);
    if (c.source) {
        QRadioButton *radio = m_app.formChoixMeteo().radioButton(*c.source);
        if (radio && !radio->isChecked())
            radio->click();
    }
    if (WeatherSourceWindow *w = m_app.formChoixMeteo().sourceWindow(chosenSource())) {
        for (int i = 0; i < kWeatherItemCount; ++i) {
            QCheckBox *box = w->itemBox(static_cast<WeatherItem>(i));
            if (const auto &want = c.items[static_cast<size_t>(i)]; want && box && box->isChecked() != *want)
                box->click();
        }
    }
    auto setUnit = [&](const std::optional<bool> &metric, const char *metricName, const char *otherName) {
        if (!metric)
            return;
        auto *radio = m_app.formMyUnits().findChild<QRadioButton *>(QLatin1String(*metric ? metricName : otherName));
        if (radio && !radio->isChecked())
            radio->click();
    };
    setUnit(c.celsius, "RadioButtonTc", "RadioButtonTf");
    setUnit(c.millibars, "RadioButtonPm", "RadioButtonPi");
    setUnit(c.kmh, "RadioButtonVk", "RadioButtonVm");
    setUnit(c.millimetres, "RadioButtonRm", "RadioButtonRi");
    // Saved as the window saves it.
    if (!f.SaveConfiguration())
        return f.statusFieldText();
    return QString();
}

} // namespace auravox
