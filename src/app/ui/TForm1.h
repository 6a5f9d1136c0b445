#pragma once

#include "app/StationModels.h"
#include "engine/AnnounceHooks.h"
#include "engine/Announcer.h"
#include "engine/WeatherPhrases.h"
#include "transmitter/ui/TFormCOM.h"

#include <QMainWindow>
#include <QRect>

#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QProgressBar;
class QRadioButton;
class QSlider;
class QVBoxLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
namespace auravox { class WeatherButton; }

namespace auravox {

class Clock;
class ConfigRegistry;
class UpDown;
class UserPrompts;
class WaveOutput;

// What the main window is built on: what its engine is built on (the clock,
// the sound output, the dialogs, the clips), and what only the window uses.
// The program passes the real ones; tests pass doubles.
struct MainWindowDeps : AnnouncerDeps
{
    // The program's full path, for the start-at-login entry.
    QString programPath;
    // Whether to put an icon in the notification area when the desktop has one.
    bool useTray = true;
};

// The main window: the clock, the announcement contents, "Play the message ",
// the status field, the menus, the tray icon and the log. The announcement
// engine behind them (Announcer) is its child: the window holds the settings
// in its controls and shows what the engine tells it (AnnounceHost).
class TForm1 : public QMainWindow, public PortIndicators, private AnnounceHost
{
    Q_OBJECT
public:
    static inline const QString kVersion = QStringLiteral(AURAVOX_VERSION);
    static inline const QString kIniFile = QStringLiteral("auravox.ini");
    static inline const QString kIniTempFile = QStringLiteral("auravox.~in");
    static inline const QString kLogFile = Announcer::kLogFile;
    static inline const QString kHelpFile = QStringLiteral("auravox_help.html");
    static constexpr unsigned kIniPermissions = 0400; // it can hold the APRS password
    // The tick fires this long after each whole second of the wall clock.
    static constexpr int kTickLagMs = Announcer::kTickLagMs;

    // The window shows and edits `models`, which outlive it.
    TForm1(const MainWindowDeps &deps, StationModels &models, QWidget *parent = nullptr);
    ~TForm1() override;

    // Handlers, named after their controls.
    void Button1Click();
    void Button2Click();
    void TimerSecondeTimer();
    void TimerSecuriteTimer();
    void TimerFinWaveTimer();
    void UpDownPeriodeMouseDown();
    void D00Click(QAction *item);
    void F00Click(QAction *item);
    void MenuSimuErreurClick();
    void ButtonParcourirEnTeteClick();
    void ButtonParcourirZorbelClick();
    void ButtonParcourirFinClick();
    void ButtonPlayWaveClick();
    void ButtonPlayWaveResClick();
    void CheckBoxReduireClick();
    void CheckBoxDemarrageClick();
    void ButtonInitMeteoClick();
    void ButtonInitMeteoMouseUp(Qt::MouseButton button);
    void QuitterItemClick();
    void RestaurerItemClick();
    void ReduireItemClick();
    void MenuQuitterClick();
    void MenuChoixClick();
    void menurVoirMeteoClick();
    void MenuInfoClick();
    void ImageZorbelClick();
    void MenuAideClick();
    void MenuUnitsClick();
    void MenuCOMClick();
    void MenuRecordClick();
    // The sound card panel and the volume.
    void MenuCarteSonClick();
    void BitBtnOKCarteSonClick();
    void TrackBarVolumeChange();
    void Panel1MouseDown(Qt::MouseButton button, const QPoint &pos);
    // The operator's voice folder (VOICE_FOLDER=): its WAV files stand in for
    // the built-in clips of the same names.
    void ButtonParcourirVoixClick();
    void ButtonVoixInterneClick();
    QString voiceFolder() const { return m_engine->voiceFolder(); }
    void setVoiceFolder(const QString &folder);
    // Reads the device volume back into the slider and the balance.
    void readVolumeBack();
    int balance() const { return m_models.sound.balance(); }
    void menuSaveConfigClick();

    // Runs once, on the first tick; applies "auravox.ini" when it existed at start.
    void LoadConfiguration();
    // Writes "auravox.ini"; false (with a beep and "Err: auravox.ini") when it can't.
    bool SaveConfiguration();

    bool startupPending() const override { return m_startupPending; }
    bool loadingConfiguration() const { return m_loadingConfiguration; }
    bool iniExistedAtStart() const { return m_iniExistedAtStart; }

    QString headerPath() const { return m_models.message.path(MessageSettings::File::Header); }
    QString helloPath() const { return m_models.message.path(MessageSettings::File::Hello); }
    QString goodbyePath() const { return m_models.message.path(MessageSettings::File::Goodbye); }
    void setHeaderPath(const QString &path);
    void setHelloPath(const QString &path);
    void setGoodbyePath(const QString &path);

    // The hour menus: entry n is D(n) for n = 0..24, entry 25 + n is F(n).
    QAction *hourMenuItem(int index) const;

    // The announcement engine, and its parts.
    Announcer &announcer() { return *m_engine; }
    ClipPlayer &player() { return m_engine->player(); }
    Scheduler &scheduler() { return m_engine->scheduler(); }
    LogBook &log() { return m_engine->log(); }
    // The clock fields as the last tick set them.
    ClockFields clockFields() const { return m_engine->clockFields(); }

    // A log entry: date, time and text, written to "auravox.log".
    void addLogEntry(const QString &text);

    // The one saved rectangle of the weather source windows.
    QRect sourceWindowRect() const { return m_models.placement.sourceRect(); }
    void setSourceWindowRect(const QRect &r) { m_models.placement.setSourceRect(r); }
    bool showSourceWindowAtStart() const { return m_models.placement.sourceWindowShown(); }

    // The seams that other windows fill in.
    void setTransmitter(TransmitterPort *port);
    void setComWindow(TFormCOM *com);
    void setConfigRegistry(ConfigRegistry *registry) { m_registry = registry; }
    void setLinks(AnnounceLinks *links) { m_engine->setLinks(links); }
    void setWeather(WeatherSpeech *weather) { m_engine->setWeather(weather); }
    // Serial port names found at start, into the hidden ListBoxPort.
    void setPortList(const QStringList &ports);
    // What other windows do for the main window's menus, buttons and start-up;
    // a menu item whose action is not there is disabled.
    enum class Window {
        SourceChoice,         // show the source choice window
        CurrentSource,        // show the chosen source's window (or the choice)
        HideSources,          // hide the visible source windows, closing their files
        RecordSourceGeometry, // the visible source windows' geometry into the shared one (at close)
        MonitorStartup,       // open the Monitor II station on its saved port (during the load)
        PendingSource,        // start the source the configuration named (after the whole file)
        Units,
        SoundCard,
        Info,
        Recorder,
    };
    void setWindowAction(Window window, std::function<void()> action);
    // Runs on every tick whose minute is 0, after the clock fields are set
    // (the Monitor II hourly log line).
    void setTopOfHourAction(std::function<void(const ClockFields &)> action)
    {
        m_engine->setTopOfHourAction(std::move(action));
    }
    // "Run recorder when playing" is checked.
    bool recordsWhilePlaying() const;
    // The recorder's status line StaticTextW.
    void showRecorderStatus(const QString &text);
    // The status field EditData.
    QString statusFieldText() const;
    void setStatusField(const QString &text) { showStatus(text); }
    // "Check for new release when starting" is ticked.
    bool checksReleaseAtStart() const;
    // The time field as the last tick showed it (" 14:05:00").
    QString timeFieldText() const;
    // Whether any weather source window is visible (FORMMETEO=).
    void setSourceWindowsVisible(std::function<bool()> anyVisible) { m_anySourceWindowVisible = std::move(anyVisible); }


    QSystemTrayIcon *trayIcon() const { return m_tray; }

    // "Announcement of weather data" and "Compass card".
    Staleness staleness() const;
    bool sixteenPoints() const;

    // The time and date as EditTime and EditDate show them (with a leading blank).
    static QString timeText(const QDateTime &t);
    static QString dateText(const QDateTime &t);

    // PortIndicators
    void showLed(bool on) override;
    void showPortCaption(const QString &caption) override;
    void showNoPort() override;
    void showPortError(const QString &text) override { showStatus(text); }
    void showDcd(bool on) override;

signals:
    // The program must end (a play buffer could not be allocated).
    void terminateRequested();
    // The configuration load has run: announcements can start.
    void loaded();
    // The main window has closed (the configuration is saved): the program ends.
    void closed();

public:
    // Placed by its frame whenever it is mapped again (see placeByFrame).
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // AnnounceHost
    MessageChoices messageChoices() const override;
    void showStatus(const QString &text) override;
    QString statusText() const override { return statusFieldText(); }
    void setPlayEnabled(bool enabled) override;
    void setSoundCardOkEnabled(bool enabled) override;
    void tickStarting() override;
    void showClock(const QDateTime &now) override { showClockFields(now); }
    void showLineStates(bool dcdOn, const QString &ctsCaption, const QString &dsrCaption) override;
    void showLog(const QStringList &lines) override;

    void buildControls();
    void buildClockRow(QWidget *central, QVBoxLayout *root);
    void buildMessagePanel(QWidget *central);
    void buildSoundPanels(QWidget *central, QVBoxLayout *root);
    void buildStartAndStatus(QWidget *central, QVBoxLayout *root);
    void buildMenus();
    void buildTray();
    // Controls to models and models to controls (TForm1Bind.cpp).
    void bindModels();
    void showMessageSettings();
    void showSoundSettings();
    void showStartupSettings();
    void FormCreate();
    void FormClose();
    void showClockFields(const QDateTime &now);
    // The DCD caption and the two pictures that show it.
    void showDcdState(bool on);
    void minimizeToTray(bool hideTaskbarButton);
    void restoreFromTray();
    void runWindowAction(Window window);
    QString browseWave(const QString &current, const QString &errorText);

    Clock &m_clock;
    UserPrompts &m_prompts;
    StationModels &m_models;
    bool m_showingSettings = false; // a model's values are being put into the controls
    QString m_programPath;
    bool m_useTray;
    // A child of the window (its timers are found among the window's
    // children), destroyed before the window's controls.
    std::unique_ptr<Announcer> m_engine;
    TFormCOM *m_com = nullptr;
    ConfigRegistry *m_registry = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QHash<int, std::function<void()>> m_windowActions;
    QHash<int, QAction *> m_windowItems;
    std::function<bool()> m_anySourceWindowVisible;

    bool m_startupPending = true;
    bool m_loadingConfiguration = false;
    bool m_sliderMoving = false;
    // The balance the slider's handler last gave the device.
    int m_balanceApplied = 0;
    bool m_iniExistedAtStart = false;
    bool m_logExistedAtStart = false;
    bool m_reduceAtLoad = false;
    bool m_closing = false;
    bool m_loadRunning = false;    // LoadConfiguration is on the stack
    bool m_closeAfterLoad = false; // a close asked for while the load ran
    QSize m_sizeWithoutCardPanel; // while the sound card panel is open

    // Controls
    QLineEdit *EditDate = nullptr;
    QLineEdit *EditTime = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QLabel *ImageZorbel = nullptr;
    QLabel *ImageZorbelOff = nullptr;
    QLabel *ImageLedON = nullptr;
    QLabel *ImageLedOFF = nullptr;
    QLabel *LabelCOM = nullptr;
    QGroupBox *PanelConfig = nullptr;
    QGroupBox *Panel1 = nullptr;
    QSlider *TrackBarVolume = nullptr;
    QProgressBar *Gauge1 = nullptr;
    QGroupBox *PanelCarteSon = nullptr;
    QRadioButton *RadioButtonCarteWin = nullptr;
    QRadioButton *RadioButtonCarteMoi = nullptr;
    QComboBox *ComboBoxChoixOut = nullptr;
    QPushButton *BitBtnOKCarteSon = nullptr;
    QCheckBox *CheckBoxEntete = nullptr;
    QSpinBox *SpinEditPause = nullptr;
    QCheckBox *CheckBoxZorbel = nullptr;
    QCheckBox *CheckBoxDate = nullptr;
    QCheckBox *CheckBoxDateUS = nullptr;
    QCheckBox *CheckBoxIlEst = nullptr;
    QCheckBox *CheckBoxHeure = nullptr;
    QCheckBox *CheckBoxFin = nullptr;
    QPushButton *ButtonParcourirEnTete = nullptr;
    QPushButton *ButtonParcourirZorbel = nullptr;
    QPushButton *ButtonParcourirFin = nullptr;
    QLineEdit *EditVoix = nullptr;
    QPushButton *ButtonParcourirVoix = nullptr;
    QPushButton *ButtonVoixInterne = nullptr;
    UpDown *UpDownPeriode = nullptr;
    QLineEdit *Edit1 = nullptr;
    WeatherButton *ButtonInitMeteo = nullptr;
    QCheckBox *CheckBoxDemarrage = nullptr;
    QCheckBox *CheckBoxReduire = nullptr;
    QCheckBox *CheckBoxInfoVersion = nullptr;
    QLineEdit *EditData = nullptr;
    QLabel *StaticTextW = nullptr;
    QPlainTextEdit *MemoFileInit = nullptr;
    QPlainTextEdit *MemoLog = nullptr;
    QListWidget *ListBoxPort = nullptr;
    QPushButton *ButtonPlayWave = nullptr;
    QPushButton *ButtonPlayWaveRes = nullptr;
    QLineEdit *EditSimu = nullptr;
    QLabel *LabelCTS = nullptr;
    QLabel *LabelDSR = nullptr;
    QLabel *LabelDCD = nullptr;

    QMenu *menuFichier = nullptr;
    QMenu *MenuAnnonceMeteo = nullptr;
    QAction *MenuAnnonceToujours = nullptr;
    QAction *MenuAnnonce1h = nullptr;
    QAction *MenuAnnonce2h = nullptr;
    QAction *MenuAnnonce3h = nullptr;
    QMenu *MenuPlageHoraire = nullptr;
    QMenu *MenuDebutPlageHoraire = nullptr;
    QMenu *MenuFinPlageHoraire = nullptr;
    QAction *MenuRecord = nullptr;
    QMenu *MenuRoseVents = nullptr;
    QAction *menu8secteurs = nullptr;
    QAction *Menu16secteurs = nullptr;
    QAction *MenuUnits = nullptr;
    QAction *menuSaveConfig = nullptr;
    QAction *MenuQuitter = nullptr;
    QAction *MenuChoix = nullptr;
    QAction *menurVoirMeteo = nullptr;
    QAction *MenuCarteSon = nullptr;
    QAction *MenuCOM = nullptr;
    QMenu *MenuHelpInfo = nullptr;
    QAction *MenuAide = nullptr;
    QAction *MenuInfo = nullptr;
    QAction *MenuSimuErreur = nullptr;
    QMenu *PopUpDroit = nullptr;
    QAction *QuitterItem = nullptr;
    QAction *RestaurerItem = nullptr;
    QAction *ReduireItem = nullptr;
    QActionGroup *m_startHours = nullptr;
    QActionGroup *m_endHours = nullptr;
    QList<QAction *> m_hourItems; // D00..D24 then F00..F24
};

} // namespace auravox
