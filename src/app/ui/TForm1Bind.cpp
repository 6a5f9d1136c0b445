#include "app/ui/TForm1.h"

#include "app/ui/UpDown.h"
#include "common/ui/WindowPlacement.h"
#include "platform/UserPrompts.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

// The main window's controls and the settings models: a click sets the
// model, and a model's change shows in the controls (and runs their handlers).

namespace auravox {

namespace {
// Keeps a flag up for a scope, restoring what it was.
class Raised
{
public:
    explicit Raised(bool &flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~Raised() { m_flag = m_was; }

private:
    bool &m_flag;
    bool m_was;
};
} // namespace

void TForm1::bindModels()
{
    using Box = MessageSettings::Box;
    MessageSettings &m = m_models.message;
    m.bindScheduler(scheduler());
    const std::pair<QCheckBox *, Box> boxes[] = {
        {CheckBoxEntete, Box::Header}, {CheckBoxZorbel, Box::Hello}, {CheckBoxDate, Box::Date},
        {CheckBoxDateUS, Box::DateUS}, {CheckBoxIlEst, Box::TimeIs}, {CheckBoxHeure, Box::Time},
        {CheckBoxFin, Box::Goodbye}};
    for (auto [box, b] : boxes) {
        connect(box, &QCheckBox::toggled, this, [this, b = b](bool on) {
            if (!m_showingSettings)
                m_models.message.setBox(b, on);
        });
    }
    connect(SpinEditPause, &QSpinBox::valueChanged, this, [this](int n) {
        if (!m_showingSettings)
            m_models.message.setPauseSeconds(n);
    });
    const std::pair<QAction *, Staleness> ages[] = {{MenuAnnonceToujours, Staleness::Always},
                                                    {MenuAnnonce1h, Staleness::OneHour},
                                                    {MenuAnnonce2h, Staleness::TwoHours},
                                                    {MenuAnnonce3h, Staleness::ThreeHours}};
    for (auto [item, age] : ages) {
        connect(item, &QAction::toggled, this, [this, age = age](bool on) {
            if (on && !m_showingSettings)
                m_models.message.setStaleness(age);
        });
    }
    connect(Menu16secteurs, &QAction::toggled, this, [this](bool on) {
        if (!m_showingSettings)
            m_models.message.setSixteenPoints(on);
    });
    connect(MenuRecord, &QAction::toggled, this, [this](bool on) {
        if (!m_showingSettings)
            m_models.message.setRecordWhilePlaying(on);
    });
    connect(&m, &MessageSettings::changed, this, &TForm1::showMessageSettings);
    showMessageSettings();

    connect(RadioButtonCarteWin, &QRadioButton::toggled, this, [this](bool on) {
        if (!m_showingSettings)
            m_models.sound.setSystemDevice(on);
    });
    connect(Gauge1, &QProgressBar::valueChanged, this, [this](int level) {
        if (!m_showingSettings)
            m_models.sound.setMaxVolume(level);
    });
    connect(&m_models.sound, &SoundSettings::changed, this, &TForm1::showSoundSettings);
    showSoundSettings();

    StartupSettings &startup = m_models.startup;
    connect(CheckBoxInfoVersion, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showingSettings)
            m_models.startup.setReleaseCheckAtStart(on);
    });
    connect(&startup, &StartupSettings::startMinimizedChanged, this, [this](bool on) {
        // The load minimizes the window without saving the file it is reading.
        if (on && m_loadingConfiguration)
            m_reduceAtLoad = true;
    });
    connect(&startup, &StartupSettings::failed, this, [this](const QString &error) { m_prompts.message(error); });
    connect(&startup, &StartupSettings::changed, this, &TForm1::showStartupSettings);
    showStartupSettings();

    connect(&m_models.placement, &PlacementSettings::mainPlaced, this,
            [this](const QPoint &position) { moveFrame(this, position); });
}

void TForm1::showMessageSettings()
{
    using Box = MessageSettings::Box;
    using File = MessageSettings::File;
    const MessageSettings &m = m_models.message;
    const Raised showing(m_showingSettings);
    const std::pair<QCheckBox *, Box> boxes[] = {
        {CheckBoxEntete, Box::Header}, {CheckBoxZorbel, Box::Hello}, {CheckBoxDate, Box::Date},
        {CheckBoxDateUS, Box::DateUS}, {CheckBoxIlEst, Box::TimeIs}, {CheckBoxHeure, Box::Time},
        {CheckBoxFin, Box::Goodbye}};
    for (auto [box, b] : boxes)
        box->setChecked(m.box(b));
    SpinEditPause->setValue(m.pauseSeconds());
    ButtonParcourirEnTete->setToolTip(m.path(File::Header));
    ButtonParcourirZorbel->setToolTip(m.path(File::Hello));
    ButtonParcourirFin->setToolTip(m.path(File::Goodbye));
    UpDownPeriode->setPosition(m.periodPosition()); // its handler shows the minutes
    auto showHour = [](QAction *item, QMenu *menu, const QString &caption) {
        if (!item)
            return;
        item->setChecked(true);
        menu->setTitle(caption + QStringLiteral(" (") + item->objectName().mid(1) + QStringLiteral("h)"));
    };
    showHour(hourMenuItem(m.startHour()), MenuDebutPlageHoraire, QStringLiteral("Starting hour"));
    showHour(hourMenuItem(25 + m.endHour()), MenuFinPlageHoraire, QStringLiteral("Ending hour"));
    QAction *const ages[] = {MenuAnnonceToujours, MenuAnnonce1h, MenuAnnonce2h, MenuAnnonce3h};
    ages[static_cast<int>(m.staleness())]->setChecked(true);
    (m.sixteenPoints() ? Menu16secteurs : menu8secteurs)->setChecked(true);
    MenuRecord->setChecked(m.recordWhilePlaying());
}

void TForm1::showSoundSettings()
{
    const SoundSettings &s = m_models.sound;
    {
        const Raised showing(m_showingSettings);
        (s.systemDevice() ? RadioButtonCarteWin : RadioButtonCarteMoi)->setChecked(true);
        Gauge1->setValue(s.maxVolume());
        if (voiceFolder() != s.voiceFolder())
            m_engine->setVoiceFolder(s.voiceFolder());
        EditVoix->setText(QDir::toNativeSeparators(s.voiceFolder()));
        EditVoix->setToolTip(s.voiceFolder());
    }
    if (player().selectedDevice() != s.device())
        player().setSelectedDevice(s.device());
    if (TrackBarVolume->value() != s.volume())
        TrackBarVolume->setValue(s.volume()); // its handler sets the device's level
    else if (!m_sliderMoving && !m_startupPending && s.balance() != m_balanceApplied)
        TrackBarVolumeChange(); // the balance alone moved (the station page): the slider does not
}

void TForm1::showStartupSettings()
{
    const StartupSettings &s = m_models.startup;
    {
        const Raised showing(m_showingSettings);
        CheckBoxInfoVersion->setChecked(s.releaseCheckAtStart());
    }
    // Their handlers run as on a click: start at login, minimize.
    CheckBoxDemarrage->setChecked(s.startAtLogin());
    CheckBoxReduire->setChecked(s.startMinimized());
}

} // namespace auravox
