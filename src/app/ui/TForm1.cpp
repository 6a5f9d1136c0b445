#include "app/ui/TForm1.h"

#include "app/ui/Pictures.h"
#include "app/ui/UpDown.h"
#include "common/Clock.h"
#include "platform/UserPrompts.h"
#include "platform/WaveOutput.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace auravox {

namespace {
const QString kWaveFilter = QStringLiteral("Fichiers son *.wav|*.wav");

QTimer *namedTimer(QObject *parent, const char *name, int intervalMs)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(intervalMs);
    return timer;
}

ClipCatalogue makeCatalogue(const QString &folder)
{
    return folder.isEmpty() ? ClipCatalogue() : ClipCatalogue(folder);
}
} // namespace

TForm1::TForm1(const MainWindowDeps &deps, QWidget *parent)
    : QMainWindow(parent), m_clock(*deps.clock), m_prompts(*deps.prompts),
      m_catalogue(makeCatalogue(deps.clipFolder)), m_timerSeconde(namedTimer(this, "TimerSeconde", 500)),
      m_timerSecurite(namedTimer(this, "TimerSecurite", AnnounceMachine::kWatchdogMs)),
      m_timerFinWave(namedTimer(this, "TimerFinWave", 120000)),
      m_player(*deps.waveOutput, m_catalogue, m_clock, m_prompts, *this, this),
      m_machine(*this, m_player, m_clock, *m_timerSecurite)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Auravox"));
    setWindowIcon(QIcon(Pictures::appIcon()));
    setGeometry(4, 101, 343, 456);
    buildControls();
    buildMenus();

    m_timerSecurite->setSingleShot(false);
    connect(m_timerSeconde, &QTimer::timeout, this, &TForm1::TimerSecondeTimer);
    connect(m_timerSecurite, &QTimer::timeout, this, &TForm1::TimerSecuriteTimer);
    connect(m_timerFinWave, &QTimer::timeout, this, &TForm1::TimerFinWaveTimer);
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *root = new QVBoxLayout(central);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(4);

    // Top row: the picture, the clock fields and the PTT indicator.
    auto *top = new QHBoxLayout;
    ImageZorbel = new QLabel(central);
    ImageZorbel->setObjectName(QStringLiteral("ImageZorbel"));
    ImageZorbel->setPixmap(Pictures::station(false));
    ImageZorbel->setToolTip(QStringLiteral("Click for info"));
    ImageZorbelOff = new QLabel(central);
    ImageZorbelOff->setObjectName(QStringLiteral("ImageZorbelOff"));
    ImageZorbelOff->setPixmap(Pictures::station(true));
    ImageZorbelOff->setToolTip(QStringLiteral("Click for info"));
    ImageZorbelOff->hide();
    top->addWidget(ImageZorbel);
    top->addWidget(ImageZorbelOff);

    auto *clockBox = new QVBoxLayout;
    EditDate = new QLineEdit(central);
    EditDate->setObjectName(QStringLiteral("EditDate"));
    EditDate->setReadOnly(true);
    EditTime = new QLineEdit(central);
    EditTime->setObjectName(QStringLiteral("EditTime"));
    EditTime->setReadOnly(true);
    clockBox->addWidget(EditDate);
    clockBox->addWidget(EditTime);
    top->addLayout(clockBox, 1);

    auto *pttBox = new QVBoxLayout;
    ImageLedON = new QLabel(central);
    ImageLedON->setObjectName(QStringLiteral("ImageLedON"));
    ImageLedON->setPixmap(Pictures::led(true));
    ImageLedON->hide();
    ImageLedOFF = new QLabel(central);
    ImageLedOFF->setObjectName(QStringLiteral("ImageLedOFF"));
    ImageLedOFF->setPixmap(Pictures::led(false));
    LabelCOM = new QLabel(QStringLiteral("COM"), central);
    LabelCOM->setObjectName(QStringLiteral("LabelCOM"));
    pttBox->addWidget(ImageLedON, 0, Qt::AlignHCenter);
    pttBox->addWidget(ImageLedOFF, 0, Qt::AlignHCenter);
    pttBox->addWidget(LabelCOM, 0, Qt::AlignHCenter);
    top->addLayout(pttBox);
    root->addLayout(top);

    Button1 = new QPushButton(QStringLiteral("Play the message "), central);
    Button1->setObjectName(QStringLiteral("Button1"));
    root->addWidget(Button1);

    // The announcement contents.
    PanelConfig = new QGroupBox(QStringLiteral("Announcement contents"), central);
    PanelConfig->setObjectName(QStringLiteral("PanelConfig"));
    auto *grid = new QGridLayout(PanelConfig);
    grid->setVerticalSpacing(2);
    auto checkBox = [this](const char *name, const QString &caption, bool checked) {
        auto *box = new QCheckBox(caption, PanelConfig);
        box->setObjectName(QLatin1String(name));
        box->setChecked(checked);
        return box;
    };
    auto browseButton = [this](const char *name) {
        auto *button = new QPushButton(QStringLiteral("..."), PanelConfig);
        button->setObjectName(QLatin1String(name));
        button->setFixedWidth(32);
        return button;
    };
    CheckBoxEntete = checkBox("CheckBoxEntete", QStringLiteral("Header"), false);
    ButtonParcourirEnTete = browseButton("ButtonParcourirEnTete");
    SpinEditPause = new QSpinBox(PanelConfig);
    SpinEditPause->setObjectName(QStringLiteral("SpinEditPause"));
    SpinEditPause->setRange(0, 15);
    auto *pauseLabel = new QLabel(QStringLiteral("Wait for .... sec"), PanelConfig);
    CheckBoxZorbel = checkBox("CheckBoxZorbel", QStringLiteral("Hello"), false);
    ButtonParcourirZorbel = browseButton("ButtonParcourirZorbel");
    CheckBoxDate = checkBox("CheckBoxDate", QStringLiteral("Date (D/M)"), true);
    CheckBoxDateUS = checkBox("CheckBoxDateUS", QStringLiteral("Date (M/D)"), false);
    CheckBoxIlEst = checkBox("CheckBoxIlEst", QStringLiteral("\"Time is\""), true);
    CheckBoxHeure = checkBox("CheckBoxHeure", QStringLiteral("Time"), true);
    CheckBoxFin = checkBox("CheckBoxFin", QStringLiteral("Goodbye"), false);
    ButtonParcourirFin = browseButton("ButtonParcourirFin");

    grid->addWidget(CheckBoxEntete, 0, 0);
    grid->addWidget(ButtonParcourirEnTete, 0, 1);
    grid->addWidget(SpinEditPause, 0, 2);
    grid->addWidget(pauseLabel, 0, 3);
    grid->addWidget(CheckBoxZorbel, 1, 0);
    grid->addWidget(ButtonParcourirZorbel, 1, 1);
    grid->addWidget(CheckBoxDate, 2, 0);
    grid->addWidget(CheckBoxDateUS, 2, 2, 1, 2);
    grid->addWidget(CheckBoxIlEst, 3, 0);
    grid->addWidget(CheckBoxHeure, 3, 2, 1, 2);
    grid->addWidget(CheckBoxFin, 4, 0);
    grid->addWidget(ButtonParcourirFin, 4, 1);

    auto *periodLabel = new QLabel(QStringLiteral("Périodicity :"), PanelConfig);
    Edit1 = new QLineEdit(QStringLiteral("0"), PanelConfig);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Edit1->setFixedWidth(40);
    UpDownPeriode = new UpDown(PanelConfig);
    UpDownPeriode->setObjectName(QStringLiteral("UpDownPeriode"));
    UpDownPeriode->setRange(0, static_cast<int>(Scheduler::kPeriods.size()) - 1);
    auto *periodRow = new QHBoxLayout;
    periodRow->addWidget(periodLabel);
    periodRow->addWidget(Edit1);
    periodRow->addWidget(UpDownPeriode);
    periodRow->addWidget(new QLabel(QStringLiteral("min"), PanelConfig));
    periodRow->addStretch(1);
    grid->addLayout(periodRow, 5, 0, 1, 4);
    root->addWidget(PanelConfig);

    // The status field, and the hidden test controls and line labels.
    EditData = new QLineEdit(central);
    EditData->setObjectName(QStringLiteral("EditData"));
    EditData->setReadOnly(true);
    EditData->setFrame(false);
    QPalette grey = EditData->palette();
    grey.setColor(QPalette::Text, Qt::darkGray);
    grey.setColor(QPalette::Base, palette().color(QPalette::Window));
    EditData->setPalette(grey);
    root->addWidget(EditData);

    ButtonPlayWave = new QPushButton(QStringLiteral("Wave ext"), central);
    ButtonPlayWave->setObjectName(QStringLiteral("ButtonPlayWave"));
    ButtonPlayWaveRes = new QPushButton(QStringLiteral("Wave int"), central);
    ButtonPlayWaveRes->setObjectName(QStringLiteral("ButtonPlayWaveRes"));
    EditSimu = new QLineEdit(QStringLiteral("120"), central);
    EditSimu->setObjectName(QStringLiteral("EditSimu"));
    LabelCTS = new QLabel(QStringLiteral("CTS=On"), central);
    LabelCTS->setObjectName(QStringLiteral("LabelCTS"));
    LabelDSR = new QLabel(QStringLiteral("DSR=On"), central);
    LabelDSR->setObjectName(QStringLiteral("LabelDSR"));
    LabelDCD = new QLabel(QStringLiteral("DCD=On"), central);
    LabelDCD->setObjectName(QStringLiteral("LabelDCD"));
    for (QWidget *hidden : std::initializer_list<QWidget *>{ButtonPlayWave, ButtonPlayWaveRes, EditSimu, LabelCTS,
                                                            LabelDSR, LabelDCD})
        hidden->hide();
    root->addStretch(1);

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ButtonPlayWave, &QPushButton::clicked, this, &TForm1::ButtonPlayWaveClick);
    connect(ButtonPlayWaveRes, &QPushButton::clicked, this, &TForm1::ButtonPlayWaveResClick);
    connect(ButtonParcourirEnTete, &QPushButton::clicked, this, &TForm1::ButtonParcourirEnTeteClick);
    connect(ButtonParcourirZorbel, &QPushButton::clicked, this, &TForm1::ButtonParcourirZorbelClick);
    connect(ButtonParcourirFin, &QPushButton::clicked, this, &TForm1::ButtonParcourirFinClick);
    connect(UpDownPeriode, &UpDown::positionChanged, this, &TForm1::UpDownPeriodeMouseDown);

    // At most one date order; "Time is" needs the time.
    connect(CheckBoxDate, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            CheckBoxDateUS->setChecked(false);
    });
    connect(CheckBoxDateUS, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            CheckBoxDate->setChecked(false);
    });
    connect(CheckBoxIlEst, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            CheckBoxHeure->setChecked(true);
    });
    connect(CheckBoxHeure, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            CheckBoxIlEst->setChecked(false);
    });
}

void TForm1::buildMenus()
{
    menuFichier = menuBar()->addMenu(QStringLiteral("File"));
    menuFichier->setObjectName(QStringLiteral("menuFichier"));
    MenuPlageHoraire = menuFichier->addMenu(QStringLiteral("Time range of announcements"));
    MenuPlageHoraire->setObjectName(QStringLiteral("MenuPlageHoraire"));
    MenuDebutPlageHoraire = MenuPlageHoraire->addMenu(QStringLiteral("Starting hour (00h)"));
    MenuDebutPlageHoraire->setObjectName(QStringLiteral("MenuDebutPlageHoraire"));
    MenuFinPlageHoraire = MenuPlageHoraire->addMenu(QStringLiteral("Ending hour (24h)"));
    MenuFinPlageHoraire->setObjectName(QStringLiteral("MenuFinPlageHoraire"));

    m_startHours = new QActionGroup(this);
    m_endHours = new QActionGroup(this);
    auto addHours = [this](QMenu *menu, QActionGroup *group, QChar prefix, int checkedHour) {
        for (int h = 0; h <= 24; ++h) {
            const QString digits = QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'));
            QAction *item = menu->addAction(digits);
            item->setObjectName(prefix + digits);
            item->setCheckable(true);
            item->setChecked(h == checkedHour);
            group->addAction(item);
        }
    };
    addHours(MenuDebutPlageHoraire, m_startHours, QLatin1Char('D'), 0);
    addHours(MenuFinPlageHoraire, m_endHours, QLatin1Char('F'), 24);
    connect(m_startHours, &QActionGroup::triggered, this, &TForm1::D00Click);
    connect(m_endHours, &QActionGroup::triggered, this, &TForm1::F00Click);

    // Hidden, but its shortcut works: an invisible action takes no shortcut in
    // Qt, so a window shortcut triggers it.
    MenuSimuErreur = menuFichier->addAction(QStringLiteral("Simu Errreur (caché)"));
    MenuSimuErreur->setObjectName(QStringLiteral("MenuSimuErreur"));
    MenuSimuErreur->setVisible(false);
    auto *simuShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E), this);
    simuShortcut->setObjectName(QStringLiteral("MenuSimuErreurShortcut"));
    connect(simuShortcut, &QShortcut::activated, this, &TForm1::MenuSimuErreurClick);
    connect(MenuSimuErreur, &QAction::triggered, this, &TForm1::MenuSimuErreurClick);
}

void TForm1::FormCreate()
{
    // The hour menu table: D00..D24 at 0..24, F00..F24 at 25..49.
    m_hourItems = m_startHours->actions() + m_endHours->actions();
    m_timerSeconde->start();
}

QAction *TForm1::hourMenuItem(int index) const
{
    return index >= 0 && index < m_hourItems.size() ? m_hourItems.at(index) : nullptr;
}

void TForm1::setTransmitter(TransmitterPort *port)
{
    m_port = port ? port : &m_noPort;
    m_machine.setTransmitter(m_port);
}

// ---- the engine's view of the window

MessageChoices TForm1::messageChoices() const
{
    MessageChoices c;
    c.header = CheckBoxEntete->isChecked();
    c.headerPath = m_headerPath;
    c.pauseSeconds = SpinEditPause->value();
    c.hello = CheckBoxZorbel->isChecked();
    c.helloPath = m_helloPath;
    c.date = CheckBoxDate->isChecked();
    c.dateUS = CheckBoxDateUS->isChecked();
    c.timeIs = CheckBoxIlEst->isChecked();
    c.time = CheckBoxHeure->isChecked();
    c.goodbye = CheckBoxFin->isChecked();
    c.goodbyePath = m_goodbyePath;
    return c;
}

void TForm1::showStatus(const QString &text)
{
    EditData->setText(text);
}

void TForm1::setPlayEnabled(bool enabled)
{
    Button1->setEnabled(enabled);
}

void TForm1::setSoundCardOkEnabled(bool)
{
}

// ---- handlers

void TForm1::Button1Click()
{
    m_machine.run();
}

void TForm1::TimerFinWaveTimer()
{
    m_machine.clipEnded();
}

void TForm1::TimerSecuriteTimer()
{
    m_machine.watchdogReset();
}

QString TForm1::timeText(const QDateTime &t)
{
    // The system's long time format, without the time zone Qt adds to it.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return QLatin1Char(' ') + QLocale::system().toString(t.time(), format.trimmed());
}

QString TForm1::dateText(const QDateTime &t)
{
    return QLatin1Char(' ') + QLocale::system().toString(t.date(), QLocale::ShortFormat);
}

void TForm1::showClockFields()
{
    const QDateTime now = m_clock.now();
    EditTime->setText(timeText(now));
    EditDate->setText(dateText(now));
}

void TForm1::TimerSecondeTimer()
{
    if (m_startupPending)
        LoadConfiguration();

    const QDateTime now = m_clock.now();
    EditTime->setText(timeText(now));
    EditDate->setText(dateText(now));
    QCoreApplication::processEvents();
    m_fields = ClockFields::from(now);

    switch (m_scheduler.tick(m_fields, m_machine.busy())) {
    case Scheduler::TickAction::Announce:
        Button1Click();
        break;
    case Scheduler::TickAction::PollLines:
        pollLines();
        break;
    case Scheduler::TickAction::Nothing:
        break;
    }
}

void TForm1::pollLines()
{
    if (m_port->portText() == TransmitterPort::kNoPortText || m_machine.busy())
        return;
    const LinePollResult r =
        auravox::pollLines(m_port->modemStatus(), m_port->startOnCts(), m_port->startOnDsr(), m_machine.lines());
    ImageZorbelOff->setVisible(r.dcdOn);
    ImageZorbel->setVisible(!r.dcdOn);
    LabelDCD->setText(r.dcdCaption);
    if (r.ctsCaption)
        LabelCTS->setText(*r.ctsCaption);
    if (r.dsrCaption)
        LabelDSR->setText(*r.dsrCaption);
    if (r.startAnnouncement)
        Button1Click();
}

void TForm1::LoadConfiguration()
{
    m_timerSeconde->stop();
    show();
    QCoreApplication::processEvents();
    setWindowTitle(QStringLiteral("AURAVOX V") + kVersion);
    m_loadingConfiguration = true;

    showNormal();
    m_player.allocMem();
    UpDownPeriodeMouseDown();
    showClockFields();

    m_startupPending = false;
    m_loadingConfiguration = false;
    m_timerSeconde->setInterval(1000);
    m_timerSeconde->start();
}

void TForm1::UpDownPeriodeMouseDown()
{
    const int position = UpDownPeriode->position();
    Edit1->setText(Scheduler::periodText(position));
    m_scheduler.setPeriodPosition(position);
}

void TForm1::D00Click(QAction *item)
{
    const QString name = item->objectName();
    if (name.size() != 3 || !name.startsWith(QLatin1Char('D')))
        return;
    item->setChecked(true);
    m_scheduler.setStartHour(name.mid(1).toInt());
    MenuDebutPlageHoraire->setTitle(QStringLiteral("Starting hour (") + name.mid(1) + QStringLiteral("h)"));
}

void TForm1::F00Click(QAction *item)
{
    const QString name = item->objectName();
    if (name.size() != 3 || !name.startsWith(QLatin1Char('F')))
        return;
    item->setChecked(true);
    m_scheduler.setEndHour(name.mid(1).toInt());
    MenuFinPlageHoraire->setTitle(QStringLiteral("Ending hour (") + name.mid(1) + QStringLiteral("h)"));
}

void TForm1::MenuSimuErreurClick()
{
    const bool on = !m_machine.errorSimulation();
    m_machine.setErrorSimulation(on);
    showStatus(on ? QStringLiteral("err simu") : QStringLiteral("simu err reset"));
}

QString TForm1::browseWave(const QString &current, const QString &errorText)
{
    const QString chosen = m_prompts.openFileName(kWaveFilter, QStringLiteral("wav"), current);
    if (chosen.isEmpty())
        return current; // cancelled
    QFile trial(chosen);
    if (!trial.open(QIODevice::ReadOnly)) {
        m_prompts.message(errorText);
        return QString();
    }
    return chosen;
}

void TForm1::setHeaderPath(const QString &path)
{
    m_headerPath = path;
    ButtonParcourirEnTete->setToolTip(path);
}

void TForm1::setHelloPath(const QString &path)
{
    m_helloPath = path;
    ButtonParcourirZorbel->setToolTip(path);
}

void TForm1::setGoodbyePath(const QString &path)
{
    m_goodbyePath = path;
    ButtonParcourirFin->setToolTip(path);
}

void TForm1::ButtonParcourirEnTeteClick()
{
    setHeaderPath(browseWave(m_headerPath, QStringLiteral("Err: File name")));
}

void TForm1::ButtonParcourirZorbelClick()
{
    setHelloPath(browseWave(m_helloPath, QStringLiteral("Err: File name")));
}

void TForm1::ButtonParcourirFinClick()
{
    setGoodbyePath(browseWave(m_goodbyePath, QStringLiteral("Err: Wave file name")));
}

void TForm1::ButtonPlayWaveClick()
{
    m_player.playWaveFile(QStringLiteral("kuckoo.wav"));
}

void TForm1::ButtonPlayWaveResClick()
{
    m_player.playWaveResource(QStringLiteral("son0"));
}

} // namespace auravox
