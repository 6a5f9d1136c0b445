#include "app/ui/TFormMyUnits.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace auravox {

TFormMyUnits::TFormMyUnits(UnitsModel &units, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint), m_units(units)
{
    setObjectName(QStringLiteral("FormMyUnits"));
    setWindowTitle(QStringLiteral("My units"));
    auto *root = new QVBoxLayout(this);
    // Each pair in a box of its own, so that the two buttons of a pair exclude
    // each other and nothing else.
    auto pair = [&](const char *boxName, const QString &caption) {
        auto *box = new QGroupBox(caption, this);
        box->setObjectName(QLatin1String(boxName));
        new QHBoxLayout(box);
        root->addWidget(box);
        return box;
    };
    QGroupBox *t = pair("GroupBoxT", QStringLiteral("Temperature"));
    RadioButtonTc = radio(t, "RadioButtonTc", QStringLiteral("°C"), true, &TFormMyUnits::RadioButtonTcClick);
    RadioButtonTf = radio(t, "RadioButtonTf", QStringLiteral("°F"), false, &TFormMyUnits::RadioButtonTfClick);
    QGroupBox *p = pair("GroupBoxP", QStringLiteral("Pressure"));
    RadioButtonPm = radio(p, "RadioButtonPm", QStringLiteral("mBars"), true, &TFormMyUnits::RadioButtonPmClick);
    RadioButtonPi = radio(p, "RadioButtonPi", QStringLiteral("inHg"), false, &TFormMyUnits::RadioButtonPiClick);
    QGroupBox *v = pair("GroupBoxV", QStringLiteral("Wind Speed"));
    RadioButtonVk = radio(v, "RadioButtonVk", QStringLiteral("km/h"), true, &TFormMyUnits::RadioButtonVkClick);
    RadioButtonVm = radio(v, "RadioButtonVm", QStringLiteral("mph"), false, &TFormMyUnits::RadioButtonVmClick);
    QGroupBox *r = pair("GroupBoxR", QStringLiteral("Rain"));
    RadioButtonRm = radio(r, "RadioButtonRm", QStringLiteral("mm"), true, &TFormMyUnits::RadioButtonRmClick);
    RadioButtonRi = radio(r, "RadioButtonRi", QStringLiteral("inch"), false, &TFormMyUnits::RadioButtonRiClick);
    connect(&m_units, &UnitsModel::changed, this, &TFormMyUnits::changed);
    showUnits();
}

void TFormMyUnits::showUnits()
{
    using U = UnitsModel::Unit;
    for (auto [unit, metric, other] : {std::tuple{U::Temperature, RadioButtonTc, RadioButtonTf},
                                       std::tuple{U::Pressure, RadioButtonPm, RadioButtonPi},
                                       std::tuple{U::Wind, RadioButtonVk, RadioButtonVm},
                                       std::tuple{U::Rain, RadioButtonRm, RadioButtonRi}})
        (m_units.metric(unit) ? metric : other)->setChecked(true);
}

QRadioButton *TFormMyUnits::radio(QGroupBox *box, const char *name, const QString &caption, bool checked,
                                  void (TFormMyUnits::*action)())
{
    auto *button = new QRadioButton(caption, box);
    box->layout()->addWidget(button);
    button->setObjectName(QLatin1String(name));
    button->setChecked(checked);
    // Only a button that becomes checked acts: clicking the checked one does nothing.
    connect(button, &QRadioButton::toggled, this, [this, action](bool on) {
        if (on)
            (this->*action)();
    });
    return button;
}

void TFormMyUnits::changed()
{
    showUnits();
    if (m_refresh)
        m_refresh();
}

// A click sets the model; its change refreshes the source (changed).
void TFormMyUnits::RadioButtonTcClick() { m_units.setMetric(UnitsModel::Unit::Temperature, true); }
void TFormMyUnits::RadioButtonTfClick() { m_units.setMetric(UnitsModel::Unit::Temperature, false); }
void TFormMyUnits::RadioButtonPmClick() { m_units.setMetric(UnitsModel::Unit::Pressure, true); }
void TFormMyUnits::RadioButtonPiClick() { m_units.setMetric(UnitsModel::Unit::Pressure, false); }
void TFormMyUnits::RadioButtonVkClick() { m_units.setMetric(UnitsModel::Unit::Wind, true); }
void TFormMyUnits::RadioButtonVmClick() { m_units.setMetric(UnitsModel::Unit::Wind, false); }
void TFormMyUnits::RadioButtonRmClick() { m_units.setMetric(UnitsModel::Unit::Rain, true); }
void TFormMyUnits::RadioButtonRiClick() { m_units.setMetric(UnitsModel::Unit::Rain, false); }

} // namespace auravox
