#include "transmitter/ui/TFormCOM.h"

#include "platform/UserPrompts.h"
#include "transmitter/ui/PttKindEditor.h"

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

TFormCOM::TFormCOM(SerialPortControl &control, PortSettings &settings, UserPrompts &prompts, PortIndicators &indicators,
                   QWidget *parent)
    : QWidget(parent, Qt::Window), m_control(control), m_settings(settings), m_prompts(prompts),
      m_indicators(indicators)
{
    setObjectName(QStringLiteral("FormCOM"));
    setWindowTitle(QStringLiteral("COM Port "));
    resize(330, 260);

    auto *outer = new QVBoxLayout(this);
    auto *root = new QHBoxLayout;
    outer->addLayout(root);
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
    m_kindEditor = new PttKindEditor(this);
    outer->addWidget(m_kindEditor);
    connect(m_kindEditor, &PttKindEditor::kindChosen, this,
            [this](PttKind kind) { enableSerialControls(kind == PttKind::Serial); });
    connect(m_kindEditor, &PttKindEditor::useClicked, this, &TFormCOM::usePttClicked);
    connect(&m_settings, &PortSettings::pttChanged, this, &TFormCOM::showPtt);
    connect(&m_settings, &PortSettings::deviceApplied, this, &TFormCOM::deviceApplied);
    showPtt();

    connect(ListBoxCOM, &QListWidget::itemClicked, this, &TFormCOM::ListBoxCOMClick);
    showLines();
    for (QCheckBox *box : {CheckBoxDTR, CheckBoxRTS, CheckBoxDSR, CheckBoxCTS, CheckBoxDCD})
        connect(box, &QCheckBox::toggled, this, &TFormCOM::boxesChanged);
    connect(&m_settings, &PortSettings::changed, this, &TFormCOM::showLines);
    connect(&m_settings, &PortSettings::portRequested, this, &TFormCOM::choosePort);
    connect(ListBoxCOM, &QListWidget::itemSelectionChanged, this, &TFormCOM::noteSavedPort);
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
    m_settings.setLines(lines); // the transmitter follows the model
}

void TFormCOM::showLines()
{
    const Transmitter::Lines &l = m_settings.lines();
    const std::pair<QCheckBox *, bool> boxes[] = {
        {CheckBoxDTR, l.dtr}, {CheckBoxRTS, l.rts}, {CheckBoxDSR, l.dsr}, {CheckBoxCTS, l.cts}, {CheckBoxDCD, l.dcd}};
    for (auto [box, on] : boxes) {
        const QSignalBlocker quiet(box); // the model already has them
        box->setChecked(on);
    }
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
    noteSavedPort();
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
        noteSavedPort();
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

void TFormCOM::noteSavedPort()
{
    if (!m_unavailablePort.isEmpty()) {
        m_settings.setSavedPort(m_unavailablePort.mid(3));
        return;
    }
    const QListWidgetItem *item = ListBoxCOM->currentItem();
    if (!item || !item->isSelected())
        m_settings.setSavedPort(QString());
    else if (ListBoxCOM->row(item) == 0)
        m_settings.setSavedPort(QStringLiteral("0"));
    else
        m_settings.setSavedPort(item->text().mid(3));
}

void TFormCOM::choosePort(const QString &name)
{
    m_unavailablePort.clear();
    if (name == TransmitterPort::kNoPortName) {
        menuComNoneclick();
        noteSavedPort();
        return;
    }
    m_control.setPortName(name);
    OpenChosenPort();
    m_indicators.showPortCaption(m_control.portName() == TransmitterPort::kNoPortName ? QStringLiteral("COM")
                                                                                      : m_control.portName());
    // The list shows the port opened, as a click leaves it, so that the next
    // save keeps it (the selection is what is saved).
    if (const QList<QListWidgetItem *> items = ListBoxCOM->findItems(m_control.portName(), Qt::MatchExactly);
        !items.isEmpty() && m_control.isOpen())
        ListBoxCOM->setCurrentItem(items.first());
    noteSavedPort();
}

void TFormCOM::showPtt()
{
    m_kindEditor->showSettings(m_settings.ptt());
    enableSerialControls(m_settings.ptt().kind == PttKind::Serial);
}

void TFormCOM::enableSerialControls(bool on)
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{ListBoxCOM, CheckBoxDTR, CheckBoxRTS, CheckBoxDSR, CheckBoxCTS, CheckBoxDCD})
        w->setEnabled(on);
}

void TFormCOM::usePttClicked()
{
    QStringList problems;
    const PttSettings edited = m_kindEditor->edited(&problems);
    if (problems.isEmpty())
        problems = m_settings.setPtt(edited);
    if (!problems.isEmpty()) {
        m_kindEditor->showOutcome(problems.join(QLatin1Char(' ')), true);
        return;
    }
    m_settings.applyAgain(); // the same settings: the device is opened again
}

void TFormCOM::deviceApplied(const QString &error)
{
    const PttKind kind = m_settings.ptt().kind;
    if (kind == PttKind::Serial) {
        m_kindEditor->showOutcome(error, !error.isEmpty());
        if (m_control.isOpen())
            portOpened();
        else
            menuComNoneclick();
        m_indicators.showPortCaption(m_control.portName() == TransmitterPort::kNoPortName ? QStringLiteral("COM")
                                                                                          : m_control.portName());
        return;
    }
    if (!error.isEmpty()) {
        m_kindEditor->showOutcome(error, true);
        m_indicators.showPortCaption(QStringLiteral("COM"));
        m_indicators.showNoPort();
        if (m_loading)
            m_indicators.showPortError(QStringLiteral("COM port error"));
        return;
    }
    m_kindEditor->showOutcome(QStringLiteral("Open: ") + transmitter().where(), false);
    m_indicators.showPortCaption(pttKindName(kind));
    m_indicators.showDcd(transmitter().modemStatus().dcd);
}

} // namespace auravox
