#pragma once

#include "engine/AnnounceHooks.h"
#include "engine/AnnounceMachine.h"
#include "engine/ClipCatalogue.h"
#include "engine/ClipPlayer.h"
#include "engine/Scheduler.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTimer;

namespace auravox {

class Clock;
class UpDown;
class UserPrompts;
class WaveOutput;

// What the main window is built on: the clock, the sound output and the
// dialogs. The program passes the real ones; tests pass doubles.
struct MainWindowDeps
{
    Clock *clock = nullptr;
    WaveOutput *waveOutput = nullptr;
    UserPrompts *prompts = nullptr;
    // Folder of NAME.wav clips; empty for the clips built into the program.
    QString clipFolder;
};

// The main window: the clock, the announcement contents, "Play the message ",
// the status field, and the announcement engine behind them.
class TForm1 : public QMainWindow, private AnnounceHost, private PlayerEvents
{
    Q_OBJECT
public:
    static inline const QString kVersion = QStringLiteral(AURAVOX_VERSION);

    explicit TForm1(const MainWindowDeps &deps, QWidget *parent = nullptr);
    ~TForm1() override;

    // Handlers, named after their controls.
    void Button1Click();
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

    // Runs once, on the first tick.
    void LoadConfiguration();

    bool startupPending() const override { return m_startupPending; }
    bool loadingConfiguration() const { return m_loadingConfiguration; }

    QString headerPath() const { return m_headerPath; }
    QString helloPath() const { return m_helloPath; }
    QString goodbyePath() const { return m_goodbyePath; }
    void setHeaderPath(const QString &path);
    void setHelloPath(const QString &path);
    void setGoodbyePath(const QString &path);

    // The hour menus: entry n is D(n) for n = 0..24, entry 25 + n is F(n).
    QAction *hourMenuItem(int index) const;

    AnnounceMachine &announcer() { return m_machine; }
    ClipPlayer &player() { return m_player; }
    Scheduler &scheduler() { return m_scheduler; }
    // The clock fields as the last tick set them.
    ClockFields clockFields() const override { return m_fields; }

    // The seams that later windows fill in.
    void setTransmitter(TransmitterPort *port);
    void setLinks(AnnounceLinks *links) { m_machine.setLinks(links); }
    void setWeather(WeatherSpeech *weather) { m_machine.setWeather(weather); }

    // The time and date as EditTime and EditDate show them (with a leading blank).
    static QString timeText(const QDateTime &t);
    static QString dateText(const QDateTime &t);

signals:
    // The program must end (a play buffer could not be allocated).
    void terminateRequested();

private:
    // AnnounceHost
    MessageChoices messageChoices() const override;
    void showStatus(const QString &text) override;
    void setPlayEnabled(bool enabled) override;
    void setSoundCardOkEnabled(bool enabled) override;
    // PlayerEvents
    void showPlayerStatus(const QString &text) override { showStatus(text); }
    void playerFailed() override { TimerSecuriteTimer(); }
    void clipEnded() override { TimerFinWaveTimer(); }
    void requestTerminate() override { emit terminateRequested(); }

    void buildControls();
    void buildMenus();
    void FormCreate();
    void showClockFields();
    void pollLines();
    QString browseWave(const QString &current, const QString &errorText);

    Clock &m_clock;
    UserPrompts &m_prompts;
    ClipCatalogue m_catalogue;
    QTimer *m_timerSeconde = nullptr;
    QTimer *m_timerSecurite = nullptr;
    QTimer *m_timerFinWave = nullptr;
    ClipPlayer m_player;
    AnnounceMachine m_machine;
    Scheduler m_scheduler;
    ClockFields m_fields;
    NoTransmitterPort m_noPort;
    TransmitterPort *m_port = &m_noPort;

    bool m_startupPending = true;
    bool m_loadingConfiguration = false;
    QString m_headerPath;
    QString m_helloPath = QStringLiteral("kuckoo.wav");
    QString m_goodbyePath;

    // Controls
    QLineEdit *EditDate = nullptr;
    QLineEdit *EditTime = nullptr;
    QPushButton *Button1 = nullptr;
    QLabel *ImageZorbel = nullptr;
    QLabel *ImageZorbelOff = nullptr;
    QLabel *ImageLedON = nullptr;
    QLabel *ImageLedOFF = nullptr;
    QLabel *LabelCOM = nullptr;
    QGroupBox *PanelConfig = nullptr;
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
    UpDown *UpDownPeriode = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *EditData = nullptr;
    QPushButton *ButtonPlayWave = nullptr;
    QPushButton *ButtonPlayWaveRes = nullptr;
    QLineEdit *EditSimu = nullptr;
    QLabel *LabelCTS = nullptr;
    QLabel *LabelDSR = nullptr;
    QLabel *LabelDCD = nullptr;

    QMenu *menuFichier = nullptr;
    QMenu *MenuPlageHoraire = nullptr;
    QMenu *MenuDebutPlageHoraire = nullptr;
    QMenu *MenuFinPlageHoraire = nullptr;
    QAction *MenuSimuErreur = nullptr;
    QActionGroup *m_startHours = nullptr;
    QActionGroup *m_endHours = nullptr;
    QList<QAction *> m_hourItems; // D00..D24 then F00..F24
};

} // namespace auravox
