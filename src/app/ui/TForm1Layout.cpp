#include "app/ui/TForm1.h"

#include "app/ui/UpDown.h"
#include "app/ui/WeatherButton.h"
#include "common/ui/Pictures.h"
#include "engine/LogBook.h"
#include "engine/VolumeControl.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

// The controls, menus and tray icon of the main window.

namespace auravox {

void TForm1::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *root = new QVBoxLayout(central);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(4);
    buildClockRow(central, root);
    buildMessagePanel(central);
    buildSoundPanels(central, root);
    buildStartAndStatus(central, root);
    root->addStretch(1);

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ButtonPlayWave, &QPushButton::clicked, this, &TForm1::ButtonPlayWaveClick);
    connect(ButtonPlayWaveRes, &QPushButton::clicked, this, &TForm1::ButtonPlayWaveResClick);
    connect(ButtonParcourirEnTete, &QPushButton::clicked, this, &TForm1::ButtonParcourirEnTeteClick);
    connect(ButtonParcourirZorbel, &QPushButton::clicked, this, &TForm1::ButtonParcourirZorbelClick);
    connect(ButtonParcourirFin, &QPushButton::clicked, this, &TForm1::ButtonParcourirFinClick);
    connect(UpDownPeriode, &UpDown::positionChanged, this, &TForm1::UpDownPeriodeMouseDown);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(CheckBoxReduire, &QCheckBox::toggled, this, &TForm1::CheckBoxReduireClick);
    connect(CheckBoxDemarrage, &QCheckBox::toggled, this, &TForm1::CheckBoxDemarrageClick);
    connect(ButtonInitMeteo, &WeatherButton::mouseReleased, this, &TForm1::ButtonInitMeteoMouseUp);
    connect(ButtonInitMeteo, &QToolButton::clicked, this, &TForm1::ButtonInitMeteoClick);
    ImageZorbel->installEventFilter(this);
    ImageZorbelOff->installEventFilter(this);
    // The rules between the boxes (one date order, "Time is" needs the time)
    // are the model's: bindModels.
}

// The picture, the clock fields, the PTT indicator and "Play the message ".
void TForm1::buildClockRow(QWidget *central, QVBoxLayout *root)
{
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
}

// The announcement contents.
void TForm1::buildMessagePanel(QWidget *central)
{
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
}

// Beside the announcement contents, the volume; below them, the sound card choice and the voice folder.
void TForm1::buildSoundPanels(QWidget *central, QVBoxLayout *root)
{
    auto *middle = new QHBoxLayout;
    middle->addWidget(PanelConfig, 1);
    Panel1 = new QGroupBox(QStringLiteral("Volume"), central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *volumeBox = new QHBoxLayout(Panel1);
    TrackBarVolume = new QSlider(Qt::Vertical, Panel1);
    TrackBarVolume->setObjectName(QStringLiteral("TrackBarVolume"));
    TrackBarVolume->setRange(0, Volume::kPositions);
    TrackBarVolume->setInvertedAppearance(true); // 0, the loudest, at the top
    TrackBarVolume->setTickPosition(QSlider::TicksLeft);
    TrackBarVolume->setValue(Volume::kDefaultPosition);
    Gauge1 = new QProgressBar(Panel1);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setOrientation(Qt::Vertical);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(70);
    Gauge1->setTextVisible(false);
    Gauge1->setStyleSheet(
        QStringLiteral("QProgressBar { background: #d00000; } QProgressBar::chunk { background: #00b000; }"));
    Gauge1->setFixedWidth(10);
    volumeBox->addWidget(TrackBarVolume);
    volumeBox->addWidget(Gauge1);
    volumeBox->addStretch(1);
    Panel1->installEventFilter(this);
    middle->addWidget(Panel1);
    root->addLayout(middle);

    PanelCarteSon = new QGroupBox(QStringLiteral("SOUND CARD CHOICE"), central);
    PanelCarteSon->setObjectName(QStringLiteral("PanelCarteSon"));
    auto *cardBox = new QVBoxLayout(PanelCarteSon);
    RadioButtonCarteWin = new QRadioButton(QStringLiteral("Let the system choose the sound card"), PanelCarteSon);
    RadioButtonCarteWin->setObjectName(QStringLiteral("RadioButtonCarteWin"));
    RadioButtonCarteWin->setChecked(true);
    RadioButtonCarteMoi = new QRadioButton(QStringLiteral("I choose my sound card"), PanelCarteSon);
    RadioButtonCarteMoi->setObjectName(QStringLiteral("RadioButtonCarteMoi"));
    ComboBoxChoixOut = new QComboBox(PanelCarteSon);
    ComboBoxChoixOut->setObjectName(QStringLiteral("ComboBoxChoixOut"));
    ComboBoxChoixOut->setEditable(true); // its text can say what went wrong
    ComboBoxChoixOut->lineEdit()->setReadOnly(true);
    BitBtnOKCarteSon = new QPushButton(QStringLiteral("OK"), PanelCarteSon);
    BitBtnOKCarteSon->setObjectName(QStringLiteral("BitBtnOKCarteSon"));
    cardBox->addWidget(RadioButtonCarteWin);
    cardBox->addWidget(RadioButtonCarteMoi);
    cardBox->addWidget(new QLabel(QStringLiteral("Playback outputs"), PanelCarteSon));
    cardBox->addWidget(ComboBoxChoixOut);
    auto *voiceRow = new QHBoxLayout;
    EditVoix = new QLineEdit(PanelCarteSon);
    EditVoix->setObjectName(QStringLiteral("EditVoix"));
    EditVoix->setReadOnly(true);
    EditVoix->setPlaceholderText(QStringLiteral("Built-in voice"));
    ButtonParcourirVoix = new QPushButton(QStringLiteral("Browse..."), PanelCarteSon);
    ButtonParcourirVoix->setObjectName(QStringLiteral("ButtonParcourirVoix"));
    ButtonVoixInterne = new QPushButton(QStringLiteral("Built-in"), PanelCarteSon);
    ButtonVoixInterne->setObjectName(QStringLiteral("ButtonVoixInterne"));
    voiceRow->addWidget(EditVoix, 1);
    voiceRow->addWidget(ButtonParcourirVoix);
    voiceRow->addWidget(ButtonVoixInterne);
    cardBox->addWidget(new QLabel(QStringLiteral("Voice folder"), PanelCarteSon));
    cardBox->addLayout(voiceRow);
    cardBox->addWidget(BitBtnOKCarteSon, 0, Qt::AlignRight);
    PanelCarteSon->hide();
    root->addWidget(PanelCarteSon);
    connect(BitBtnOKCarteSon, &QPushButton::clicked, this, &TForm1::BitBtnOKCarteSonClick);
    connect(ButtonParcourirVoix, &QPushButton::clicked, this, &TForm1::ButtonParcourirVoixClick);
    connect(ButtonVoixInterne, &QPushButton::clicked, this, &TForm1::ButtonVoixInterneClick);
    connect(TrackBarVolume, &QSlider::valueChanged, this, &TForm1::TrackBarVolumeChange);
}

// The weather button, the start-up choices, the status field, and the hidden test controls and line labels.
void TForm1::buildStartAndStatus(QWidget *central, QVBoxLayout *root)
{
    auto *startRow = new QHBoxLayout;
    ButtonInitMeteo = new WeatherButton(central);
    ButtonInitMeteo->setObjectName(QStringLiteral("ButtonInitMeteo"));
    ButtonInitMeteo->setToolTip(QStringLiteral("See weather data"));
    ButtonInitMeteo->setIcon(QIcon(Pictures::weather()));
    ButtonInitMeteo->setIconSize(QSize(40, 40));
    ButtonInitMeteo->setAutoRaise(true);
    startRow->addWidget(ButtonInitMeteo);
    auto *startBoxes = new QVBoxLayout;
    CheckBoxDemarrage = new QCheckBox(QStringLiteral("Run Auravox when I log in"), central);
    CheckBoxDemarrage->setObjectName(QStringLiteral("CheckBoxDemarrage"));
    CheckBoxReduire = new QCheckBox(QStringLiteral("Minimize when starting Auravox"), central);
    CheckBoxReduire->setObjectName(QStringLiteral("CheckBoxReduire"));
    CheckBoxInfoVersion = new QCheckBox(QStringLiteral("Check for new release when starting"), central);
    CheckBoxInfoVersion->setObjectName(QStringLiteral("CheckBoxInfoVersion"));
    startBoxes->addWidget(CheckBoxDemarrage);
    startBoxes->addWidget(CheckBoxReduire);
    startBoxes->addWidget(CheckBoxInfoVersion);
    startRow->addLayout(startBoxes, 1);
    root->addLayout(startRow);

    // The status field, and the hidden test controls and line labels.
    EditData = new QLineEdit(central);
    EditData->setObjectName(QStringLiteral("EditData"));
    EditData->setReadOnly(true);
    EditData->setFrame(false);
    QPalette grey = EditData->palette();
    grey.setColor(QPalette::Text, Qt::darkGray);
    grey.setColor(QPalette::Base, palette().color(QPalette::Window));
    EditData->setPalette(grey);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(EditData, 1);
    Button2 = new QPushButton(QStringLiteral("-"), central);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setToolTip(QStringLiteral("Minimize"));
    Button2->setFixedWidth(28);
    statusRow->addWidget(Button2);
    root->addLayout(statusRow);
    StaticTextW = new QLabel(central);
    StaticTextW->setObjectName(QStringLiteral("StaticTextW"));
    StaticTextW->setFrameShape(QFrame::Panel);
    StaticTextW->setFrameShadow(QFrame::Sunken);
    root->addWidget(StaticTextW);

    MemoFileInit = new QPlainTextEdit(central);
    MemoFileInit->setObjectName(QStringLiteral("MemoFileInit"));
    MemoLog = new QPlainTextEdit(central);
    MemoLog->setObjectName(QStringLiteral("MemoLog"));
    showLog(log().lines());
    ListBoxPort = new QListWidget(central);
    ListBoxPort->setObjectName(QStringLiteral("ListBoxPort"));

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
                                                            LabelDSR, LabelDCD, MemoFileInit, MemoLog, ListBoxPort})
        hidden->hide();
}

void TForm1::buildMenus()
{
    auto item = [this](QMenu *menu, const char *name, const QString &caption) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    auto radioGroup = [this](std::initializer_list<QAction *> actions) {
        auto *group = new QActionGroup(this);
        for (QAction *a : actions) {
            a->setCheckable(true);
            group->addAction(a);
        }
        return group;
    };

    menuFichier = menuBar()->addMenu(QStringLiteral("File"));
    menuFichier->setObjectName(QStringLiteral("menuFichier"));
    MenuAnnonceMeteo = menuFichier->addMenu(QStringLiteral("Announcement of weather data"));
    MenuAnnonceMeteo->setObjectName(QStringLiteral("MenuAnnonceMeteo"));
    MenuAnnonceToujours = item(MenuAnnonceMeteo, "MenuAnnonceToujours", QStringLiteral("Always announce"));
    MenuAnnonce1h = item(MenuAnnonceMeteo, "MenuAnnonce1h", QStringLiteral("Ignore if more than one hour timestamped"));
    MenuAnnonce2h = item(MenuAnnonceMeteo, "MenuAnnonce2h", QStringLiteral("Ignore if more than 2 hours timestamped"));
    MenuAnnonce3h = item(MenuAnnonceMeteo, "MenuAnnonce3h", QStringLiteral("Ignore if more than 3 hours timestamped"));
    radioGroup({MenuAnnonceToujours, MenuAnnonce1h, MenuAnnonce2h, MenuAnnonce3h});
    MenuAnnonceToujours->setChecked(true);

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
            QAction *hour = menu->addAction(digits);
            hour->setObjectName(prefix + digits);
            hour->setCheckable(true);
            hour->setChecked(h == checkedHour);
            group->addAction(hour);
        }
    };
    addHours(MenuDebutPlageHoraire, m_startHours, QLatin1Char('D'), 0);
    addHours(MenuFinPlageHoraire, m_endHours, QLatin1Char('F'), 24);
    connect(m_startHours, &QActionGroup::triggered, this, &TForm1::D00Click);
    connect(m_endHours, &QActionGroup::triggered, this, &TForm1::F00Click);

    MenuRecord = item(menuFichier, "MenuRecord", QStringLiteral("Run recorder when playing"));
    MenuRecord->setCheckable(true);
    // The click decides the new state itself.
    connect(MenuRecord, &QAction::triggered, this, [this] {
        MenuRecord->setChecked(!MenuRecord->isChecked());
        MenuRecordClick();
    });
    MenuRoseVents = menuFichier->addMenu(QStringLiteral("Compass card"));
    MenuRoseVents->setObjectName(QStringLiteral("MenuRoseVents"));
    menu8secteurs = item(MenuRoseVents, "menu8secteurs", QStringLiteral("8 directions"));
    Menu16secteurs = item(MenuRoseVents, "Menu16secteurs", QStringLiteral("16 directions"));
    radioGroup({menu8secteurs, Menu16secteurs});
    menu8secteurs->setChecked(true);
    MenuUnits = item(menuFichier, "MenuUnits", QStringLiteral("My units"));
    menuSaveConfig = item(menuFichier, "menuSaveConfig", QStringLiteral("Save configuration"));
    MenuQuitter = item(menuFichier, "MenuQuitter", QStringLiteral("Quit"));

    // Hidden, but its shortcut works: an invisible action takes no shortcut in
    // Qt, so a window shortcut triggers it.
    MenuSimuErreur = item(menuFichier, "MenuSimuErreur", QStringLiteral("Simu Errreur (caché)"));
    MenuSimuErreur->setVisible(false);
    auto *simuShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E), this);
    simuShortcut->setObjectName(QStringLiteral("MenuSimuErreurShortcut"));
    connect(simuShortcut, &QShortcut::activated, this, &TForm1::MenuSimuErreurClick);
    connect(MenuSimuErreur, &QAction::triggered, this, &TForm1::MenuSimuErreurClick);

    auto topItem = [this](const char *name, const QString &caption) {
        QAction *a = menuBar()->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    MenuChoix = topItem("MenuChoix", QStringLiteral("WX source"));
    menurVoirMeteo = topItem("menurVoirMeteo", QStringLiteral("See WX"));
    MenuCarteSon = topItem("MenuCarteSon", QStringLiteral("Sound card"));
    MenuCOM = topItem("MenuCOM", QStringLiteral("COM port"));
    MenuHelpInfo = menuBar()->addMenu(QStringLiteral("?"));
    MenuHelpInfo->setObjectName(QStringLiteral("MenuHelpInfo"));
    MenuAide = item(MenuHelpInfo, "MenuAide", QStringLiteral("Help"));
    MenuInfo = item(MenuHelpInfo, "MenuInfo", QStringLiteral("Info"));

    connect(MenuUnits, &QAction::triggered, this, &TForm1::MenuUnitsClick);
    connect(menuSaveConfig, &QAction::triggered, this, &TForm1::menuSaveConfigClick);
    connect(MenuQuitter, &QAction::triggered, this, &TForm1::MenuQuitterClick);
    connect(MenuChoix, &QAction::triggered, this, &TForm1::MenuChoixClick);
    connect(menurVoirMeteo, &QAction::triggered, this, &TForm1::menurVoirMeteoClick);
    connect(MenuCarteSon, &QAction::triggered, this, &TForm1::MenuCarteSonClick);
    connect(MenuCOM, &QAction::triggered, this, &TForm1::MenuCOMClick);
    connect(MenuAide, &QAction::triggered, this, &TForm1::MenuAideClick);
    connect(MenuInfo, &QAction::triggered, this, &TForm1::MenuInfoClick);

    // Items whose windows come with other parts of the program stay disabled
    // until those windows are there.
    m_windowItems.insert(static_cast<int>(Window::SourceChoice), MenuChoix);
    m_windowItems.insert(static_cast<int>(Window::CurrentSource), menurVoirMeteo);
    m_windowItems.insert(static_cast<int>(Window::Units), MenuUnits);
    m_windowItems.insert(static_cast<int>(Window::Info), MenuInfo);
    for (QAction *a : std::as_const(m_windowItems))
        a->setEnabled(false);
    MenuCOM->setEnabled(false);
}

void TForm1::buildTray()
{
    PopUpDroit = new QMenu(this);
    PopUpDroit->setObjectName(QStringLiteral("PopUpDroit"));
    QuitterItem = PopUpDroit->addAction(QStringLiteral("Quitter"));
    QuitterItem->setObjectName(QStringLiteral("QuitterItem"));
    RestaurerItem = PopUpDroit->addAction(QStringLiteral("Restaurer"));
    RestaurerItem->setObjectName(QStringLiteral("RestaurerItem"));
    PopUpDroit->setDefaultAction(RestaurerItem);
    ReduireItem = PopUpDroit->addAction(QStringLiteral("Réduire"));
    ReduireItem->setObjectName(QStringLiteral("ReduireItem"));
    connect(QuitterItem, &QAction::triggered, this, &TForm1::QuitterItemClick);
    connect(RestaurerItem, &QAction::triggered, this, &TForm1::RestaurerItemClick);
    connect(ReduireItem, &QAction::triggered, this, &TForm1::ReduireItemClick);

    // Offscreen and on some desktops there is no notification area: the
    // program then runs without an icon.
    if (!m_useTray || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(QIcon(Pictures::appIcon()), this);
    m_tray->setObjectName(QStringLiteral("TrayIcon"));
    m_tray->setToolTip(QStringLiteral("Zorbel"));
    m_tray->setContextMenu(PopUpDroit);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            restoreFromTray();
    });
    m_tray->show();
}

} // namespace auravox
