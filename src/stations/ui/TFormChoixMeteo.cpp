#include "stations/ui/TFormChoixMeteo.h"

#include "common/ConfigRegistry.h"
#include "common/Rounding.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace auravox {

namespace {
struct Choice
{
    SourceKind kind;
    const char *name;
    const char *caption;
};
// Top to bottom, as the window shows them.
constexpr Choice kChoices[] = {
    {SourceKind::None, "RadioButtonNoMeteo", "No weather data"},
    {SourceKind::MonitorII, "RadioButtonMON", "Davis Weather Monitor II"},
    {SourceKind::Pro2, "RadioButtonPro2", "Davis Vantage Pro2"},
    {SourceKind::Ws23, "RadioButtonW23", "Lacrosse WS-2310 / 2315 / 2355 +"},
    {SourceKind::Ws28, "RadioButtonW28", "Lacrosse WS-2800 / 3610 +"},
    {SourceKind::Aprs, "RadioButtonAPRS", "APRS data (UI-VIEW format)"},
    {SourceKind::Metar, "RadioButtonMETAR", "METAR data (Aviation)"},
};
constexpr SourceKind kAllSources[] = {SourceKind::MonitorII, SourceKind::Ws23, SourceKind::Ws28,
                                      SourceKind::Aprs,      SourceKind::Pro2, SourceKind::Metar};
} // namespace

TFormChoixMeteo::TFormChoixMeteo(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FormChoixMeteo"));
    setWindowTitle(QStringLiteral("Weather station choice"));
    auto *root = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Weather stations"), this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    auto *column = new QVBoxLayout(group);
    for (const Choice &c : kChoices) {
        auto *button = new QRadioButton(QLatin1String(c.caption), group);
        button->setObjectName(QLatin1String(c.name));
        column->addWidget(button);
        m_buttons[static_cast<size_t>(c.kind)] = button;
        const SourceKind kind = c.kind;
        // A program change (the configuration load) runs the same action as a click.
        connect(button, &QRadioButton::toggled, this, [this, kind](bool on) {
            if (on)
                choose(kind);
        });
    }
    m_buttons[0]->setChecked(true);
    root->addWidget(group);
    adjustSize();
}

void TFormChoixMeteo::setSourceWindow(SourceKind kind, WeatherSourceWindow *window)
{
    m_windows[static_cast<size_t>(kind)] = window;
}

WeatherSourceWindow *TFormChoixMeteo::sourceWindow(SourceKind kind) const
{
    return m_windows[static_cast<size_t>(kind)];
}

void TFormChoixMeteo::setMainWindow(QWidget *main, std::function<bool()> startsMinimized)
{
    m_main = main;
    m_startsMinimized = std::move(startsMinimized);
}

SourceKind TFormChoixMeteo::checkedSource() const
{
    for (const Choice &c : kChoices) {
        if (m_buttons[static_cast<size_t>(c.kind)]->isChecked())
            return c.kind;
    }
    return SourceKind::None;
}

SourceKind TFormChoixMeteo::activeSource() const
{
    for (SourceKind kind : kAllSources) {
        const WeatherSourceWindow *w = sourceWindow(kind);
        if (radioButton(kind)->isChecked() && w && w->isReady())
            return kind;
    }
    return SourceKind::None;
}

void TFormChoixMeteo::choose(SourceKind kind)
{
    // Only the chosen source's timer runs.
    for (SourceKind other : kAllSources) {
        if (other != kind && sourceWindow(other))
            sourceWindow(other)->timer()->stop();
    }
    WeatherSourceWindow *w = sourceWindow(kind);
    if (kind == SourceKind::None || !w)
        return;
    const bool showWindow = !(m_startsMinimized && m_startsMinimized());
    w->selectSource(showWindow);
}

void TFormChoixMeteo::refreshActiveSource()
{
    // The first checked one in this order, as the units window looks.
    for (SourceKind kind : {SourceKind::MonitorII, SourceKind::Ws28, SourceKind::Ws23, SourceKind::Aprs,
                            SourceKind::Pro2, SourceKind::Metar}) {
        if (radioButton(kind)->isChecked()) {
            if (WeatherSourceWindow *w = sourceWindow(kind))
                w->ButtonRafraichirClick();
            return;
        }
    }
}

void TFormChoixMeteo::showEvent(QShowEvent *event)
{
    if (m_main) {
        const QRect m = m_main->frameGeometry();
        const int top = m.top() + static_cast<int>(roundHalfEven(m.height() / 2.0))
                        - static_cast<int>(roundHalfEven(frameGeometry().height() / 2.0));
        const int left = m.left() + static_cast<int>(roundHalfEven(m.width() / 2.0))
                         - static_cast<int>(roundHalfEven(frameGeometry().width() / 2.0));
        move(left, top);
    }
    QWidget::showEvent(event);
}

void TFormChoixMeteo::declareConfig(ConfigRegistry &registry)
{
    ConfigKey k;
    k.section = ConfigSection::WeatherSource;
    k.position = 10;
    k.key = QStringLiteral("METEO=");
    k.save = [this]() -> QStringList {
        const SourceKind kind = checkedSource();
        if (kind == SourceKind::None)
            return {};
        return {QStringLiteral("METEO=") + sourceConfigValue(kind)};
    };
    k.load = [this](const QString &, const QString &value) {
        if (value == QLatin1String("MON")) {
            radioButton(SourceKind::MonitorII)->setChecked(true);
            return;
        }
        if (sourceFromConfigValue(value) != SourceKind::None)
            m_pendingSource = value;
    };
    registry.add(k);
}

void TFormChoixMeteo::applyPendingSource()
{
    const SourceKind kind = sourceFromConfigValue(m_pendingSource);
    m_pendingSource.clear();
    if (kind != SourceKind::None && kind != SourceKind::MonitorII)
        radioButton(kind)->setChecked(true);
}

} // namespace auravox
