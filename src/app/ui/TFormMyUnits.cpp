#include "app/ui/TFormMyUnits.h"

#include "common/ConfigRegistry.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace auravox {

TFormMyUnits::TFormMyUnits(UnitSettings &units, QWidget *parent)
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
    if (m_refresh)
        m_refresh();
}

void TFormMyUnits::RadioButtonTcClick() { m_units.setCelsius(true); changed(); }
void TFormMyUnits::RadioButtonTfClick() { m_units.setCelsius(false); changed(); }
void TFormMyUnits::RadioButtonPmClick() { m_units.setMillibars(true); changed(); }
void TFormMyUnits::RadioButtonPiClick() { m_units.setMillibars(false); changed(); }
void TFormMyUnits::RadioButtonVkClick() { m_units.setKmh(true); changed(); }
void TFormMyUnits::RadioButtonVmClick() { m_units.setKmh(false); changed(); }
void TFormMyUnits::RadioButtonRmClick() { m_units.setMillimetres(true); changed(); }
void TFormMyUnits::RadioButtonRiClick() { m_units.setMillimetres(false); changed(); }

void TFormMyUnits::declareConfig(ConfigRegistry &registry)
{
    int position = 10;
    for (auto [name, metric, other] : {std::tuple{"UNITTC=", RadioButtonTc, RadioButtonTf},
                                       std::tuple{"UNITPM=", RadioButtonPm, RadioButtonPi},
                                       std::tuple{"UNITVK=", RadioButtonVk, RadioButtonVm},
                                       std::tuple{"UNITRM=", RadioButtonRm, RadioButtonRi}}) {
        ConfigKey k;
        k.section = ConfigSection::Units;
        k.position = position;
        position += 10;
        k.key = QLatin1String(name);
        const QString key = k.key;
        QRadioButton *m = metric;
        QRadioButton *o = other;
        k.save = [key, m]() { return QStringList{key + (m->isChecked() ? QLatin1Char('Y') : QLatin1Char('N'))}; };
        k.load = [m, o](const QString &, const QString &value) {
            (value == QLatin1String("Y") ? m : o)->setChecked(true);
        };
        registry.add(k);
    }
}

} // namespace auravox
