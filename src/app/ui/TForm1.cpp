#include "app/ui/TForm1.h"

#include "app/ClockText.h"

#include "app/Autostart.h"
#include "app/ui/UpDown.h"
#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "common/Log.h"
#include "common/TextFile.h"
#include "common/ui/Pictures.h"
#include "engine/VolumeControl.h"
#include "platform/UserPrompts.h"
#include "platform/WaveOutput.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace auravox {

namespace {
const QString kWaveFilter = QStringLiteral("Fichiers son *.wav|*.wav");

// A field changed only when its text does: no repaint and no work for the same text.
void setTextIfChanged(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}
} // namespace

TForm1::TForm1(const MainWindowDeps &deps, StationModels &models, QWidget *parent)
    : QMainWindow(parent), m_clock(*deps.clock), m_prompts(*deps.prompts), m_models(models),
      m_programPath(deps.programPath),
      m_useTray(deps.useTray),
      m_engine(std::make_unique<Announcer>(
          static_cast<const AnnouncerDeps &>(deps),
          static_cast<AnnounceHost &>(*this), this))
{
    // Noted before anything can write them.
    m_iniExistedAtStart = QFile::exists(kIniFile);
    m_logExistedAtStart = QFile::exists(kLogFile);

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Auravox"));
    setWindowIcon(QIcon(Pictures::appIcon()));
    // Only the close box: the program carries its own minimize button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    resize(343, 456);
    move(4, 101);
    buildControls();
    buildMenus();
    buildTray();
    connect(m_engine.get(), &Announcer::terminateRequested, this, &TForm1::terminateRequested);
    FormCreate();
    bindModels();
}

TForm1::~TForm1()
{
    if (m_tray)
        m_tray->hide();
}

void TForm1::FormCreate()
{
    // The hour menu table: D00..D24 at 0..24, F00..F24 at 25..49.
    m_hourItems = m_startHours->actions() + m_endHours->actions();
    m_engine->startTicking();
}

QAction *TForm1::hourMenuItem(int index) const
{
    return index >= 0 && index < m_hourItems.size() ? m_hourItems.at(index) : nullptr;
}

void TForm1::setTransmitter(TransmitterPort *port)
{
    m_engine->setTransmitter(port);
}

void TForm1::setComWindow(TFormCOM *com)
{
    m_com = com;
    setTransmitter(com ? &com->transmitter() : nullptr);
    MenuCOM->setEnabled(com != nullptr);
}

void TForm1::setPortList(const QStringList &ports)
{
    ListBoxPort->clear();
    ListBoxPort->addItems(ports);
}

void TForm1::setWindowAction(Window window, std::function<void()> action)
{
    m_windowActions.insert(static_cast<int>(window), std::move(action));
    if (QAction *item = m_windowItems.value(static_cast<int>(window)))
        item->setEnabled(true);
}

void TForm1::runWindowAction(Window window)
{
    const auto it = m_windowActions.constFind(static_cast<int>(window));
    if (it != m_windowActions.constEnd() && *it)
        (*it)();
}

// ---- the engine's view of the window

MessageChoices TForm1::messageChoices() const
{
    return m_models.message.choices();
}

void TForm1::showStatus(const QString &text)
{
    EditData->setText(text);
}

void TForm1::setPlayEnabled(bool enabled)
{
    Button1->setEnabled(enabled);
}

void TForm1::setSoundCardOkEnabled(bool enabled)
{
    BitBtnOKCarteSon->setEnabled(enabled);
}

void TForm1::tickStarting()
{
    if (m_startupPending)
        LoadConfiguration();
    readVolumeBack();
}

void TForm1::showLineStates(bool dcdOn, const QString &ctsCaption, const QString &dsrCaption)
{
    showDcdState(dcdOn);
    if (!ctsCaption.isEmpty())
        LabelCTS->setText(ctsCaption);
    if (!dsrCaption.isEmpty())
        LabelDSR->setText(dsrCaption);
}

void TForm1::showLog(const QStringList &lines)
{
    MemoLog->setPlainText(lines.join(QLatin1Char('\n')));
}

// ---- sound card and volume

void TForm1::MenuCarteSonClick()
{
    BitBtnOKCarteSon->setEnabled(!m_engine->busy());
    if (PanelCarteSon->isHidden())
        m_sizeWithoutCardPanel = size();
    PanelCarteSon->show();
    ComboBoxChoixOut->clear();
    bool ok = true;
    ComboBoxChoixOut->addItems(m_engine->deviceNames(&ok));
    const int selected = player().selectedDevice();
    if (!ok) {
        ComboBoxChoixOut->setCurrentIndex(-1);
        ComboBoxChoixOut->setEditText(QStringLiteral("Playback outputs error"));
    } else if (RadioButtonCarteMoi->isChecked() && selected >= 0 && selected < ComboBoxChoixOut->count()) {
        ComboBoxChoixOut->setCurrentIndex(selected);
    } else {
        ComboBoxChoixOut->setCurrentIndex(-1);
        ComboBoxChoixOut->setEditText(QString());
    }
}

void TForm1::BitBtnOKCarteSonClick()
{
    if (RadioButtonCarteMoi->isChecked() && ComboBoxChoixOut->currentText().isEmpty()) {
        m_prompts.beep();
        return;
    }
    // Applies from the next clip on.
    m_models.sound.setSystemDevice(RadioButtonCarteWin->isChecked());
    m_models.sound.setDevice(RadioButtonCarteWin->isChecked() ? WaveOutput::kDefaultDevice
                                                              : ComboBoxChoixOut->currentIndex());
    player().setSelectedDevice(m_models.sound.device());
    // The slider's level goes with the choice: a device not set yet plays at full level.
    TrackBarVolumeChange();
    PanelCarteSon->hide();
    // The window grew to hold the panel: back to its size from before (the
    // layouts first let go of the panel's room, now rather than at the next
    // event).
    if (m_sizeWithoutCardPanel.isValid()) {
        centralWidget()->layout()->invalidate();
        centralWidget()->layout()->activate();
        layout()->activate();
        resize(m_sizeWithoutCardPanel);
        m_sizeWithoutCardPanel = QSize();
    }
}

void TForm1::TrackBarVolumeChange()
{
    m_sliderMoving = true;
    m_models.sound.setVolume(TrackBarVolume->value());
    m_balanceApplied = m_models.sound.balance();
    m_engine->setVolume(m_models.sound.volume(), m_balanceApplied);
    QCoreApplication::processEvents();
    m_sliderMoving = false;
}

void TForm1::readVolumeBack()
{
    if (m_sliderMoving)
        return;
    const Volume::ReadBack r = m_engine->volume(m_models.sound.balance());
    m_models.sound.setBalance(r.balance);
    TrackBarVolume->setValue(r.position); // a change writes the level back in the slider's steps
}

void TForm1::Panel1MouseDown(Qt::MouseButton button, const QPoint &pos)
{
    const QRect gauge = Gauge1->geometry();
    if (pos.x() <= gauge.right() || pos.y() <= gauge.top())
        return;
    if (button == Qt::LeftButton)
        m_models.sound.setMaxVolume(Gauge1->value() + 10);
    else if (button == Qt::RightButton)
        m_models.sound.setMaxVolume(Gauge1->value() - 10);
}

void TForm1::showLed(bool on)
{
    ImageLedON->setVisible(on);
    ImageLedOFF->setVisible(!on);
}

void TForm1::showPortCaption(const QString &caption)
{
    LabelCOM->setText(caption);
}

void TForm1::showNoPort()
{
    showDcd(false);
}

void TForm1::showDcd(bool on)
{
    m_engine->setDcd(on);
    showDcdState(on);
}

void TForm1::showDcdState(bool on)
{
    LabelDCD->setText(on ? QStringLiteral("DCD=On") : QStringLiteral("DCD=Off"));
    ImageZorbelOff->setVisible(on);
    ImageZorbel->setVisible(!on);
}

// ---- the announcement and the clock

void TForm1::Button1Click()
{
    m_engine->run();
}

void TForm1::TimerFinWaveTimer()
{
    m_engine->clipEndTimeout();
}

void TForm1::TimerSecuriteTimer()
{
    m_engine->watchdogTimeout();
}

QString TForm1::timeText(const QDateTime &t)
{
    return ClockText::time(t);
}

QString TForm1::dateText(const QDateTime &t)
{
    return ClockText::date(t);
}

void TForm1::showClockFields(const QDateTime &now)
{
    setTextIfChanged(EditTime, timeText(now));
    setTextIfChanged(EditDate, dateText(now));
}

void TForm1::TimerSecondeTimer()
{
    m_engine->tick();
}

bool TForm1::recordsWhilePlaying() const
{
    return m_models.message.recordWhilePlaying();
}

void TForm1::showRecorderStatus(const QString &text)
{
    StaticTextW->setText(text);
}

QString TForm1::statusFieldText() const
{
    return EditData->text();
}

bool TForm1::checksReleaseAtStart() const
{
    return m_models.startup.releaseCheckAtStart();
}

QString TForm1::timeFieldText() const
{
    return EditTime->text();
}

void TForm1::UpDownPeriodeMouseDown()
{
    const int position = UpDownPeriode->position();
    Edit1->setText(Scheduler::periodText(position));
    m_models.message.setPeriodPosition(position); // the scheduler follows the model
}

void TForm1::D00Click(QAction *item)
{
    const QString name = item->objectName();
    if (name.size() != 3 || !name.startsWith(QLatin1Char('D')))
        return;
    m_models.message.setStartHour(name.mid(1).toInt()); // shown by showMessageSettings
}

void TForm1::F00Click(QAction *item)
{
    const QString name = item->objectName();
    if (name.size() != 3 || !name.startsWith(QLatin1Char('F')))
        return;
    m_models.message.setEndHour(name.mid(1).toInt());
}

void TForm1::MenuSimuErreurClick()
{
    AnnounceMachine &machine = m_engine->machine();
    const bool on = !machine.errorSimulation();
    machine.setErrorSimulation(on);
    showStatus(on ? QStringLiteral("err simu") : QStringLiteral("simu err reset"));
}

// ---- the user's wave files

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
    m_models.message.setPath(MessageSettings::File::Header, path);
}

void TForm1::setHelloPath(const QString &path)
{
    m_models.message.setPath(MessageSettings::File::Hello, path);
}

void TForm1::setGoodbyePath(const QString &path)
{
    m_models.message.setPath(MessageSettings::File::Goodbye, path);
}

void TForm1::ButtonParcourirEnTeteClick()
{
    setHeaderPath(browseWave(headerPath(), QStringLiteral("Err: File name")));
}

void TForm1::ButtonParcourirZorbelClick()
{
    setHelloPath(browseWave(helloPath(), QStringLiteral("Err: File name")));
}

void TForm1::ButtonParcourirFinClick()
{
    setGoodbyePath(browseWave(goodbyePath(), QStringLiteral("Err: Wave file name")));
}

void TForm1::setVoiceFolder(const QString &folder)
{
    m_models.sound.setVoiceFolder(folder); // the engine and EditVoix follow the model
}

void TForm1::ButtonParcourirVoixClick()
{
    const QString chosen = m_prompts.existingFolder(voiceFolder());
    if (!chosen.isEmpty())
        setVoiceFolder(chosen);
}

void TForm1::ButtonVoixInterneClick()
{
    setVoiceFolder(QString());
}

void TForm1::ButtonPlayWaveClick()
{
    player().playWaveFile(QStringLiteral("kuckoo.wav"));
}

void TForm1::ButtonPlayWaveResClick()
{
    player().playWaveResource(QStringLiteral("son0"));
}

// ---- the shell: minimize, restore, start at login, menus

void TForm1::minimizeToTray(bool hideTaskbarButton)
{
    showMinimized();
    // Without a notification area a hidden window could not be found again.
    if (hideTaskbarButton && m_tray)
        hide();
}

void TForm1::restoreFromTray()
{
    show();
    showNormal();
    raise();
    activateWindow();
}

void TForm1::Button2Click()
{
    showMinimized();
    if (m_reduceAtLoad)
        m_reduceAtLoad = false;
    else
        SaveConfiguration();
    if (CheckBoxReduire->isChecked())
        minimizeToTray(true);
}

void TForm1::CheckBoxReduireClick()
{
    m_models.startup.setStartMinimized(CheckBoxReduire->isChecked());
    if (!CheckBoxReduire->isChecked())
        return;
    minimizeToTray(true);
    if (m_reduceAtLoad)
        m_reduceAtLoad = false;
    else
        SaveConfiguration();
}

void TForm1::CheckBoxDemarrageClick()
{
    // The model writes or removes the entry; a failure comes back as a message.
    m_models.startup.setStartAtLogin(CheckBoxDemarrage->isChecked());
}

void TForm1::ButtonInitMeteoMouseUp(Qt::MouseButton button)
{
    runWindowAction(Window::HideSources);
    if (button == Qt::RightButton)
        runWindowAction(Window::SourceChoice);
}

void TForm1::ButtonInitMeteoClick()
{
    runWindowAction(Window::CurrentSource);
}

void TForm1::QuitterItemClick()
{
    close();
}

void TForm1::RestaurerItemClick()
{
    restoreFromTray();
}

void TForm1::ReduireItemClick()
{
    // The same as the "-" button, without saving: a tray click is no settings change.
    minimizeToTray(CheckBoxReduire->isChecked());
}

void TForm1::MenuQuitterClick()
{
    if (m_tray)
        m_tray->hide();
    close();
}

void TForm1::MenuChoixClick()
{
    ButtonInitMeteoMouseUp(Qt::RightButton);
}

void TForm1::menurVoirMeteoClick()
{
    runWindowAction(Window::CurrentSource);
}

void TForm1::MenuInfoClick()
{
    runWindowAction(Window::Info);
}

void TForm1::ImageZorbelClick()
{
    runWindowAction(Window::Info);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Panel1 && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        Panel1MouseDown(press->button(), press->position().toPoint());
    }
    if ((watched == ImageZorbel || watched == ImageZorbelOff) && event->type() == QEvent::MouseButtonRelease)
        ImageZorbelClick();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::MenuAideClick()
{
    m_prompts.openDocument(QDir::current().filePath(kHelpFile));
}

void TForm1::MenuUnitsClick()
{
    runWindowAction(Window::Units);
}

void TForm1::MenuCOMClick()
{
    if (!m_com)
        return;
    m_com->show();
    m_com->raise();
}

void TForm1::MenuRecordClick()
{
    // Checking it also opens the recorder's settings.
    if (MenuRecord->isChecked())
        m_models.message.setRecordWhilePlaying(false);
    else {
        m_models.message.setRecordWhilePlaying(true);
        runWindowAction(Window::Recorder);
    }
}

void TForm1::menuSaveConfigClick()
{
    SaveConfiguration();
}

Staleness TForm1::staleness() const
{
    return m_models.message.staleness();
}

bool TForm1::sixteenPoints() const
{
    return m_models.message.sixteenPoints();
}

// ---- the log

void TForm1::addLogEntry(const QString &text)
{
    m_engine->addLogEntry(text);
}

// ---- close

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!m_closing && m_loadRunning) {
        // A stop in the middle of the load (it lets events run): the load
        // finishes first, then the window closes the usual way.
        m_closeAfterLoad = true;
        event->ignore();
        return;
    }
    if (!m_closing) {
        m_closing = true;
        FormClose();
        emit closed();
    }
    event->accept();
}

void TForm1::FormClose()
{
    m_engine->stop();
    runWindowAction(Window::RecordSourceGeometry);
    // Before the load the controls hold their initial states, not the user's
    // settings: saving them would wipe the file.
    if (m_startupPending)
        qCInfo(lcConfig) << "stopped before the configuration was loaded:" << kIniFile << "left as it was";
    else
        SaveConfiguration();
    // Every step from here on may fail without stopping the others.
    // The transmitter is released before the port goes.
    if (m_com && m_com->control().isOpen())
        m_com->control().chooseNoPort(QStringLiteral("program closing"));
    m_engine->closeDevice();
    if (m_tray)
        m_tray->hide();
}

} // namespace auravox
