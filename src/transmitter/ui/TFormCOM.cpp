#include "transmitter/ui/TFormCOM.h"

#include "common/ConfigRegistry.h"
#include "platform/UserPrompts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace auravox {

namespace {
constexpr int kDeviceRole = Qt::UserRole + 1;

// Draws each port's device path, greyed, beside its name.
class PortDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString device = index.data(kDeviceRole).toString();
        if (device.isEmpty())
            return;
        painter->save();
        painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
        painter->drawText(option.rect.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, device);
        painter->restore();
    }
};
} // namespace

TFormCOM::TFormCOM(SerialPortControl &control, UserPrompts &prompts, PortIndicators &indicators, QWidget *parent)
    : QWidget(parent, Qt::Window), m_control(control), m_prompts(prompts), m_indicators(indicators)
{
    setObjectName(QStringLiteral("FormCOM"));
    setWindowTitle(QStringLiteral("COM Port "));
    resize(330, 260);

    auto *root = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Choose COM port and operating signals"), this));
    ListBoxCOM = new QListWidget(this);
    ListBoxCOM->setObjectName(QStringLiteral("ListBoxCOM"));
    ListBoxCOM->setItemDelegate(new PortDelegate(ListBoxCOM));
    left->addWidget(ListBoxCOM);
    root->addLayout(left, 1);

    auto *right = new QVBoxLayout;
    auto group = [&](const QString &caption, std::initializer_list<QCheckBox *> boxes) {
        auto *box = new QGroupBox(caption, this);
        auto *layout = new QVBoxLayout(box);
        for (QCheckBox *b : boxes)
            layout->addWidget(b);
        right->addWidget(box);
    };
    CheckBoxDTR = lineBox("CheckBoxDTR", QStringLiteral("DTR (pin 4)"));
    CheckBoxRTS = lineBox("CheckBoxRTS", QStringLiteral("RTS (pin 7)"));
    CheckBoxDSR = lineBox("CheckBoxDSR", QStringLiteral("DSR (pin 6)"));
    CheckBoxCTS = lineBox("CheckBoxCTS", QStringLiteral("CTS (pin 8)"));
    CheckBoxDCD = lineBox("CheckBoxDCD", QStringLiteral("DCD (pin 1)"));
    group(QStringLiteral("PTT command (high)"), {CheckBoxDTR, CheckBoxRTS});
    group(QStringLiteral("Play message (->+)"), {CheckBoxDSR, CheckBoxCTS});
    group(QStringLiteral("Inhibit message (->+)"), {CheckBoxDCD});
    right->addStretch(1);
    root->addLayout(right);
    LabelConsole = new QLabel(this);
    LabelConsole->setObjectName(QStringLiteral("LabelConsole"));
    LabelConsole->setWordWrap(true);
    LabelConsole->setStyleSheet(QStringLiteral("color: red"));
    LabelConsole->hide();
    left->addWidget(LabelConsole);

    connect(ListBoxCOM, &QListWidget::itemClicked, this, &TFormCOM::ListBoxCOMClick);
    for (QCheckBox *box : {CheckBoxDTR, CheckBoxRTS, CheckBoxDSR, CheckBoxCTS, CheckBoxDCD})
        connect(box, &QCheckBox::toggled, this, &TFormCOM::boxesChanged);
    boxesChanged();
    transmitter().setLed([this](bool on) { m_indicators.showLed(on); });
}

TFormCOM::~TFormCOM()
{
    // The transmitter outlives this window.
    transmitter().setLed({});
}

void TFormCOM::boxesChanged()
{
    Transmitter::Lines lines;
    lines.dtr = CheckBoxDTR->isChecked();
    lines.rts = CheckBoxRTS->isChecked();
    lines.dsr = CheckBoxDSR->isChecked();
    lines.cts = CheckBoxCTS->isChecked();
    lines.dcd = CheckBoxDCD->isChecked();
    transmitter().setLines(lines);
}

QCheckBox *TFormCOM::lineBox(const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, this);
    box->setObjectName(QLatin1String(name));
    box->setChecked(true);
    return box;
}

void TFormCOM::showEvent(QShowEvent *event)
{
    FormShow();
    QWidget::showEvent(event);
}

void TFormCOM::FormShow()
{
    if (ListBoxCOM->count() == 0) {
        for (const QString &name : m_control.portList()) {
            auto *item = new QListWidgetItem(name, ListBoxCOM);
            item->setData(kDeviceRole, m_control.devicePath(name));
        }
    }
    const QList<QListWidgetItem *> current = ListBoxCOM->findItems(m_control.portName(), Qt::MatchExactly);
    if (!current.isEmpty())
        ListBoxCOM->setCurrentItem(current.first());
}

void TFormCOM::ListBoxCOMClick(QListWidgetItem *item)
{
    if (!item)
        return;
    m_unavailablePort.clear();
    if (item->text() == TransmitterPort::kNoPortName) {
        menuComNoneclick();
        return;
    }
    m_control.setPortName(item->text());
    OpenChosenPort();
    m_indicators.showPortCaption(m_control.portName() == TransmitterPort::kNoPortName ? QStringLiteral("COM")
                                                                                       : m_control.portName());
}

void TFormCOM::OpenChosenPort()
{
    if (m_control.openChosenPort()) {
        portOpened();
        return;
    }
    if (m_loading) {
        m_unavailablePort = m_control.portName();
        m_indicators.showPortError(QStringLiteral("COM port error"));
    } else {
        m_prompts.message(QStringLiteral("COM port error"));
    }
    menuComNoneclick();
}

void TFormCOM::portOpened()
{
    // The input lines are read now, so that the first announcement after the
    // open (the schedule's, at start) already respects DCD.
    m_indicators.showDcd(transmitter().modemStatus().dcd);
    const bool console = transmitter().isKernelConsole();
    LabelConsole->setText(console ? QStringLiteral("%1 is the kernel console: the kernel leaves DTR and RTS up "
                                                   "when the program stops, so a crash during an announcement "
                                                   "leaves the transmitter keyed.")
                                        .arg(transmitter().devicePath())
                                  : QString());
    LabelConsole->setVisible(console);
}

void TFormCOM::menuComNoneclick()
{
    m_control.chooseNoPort();
    LabelConsole->clear();
    LabelConsole->hide();
    ListBoxCOM->clearSelection();
    ListBoxCOM->setCurrentItem(nullptr);
    m_indicators.showPortCaption(QStringLiteral("COM"));
    m_indicators.showNoPort();
}

void TFormCOM::declareConfig(ConfigRegistry &registry)
{
    ConfigKey com;
    com.section = ConfigSection::Serial;
    com.position = 10;
    com.key = QStringLiteral("COM=");
    com.save = [this]() -> QStringList {
        if (!m_unavailablePort.isEmpty())
            return {QStringLiteral("COM=") + m_unavailablePort.mid(3)};
        const QListWidgetItem *item = ListBoxCOM->currentItem();
        if (!item || !item->isSelected())
            return {};
        if (ListBoxCOM->row(item) == 0)
            return {QStringLiteral("COM=0")};
        const QString text = item->text();
        return {text.left(3) + QLatin1Char('=') + text.mid(3)};
    };
    com.load = [this](const QString &, const QString &value) {
        if (value == QLatin1String("0")) {
            m_unavailablePort.clear();
            menuComNoneclick();
            return;
        }
        m_unavailablePort.clear();
        m_control.setPortName(QStringLiteral("COM") + value);
        OpenChosenPort();
        m_indicators.showPortCaption(m_control.portName() == TransmitterPort::kNoPortName ? QStringLiteral("COM")
                                                                         : m_control.portName());
    };
    registry.add(com);

    int position = 20;
    for (auto [key, box] : {std::pair{"DTR=", CheckBoxDTR}, std::pair{"RTS=", CheckBoxRTS},
                            std::pair{"DSR=", CheckBoxDSR}, std::pair{"CTS=", CheckBoxCTS},
                            std::pair{"DCD=", CheckBoxDCD}}) {
        ConfigKey k;
        k.section = ConfigSection::Serial;
        k.position = position;
        position += 10;
        k.key = QLatin1String(key);
        QCheckBox *b = box;
        const QString name = k.key;
        k.save = [b, name]() -> QStringList { return b->isChecked() ? QStringList() : QStringList{name + '0'}; };
        k.load = [b](const QString &, const QString &value) {
            if (value == QLatin1String("0"))
                b->setChecked(false);
        };
        registry.add(k);
    }
}

} // namespace auravox
