#include "transmitter/ui/PttKindEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace auravox {

namespace {
template <typename W> W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

// -1 shows as "none".
QSpinBox *lineSpin(QWidget *parent, const char *name, int max)
{
    auto *s = named(new QSpinBox(parent), name);
    s->setRange(-1, max);
    s->setSpecialValueText(QStringLiteral("none"));
    return s;
}

// The fob's input bits, "none" first (item i is bit i - 1).
QComboBox *bitBox(QWidget *parent, const char *name)
{
    auto *c = named(new QComboBox(parent), name);
    c->addItems({QStringLiteral("none"), QStringLiteral("bit 0 (volume up)"), QStringLiteral("bit 1 (volume down)"),
                 QStringLiteral("bit 2 (playback mute)"), QStringLiteral("bit 3 (record mute)"),
                 QStringLiteral("bit 4"), QStringLiteral("bit 5"), QStringLiteral("bit 6"), QStringLiteral("bit 7")});
    return c;
}

QString usbId(quint16 vendor, quint16 product)
{
    return QStringLiteral("%1:%2").arg(vendor, 4, 16, QLatin1Char('0')).arg(product, 4, 16, QLatin1Char('0'));
}
} // namespace

PttKindEditor::PttKindEditor(QWidget *parent) : QWidget(parent)
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    auto *top = new QFormLayout;
    ComboBoxPttKind = named(new QComboBox(this), "ComboBoxPttKind");
    ComboBoxPttKind->addItems({QStringLiteral("Serial port (DTR/RTS)"), QStringLiteral("CM108/CM119 sound fob"),
                               QStringLiteral("GPIO line"), QStringLiteral("Rig (Hamlib)")});
    top->addRow(QStringLiteral("Transmitter port"), ComboBoxPttKind);
    root->addLayout(top);
    m_pages = new QStackedWidget(this);
    m_pages->addWidget(new QWidget(m_pages)); // the serial port: the list and boxes above
    m_pages->addWidget(cm108Page());
    m_pages->addWidget(gpioPage());
    m_pages->addWidget(rigPage());
    root->addWidget(m_pages);
    ButtonPttUse = named(new QPushButton(QStringLiteral("Use these settings"), this), "ButtonPttUse");
    root->addWidget(ButtonPttUse);
    LabelPttOutcome = named(new QLabel(this), "LabelPttOutcome");
    LabelPttOutcome->setWordWrap(true);
    root->addWidget(LabelPttOutcome);

    connect(ComboBoxPttKind, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_pages->setCurrentIndex(index);
        emit kindChosen(static_cast<PttKind>(index));
    });
    connect(ButtonPttUse, &QPushButton::clicked, this, &PttKindEditor::useClicked);
}

QWidget *PttKindEditor::cm108Page()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    EditCm108Device = named(new QLineEdit(page), "EditCm108Device");
    EditCm108Device->setPlaceholderText(QStringLiteral("found by its USB ID"));
    EditCm108Id = named(new QLineEdit(page), "EditCm108Id");
    SpinCm108Gpio = named(new QSpinBox(page), "SpinCm108Gpio");
    SpinCm108Gpio->setRange(1, 8);
    SpinCm108Gpio->setPrefix(QStringLiteral("GPIO"));
    ComboCm108Inhibit = bitBox(page, "ComboCm108Inhibit");
    ComboCm108Start = bitBox(page, "ComboCm108Start");
    form->addRow(QStringLiteral("hidraw device"), EditCm108Device);
    form->addRow(QStringLiteral("USB ID (vendor:product)"), EditCm108Id);
    form->addRow(QStringLiteral("PTT"), SpinCm108Gpio);
    form->addRow(QStringLiteral("Inhibit (COS)"), ComboCm108Inhibit);
    form->addRow(QStringLiteral("Play message"), ComboCm108Start);
    return page;
}

QWidget *PttKindEditor::gpioPage()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    EditGpioChip = named(new QLineEdit(page), "EditGpioChip");
    SpinGpioPtt = lineSpin(page, "SpinGpioPtt", 1023);
    CheckGpioPttLow = named(new QCheckBox(QStringLiteral("PTT active low"), page), "CheckGpioPttLow");
    SpinGpioStart = lineSpin(page, "SpinGpioStart", 1023);
    SpinGpioInhibit = lineSpin(page, "SpinGpioInhibit", 1023);
    CheckGpioInputLow = named(new QCheckBox(QStringLiteral("Inputs active low"), page), "CheckGpioInputLow");
    form->addRow(QStringLiteral("Chip"), EditGpioChip);
    form->addRow(QStringLiteral("PTT line"), SpinGpioPtt);
    form->addRow(QString(), CheckGpioPttLow);
    form->addRow(QStringLiteral("Play message line"), SpinGpioStart);
    form->addRow(QStringLiteral("Inhibit line"), SpinGpioInhibit);
    form->addRow(QString(), CheckGpioInputLow);
    return page;
}

QWidget *PttKindEditor::rigPage()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    SpinRigModel = named(new QSpinBox(page), "SpinRigModel");
    SpinRigModel->setRange(1, 999999);
    EditRigPort = named(new QLineEdit(page), "EditRigPort");
    SpinRigBaud = named(new QSpinBox(page), "SpinRigBaud");
    SpinRigBaud->setRange(0, 4000000);
    SpinRigBaud->setSpecialValueText(QStringLiteral("the rig's own"));
    CheckRigDcd = named(new QCheckBox(QStringLiteral("Squelch open (DCD) inhibits"), page), "CheckRigDcd");
    SpinRigTimeout = named(new QSpinBox(page), "SpinRigTimeout");
    SpinRigTimeout->setRange(50, 10000);
    SpinRigTimeout->setSuffix(QStringLiteral(" ms"));
    form->addRow(QStringLiteral("Hamlib model (2: rigctld)"), SpinRigModel);
    form->addRow(QStringLiteral("Device or host:port"), EditRigPort);
    form->addRow(QStringLiteral("Speed"), SpinRigBaud);
    form->addRow(QString(), CheckRigDcd);
    form->addRow(QStringLiteral("Answer within"), SpinRigTimeout);
    return page;
}

void PttKindEditor::showSettings(const PttSettings &p)
{
    const QSignalBlocker quiet(ComboBoxPttKind);
    ComboBoxPttKind->setCurrentIndex(static_cast<int>(p.kind));
    m_pages->setCurrentIndex(static_cast<int>(p.kind));
    EditCm108Device->setText(p.cm108.device);
    EditCm108Id->setText(usbId(p.cm108.vendorId, p.cm108.productId));
    SpinCm108Gpio->setValue(p.cm108.pttGpio);
    ComboCm108Inhibit->setCurrentIndex(p.cm108.inhibitBit + 1);
    ComboCm108Start->setCurrentIndex(p.cm108.startBit + 1);
    EditGpioChip->setText(p.gpio.chip);
    SpinGpioPtt->setValue(p.gpio.pttLine);
    CheckGpioPttLow->setChecked(p.gpio.pttActiveLow);
    SpinGpioStart->setValue(p.gpio.startLine);
    SpinGpioInhibit->setValue(p.gpio.inhibitLine);
    CheckGpioInputLow->setChecked(p.gpio.inputsActiveLow);
    SpinRigModel->setValue(p.rig.model);
    EditRigPort->setText(p.rig.port);
    SpinRigBaud->setValue(p.rig.baud);
    CheckRigDcd->setChecked(p.rig.inhibitOnDcd);
    SpinRigTimeout->setValue(p.rig.timeoutMs);
}

PttSettings PttKindEditor::edited(QStringList *problems) const
{
    PttSettings p;
    p.kind = static_cast<PttKind>(ComboBoxPttKind->currentIndex());
    p.cm108.device = EditCm108Device->text().trimmed();
    const QStringList id = EditCm108Id->text().trimmed().split(QLatin1Char(':'));
    bool ok1 = false, ok2 = false;
    const uint vendor = id.size() == 2 ? id[0].toUInt(&ok1, 16) : 0;
    const uint product = id.size() == 2 ? id[1].toUInt(&ok2, 16) : 0;
    if (ok1 && ok2 && vendor <= 0xffff && product <= 0xffff) {
        p.cm108.vendorId = static_cast<quint16>(vendor);
        p.cm108.productId = static_cast<quint16>(product);
    } else if (p.kind == PttKind::Cm108) {
        *problems << QStringLiteral("The fob's USB ID must be two hex numbers, vendor:product (0d8c:013c).");
    }
    p.cm108.pttGpio = SpinCm108Gpio->value();
    p.cm108.inhibitBit = ComboCm108Inhibit->currentIndex() - 1;
    p.cm108.startBit = ComboCm108Start->currentIndex() - 1;
    p.gpio.chip = EditGpioChip->text().trimmed();
    p.gpio.pttLine = SpinGpioPtt->value();
    p.gpio.pttActiveLow = CheckGpioPttLow->isChecked();
    p.gpio.startLine = SpinGpioStart->value();
    p.gpio.inhibitLine = SpinGpioInhibit->value();
    p.gpio.inputsActiveLow = CheckGpioInputLow->isChecked();
    p.rig.model = SpinRigModel->value();
    p.rig.port = EditRigPort->text().trimmed();
    p.rig.baud = SpinRigBaud->value();
    p.rig.inhibitOnDcd = CheckRigDcd->isChecked();
    p.rig.timeoutMs = SpinRigTimeout->value();
    return p;
}

void PttKindEditor::showOutcome(const QString &text, bool failed)
{
    LabelPttOutcome->setText(text);
    LabelPttOutcome->setStyleSheet(failed ? QStringLiteral("color: red") : QString());
}

} // namespace auravox
