#include "app/ui/TForm1.h"

#include "app/ui/UpDown.h"
#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "common/Log.h"
#include "common/TextFile.h"
#include "common/ui/WindowPlacement.h"
#include "platform/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <functional>

// The main window's keys of "auravox.ini", the load on the first tick and the save.

namespace auravox {

namespace {

ConfigKey key(int section, int position, const char *name, std::function<QStringList()> save,
              std::function<void(const QString &)> load)
{
    ConfigKey k;
    k.section = section;
    k.position = position;
    k.key = QLatin1String(name);
    k.save = std::move(save);
    k.load = [load = std::move(load)](const QString &, const QString &value) { load(value); };
    return k;
}

// "KEY=Y" written when checked; on reading only "Y" checks, and with
// `otherUnchecks` any other value unchecks.
ConfigKey yesBox(int position, const char *name, QCheckBox *box, bool otherUnchecks)
{
    const QString line = QLatin1String(name) + QLatin1Char('Y');
    return key(
        ConfigSection::Announcement, position, name,
        [box, line]() { return box->isChecked() ? QStringList{line} : QStringList(); },
        [box, otherUnchecks](const QString &v) {
            if (v == QLatin1String("Y"))
                box->setChecked(true);
            else if (otherUnchecks)
                box->setChecked(false);
        });
}

// "KEY=N" written when unchecked; on reading "N" unchecks, anything else checks.
ConfigKey noBox(int position, const char *name, QCheckBox *box)
{
    const QString line = QLatin1String(name) + QLatin1Char('N');
    return key(
        ConfigSection::Announcement, position, name,
        [box, line]() { return box->isChecked() ? QStringList() : QStringList{line}; },
        [box](const QString &v) { box->setChecked(v != QLatin1String("N")); });
}

} // namespace

void TForm1::declareConfig(ConfigRegistry &r)
{
    using CS = QStringList;
    const int A = ConfigSection::Announcement;
    r.add(key(
        A, 10, "RECORD=", [this]() { return MenuRecord->isChecked() ? CS{QStringLiteral("RECORD=Y")} : CS(); },
        [this](const QString &v) {
            if (v == QLatin1String("Y"))
                MenuRecord->setChecked(true); // the recorder window is not opened
        }));
    r.add(key(
        A, 30, "ROSE=", [this]() { return Menu16secteurs->isChecked() ? CS{QStringLiteral("ROSE=16")} : CS(); },
        [this](const QString &v) {
            if (v == QLatin1String("16"))
                Menu16secteurs->setChecked(true);
        }));
    r.add(key(
        A, 40, "OLD=",
        [this]() {
            if (MenuAnnonce1h->isChecked())
                return CS{QStringLiteral("OLD=1")};
            if (MenuAnnonce2h->isChecked())
                return CS{QStringLiteral("OLD=2")};
            if (MenuAnnonce3h->isChecked())
                return CS{QStringLiteral("OLD=3")};
            return CS();
        },
        [this](const QString &v) {
            if (v == QLatin1String("1"))
                MenuAnnonce1h->setChecked(true);
            else if (v == QLatin1String("2"))
                MenuAnnonce2h->setChecked(true);
            else if (v == QLatin1String("3"))
                MenuAnnonce3h->setChecked(true);
        }));
    auto pathKey = [&](int position, const char *name, QString TForm1::*path, void (TForm1::*set)(const QString &)) {
        const QString prefix = QLatin1String(name);
        r.add(key(
            A, position, name,
            [this, path, prefix]() { return (this->*path).isEmpty() ? CS() : CS{prefix + this->*path}; },
            [this, set](const QString &v) { (this->*set)(v); }));
    };
    pathKey(50, "FICHIER_ENTETE=", &TForm1::m_headerPath, &TForm1::setHeaderPath);
    pathKey(60, "FICHIER_ZORBEL=", &TForm1::m_helloPath, &TForm1::setHelloPath);
    pathKey(70, "FICHIER_FIN=", &TForm1::m_goodbyePath, &TForm1::setGoodbyePath);
    r.add(key(
        A, 80, "PERIOD=",
        [this]() {
            const int p = UpDownPeriode->position();
            return p > 0 ? CS{QStringLiteral("PERIOD=%1").arg(p)} : CS();
        },
        [this](const QString &v) {
            int n;
            if (ConfigRegistry::parseInt(v, &n))
                UpDownPeriode->setPosition(n); // limited to 0..6 by the control
        }));
    auto hourKey = [&](int position, const char *name, bool start) {
        const QString prefix = QLatin1String(name);
        r.add(key(
            A, position, name,
            [this, prefix, start]() {
                const int h = start ? scheduler().startHour() : scheduler().endHour();
                return h != (start ? 0 : 24) ? CS{prefix + QString::number(h)} : CS();
            },
            [this, start](const QString &v) {
                int h;
                if (!ConfigRegistry::parseInt(v, &h) || h < 0 || h > 24)
                    return;
                QAction *item = hourMenuItem(start ? h : 25 + h);
                if (start)
                    D00Click(item);
                else
                    F00Click(item);
            }));
    };
    hourKey(90, "START_RANGE=", true);
    hourKey(100, "END_RANGE=", false);
    r.add(yesBox(110, "ENTETE=", CheckBoxEntete, false));
    r.add(key(
        A, 120, "PAUSE=",
        [this]() { return SpinEditPause->value() ? CS{QStringLiteral("PAUSE=%1").arg(SpinEditPause->value())} : CS(); },
        [this](const QString &v) {
            int n;
            if (ConfigRegistry::parseInt(v, &n))
                SpinEditPause->setValue(n); // limited to 0..15 by the control
        }));
    r.add(yesBox(130, "FINAL=", CheckBoxFin, true));
    r.add(yesBox(140, "HELLO=", CheckBoxZorbel, true));
    r.add(noBox(150, "DATE=", CheckBoxDate));
    r.add(yesBox(160, "DATEUS=", CheckBoxDateUS, true));
    r.add(noBox(170, "ILEST=", CheckBoxIlEst));
    r.add(noBox(180, "TIME=", CheckBoxHeure));
    r.add(yesBox(190, "START=", CheckBoxDemarrage, false));
    r.add(key(
        A, 200, "REDUCE=", [this]() { return CheckBoxReduire->isChecked() ? CS{QStringLiteral("REDUCE=Y")} : CS(); },
        [this](const QString &v) {
            if (v != QLatin1String("Y"))
                return;
            m_reduceAtLoad = true;
            if (CheckBoxReduire->isChecked())
                m_reduceAtLoad = false; // no click action runs: nothing would clear it
            CheckBoxReduire->setChecked(true);
        }));
    auto intKey = [&](int section, int position, const char *name, std::function<int()> get,
                      std::function<void(int)> set) {
        const QString prefix = QLatin1String(name);
        r.add(key(
            section, position, name, [prefix, get]() { return CS{prefix + QString::number(get())}; },
            [set](const QString &v) {
                int n;
                if (ConfigRegistry::parseInt(v, &n))
                    set(n);
            }));
    };
    intKey(A, 210, "BALANCE=", [this] { return m_balance; }, [this](int n) { m_balance = std::clamp(n, -100, 100); });
    intKey(A, 220, "VOLUME=", [this] { return TrackBarVolume->value(); },
           [this](int n) { TrackBarVolume->setValue(n); }); // brought into 0..10 by the slider
    intKey(A, 230, "MAXVOLUME=", [this] { return Gauge1->value(); },
           [this](int n) { Gauge1->setValue(std::clamp(n, 0, 100)); });
    r.add(key(
        ConfigSection::Sound, 10, "OSOUND=",
        [this]() {
            return CS{QStringLiteral("OSOUND=") +
                      QString::number(RadioButtonCarteWin->isChecked() ? -1 : player().selectedDevice())};
        },
        [this](const QString &v) {
            // Only a device number chooses a card: a garbled value keeps the
            // system's choice, rather than "I choose" with no card chosen.
            int n;
            if (!ConfigRegistry::parseInt(v, &n) || n < 0)
                return;
            RadioButtonCarteMoi->setChecked(true);
            player().setSelectedDevice(n);
        }));

    r.add(key(
        ConfigSection::Voice, 10, "VOICE_FOLDER=",
        [this]() { return voiceFolder().isEmpty() ? CS() : CS{QStringLiteral("VOICE_FOLDER=") + voiceFolder()}; },
        [this](const QString &v) { setVoiceFolder(v); }));

    const int P = ConfigSection::Placement;
    r.add(key(
        P, 10, "TOP=", [this]() { return CS{QStringLiteral("TOP=%1").arg(y())}; },
        [this](const QString &v) {
            int n;
            if (ConfigRegistry::parseInt(v, &n))
                moveFrame(this, QPoint(x(), n));
        }));
    r.add(key(
        P, 20, "LEFT=", [this]() { return CS{QStringLiteral("LEFT=%1").arg(x())}; },
        [this](const QString &v) {
            int n;
            if (ConfigRegistry::parseInt(v, &n))
                moveFrame(this, QPoint(n, y()));
        }));
    auto rectKey = [&](int position, const char *name, auto get, auto set) {
        const QString prefix = QLatin1String(name);
        r.add(key(
            P, position, name, [this, prefix, get]() { return CS{prefix + QString::number(get(m_sourceWindowRect))}; },
            [this, set](const QString &v) {
                int n;
                if (ConfigRegistry::parseInt(v, &n))
                    set(m_sourceWindowRect, n);
            }));
    };
    rectKey(30, "METEO_TOP=", [](const QRect &q) { return q.top(); }, [](QRect &q, int n) { q.moveTop(n); });
    rectKey(40, "METEO_LEFT=", [](const QRect &q) { return q.left(); }, [](QRect &q, int n) { q.moveLeft(n); });
    rectKey(50, "METEO_WIDTH=", [](const QRect &q) { return q.width(); }, [](QRect &q, int n) { q.setWidth(n); });
    rectKey(60, "METEO_HEIGHT=", [](const QRect &q) { return q.height(); },
            [](QRect &q, int n) { q.setHeight(n); });

    r.add(key(
        P, 70, "FORMMETEO=", [this]() { return m_anySourceWindowVisible && m_anySourceWindowVisible() ? CS() : CS{QStringLiteral("FORMMETEO=N")}; },
        [this](const QString &v) {
            if (v == QLatin1String("N"))
                m_showSourceWindowAtStart = false;
        }));
    r.add(key(
        ConfigSection::Release, 10, "VERSTART=",
        [this]() { return CS{CheckBoxInfoVersion->isChecked() ? QStringLiteral("VERSTART=1") : QStringLiteral("VERSTART=0")}; },
        [this](const QString &v) {
            if (v == QLatin1String("1"))
                CheckBoxInfoVersion->setChecked(true);
        }));
}

void TForm1::LoadConfiguration()
{
    m_loadRunning = true;
    m_engine->stopTicking();
    placeByFrame(this); // TOP= and LEFT= place the frame of a shown window
    show();
    QCoreApplication::processEvents();
    setWindowTitle(QStringLiteral("AURAVOX V") + kVersion);
    m_loadingConfiguration = true;
    if (m_com)
        m_com->setLoading(true);

    if (m_iniExistedAtStart && m_registry) {
        QStringList lines;
        if (TextFile::readLines(kIniFile, &lines)) {
            MemoFileInit->setPlainText(lines.join(QLatin1Char('\n')));
            m_registry->apply(lines);
        }
    }
    if (m_logExistedAtStart && m_engine->loadLog())
        showLog(log().lines());
    runWindowAction(Window::MonitorStartup);
    // The source starts only now, with every one of its keys applied.
    runWindowAction(Window::PendingSource);

    if (!CheckBoxReduire->isChecked()) {
        show();
        showNormal();
    }
    if (!m_showSourceWindowAtStart)
        runWindowAction(Window::HideSources);
    player().allocMem();
    UpDownPeriodeMouseDown();
    showClockFields(m_clock.now());
    // The file is the only record of the volume (a device's level is full until
    // the program sets it): set the slider's level with the balance on the chosen
    // device, even when neither moved from its default (no change handler ran).
    TrackBarVolumeChange();
    if (m_com)
        m_com->FormShow();
    QCoreApplication::processEvents();

    if (m_com)
        m_com->setLoading(false);
    m_startupPending = false;
    m_loadingConfiguration = false;
    m_loadRunning = false;
    m_engine->armTick();
    emit loaded();
    if (m_closeAfterLoad)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool TForm1::SaveConfiguration()
{
    if (!m_registry)
        return false;
    if (m_startupPending) {
        // Nothing is saved before the file has been read: it would be the
        // controls' initial states written over the user's settings.
        qCInfo(lcConfig) << "not saved: the configuration has not been loaded yet";
        return false;
    }
    const QStringList lines = m_registry->lines(QStringLiteral("[AURAVOX V") + kVersion + QLatin1Char(']'));
    MemoFileInit->setPlainText(lines.join(QLatin1Char('\n')));
    if (!TextFile::writeLinesAtomically(kIniFile, kIniTempFile, lines, kIniPermissions)) {
        m_prompts.beep();
        showStatus(QStringLiteral("Err: auravox.ini"));
        return false;
    }
    return true;
}

} // namespace auravox
