#include "app/ui/TForm1.h"

#include "app/ConfigFile.h"
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

// The load of "auravox.ini" on the first tick and the save.

namespace auravox {

void TForm1::setVisible(bool visible)
{
    if (visible && isHidden())
        placeByFrame(this);
    QMainWindow::setVisible(visible);
}

void TForm1::LoadConfiguration()
{
    m_loadRunning = true;
    m_engine->stopTicking();
    setWindowTitle(QStringLiteral("AURAVOX V") + kVersion);
    m_loadingConfiguration = true;
    if (m_com)
        m_com->setLoading(true);

    if (m_iniExistedAtStart && m_registry) {
        // TOP= alone keeps the window's left edge, LEFT= alone its top.
        m_models.placement.noteMainPosition(QPoint(x(), y()));
        QStringList lines;
        if (TextFile::readLines(kIniFile, &lines)) {
            MemoFileInit->setPlainText(lines.join(QLatin1Char('\n')));
            m_registry->apply(lines);
        }
    }
    // Shown only now, where TOP= and LEFT= put it, and mapped with that
    // position: a window moved once mapped goes there in two steps (its client
    // area first, then its frame) and shows for a moment higher by its title
    // bar. "Minimize when starting" has shown it minimized already.
    if (!CheckBoxReduire->isChecked())
        show();
    QCoreApplication::processEvents();
    if (m_logExistedAtStart && m_engine->loadLog())
        showLog(log().lines());
    runWindowAction(Window::MonitorStartup);
    // The source starts only now, with every one of its keys applied.
    runWindowAction(Window::PendingSource);

    if (!CheckBoxReduire->isChecked()) {
        show();
        showNormal();
    }
    if (!m_models.placement.sourceWindowShown())
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
    // What only the windows know goes into the models first.
    m_models.placement.noteMainPosition(QPoint(x(), y()));
    m_models.placement.setSourceWindowShown(m_anySourceWindowVisible && m_anySourceWindowVisible());
    if (m_com)
        m_com->noteSavedPort();
    QStringList lines;
    const bool saved = ConfigFile::save(*m_registry, &lines, kIniFile, kIniTempFile);
    MemoFileInit->setPlainText(lines.join(QLatin1Char('\n')));
    if (!saved) {
        m_prompts.beep();
        showStatus(ConfigFile::kSaveError);
        return false;
    }
    return true;
}

} // namespace auravox
