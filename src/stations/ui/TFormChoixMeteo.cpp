#include "stations/ui/TFormChoixMeteo.h"

#include "common/Rounding.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QGroupBox>
#include <QRadioButton>
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
} // namespace

TFormChoixMeteo::TFormChoixMeteo(SourceChoice &choice, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint), m_choice(choice)
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
        connect(button, &QRadioButton::toggled, this, [this, kind](bool on) {
            if (on)
                m_choice.setChosen(kind);
        });
    }
    radioButton(choice.chosen())->setChecked(true);
    // A change of the choice (the configuration load, the station page) shows here.
    connect(&choice, &SourceChoice::chosenChanged, this,
            [this](SourceKind kind) { radioButton(kind)->setChecked(true); });
    // The source's window takes the reading and shows.
    choice.setSelectAction([this](SourceKind kind) {
        if (WeatherSourceWindow *w = sourceWindow(kind))
            w->selectSource(!(m_startsMinimized && m_startsMinimized()));
        else if (WeatherSource *s = m_choice.source(kind))
            s->select();
    });
    choice.setRefreshAction([this](SourceKind kind) {
        if (WeatherSourceWindow *w = sourceWindow(kind))
            w->ButtonRafraichirClick();
        else if (WeatherSource *s = m_choice.source(kind))
            s->refresh();
    });
    root->addWidget(group);
    adjustSize();
}

TFormChoixMeteo::~TFormChoixMeteo()
{
    m_choice.setSelectAction({});
    m_choice.setRefreshAction({});
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

} // namespace auravox
