#include "app/WorkingFolder.h"
#include "app/ui/QtUserPrompts.h"
#include "app/ui/TForm1.h"
#include "common/Clock.h"
#include "platform/linux/AlsaWaveOutput.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

using namespace auravox;

int main(int argc, char **argv)
{
    // A repeater box often has no screen: run without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("AURAVOX"));
    QApplication::setApplicationDisplayName(QStringLiteral("AURAVOX"));
    QApplication::setQuitOnLastWindowClosed(true);

    const QString folder = WorkingFolder::choose(QApplication::applicationDirPath());
    if (folder.isEmpty() || !QDir::setCurrent(folder)) {
        std::fprintf(stderr, "auravox: cannot use the working folder %s\n", qPrintable(folder));
        return 1;
    }
    WorkingFolder::seedHelloFile(folder);

    SystemClock clock;
    AlsaWaveOutput waveOutput;
    QtUserPrompts prompts;
    MainWindowDeps deps;
    deps.clock = &clock;
    deps.waveOutput = &waveOutput;
    deps.prompts = &prompts;

    TForm1 form1(deps);
    prompts.setParent(&form1);
    QObject::connect(&form1, &TForm1::terminateRequested, &app, [] { QCoreApplication::exit(2); },
                     Qt::QueuedConnection);
    // The first tick of the clock loads the configuration and shows the window.
    return QApplication::exec();
}
