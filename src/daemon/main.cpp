// auravoxd: the station without a window, for a box without a screen. The
// same engine, sources, links, page, working folder, auravox.ini and command
// line as auravox, on a QCoreApplication.

#include "app/CommandLine.h"
#include "app/ProgramStart.h"
#include "app/WorkingFolder.h"
#include "common/Clock.h"
#include "daemon/HeadlessStation.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "platform/linux/MonitorStationFactory.h"
#include "platform/linux/TermiosSerialLines.h"
#include "transmitter/linux/PttDevices.h"

#include <QCoreApplication>

#include <cstdio>

using namespace auravox;

int main(int argc, char **argv)
{
    CommandLine commandLine(CommandLine::Program::Headless);
    if (const int code = ProgramStart::answerEarly(commandLine, argc, argv); code >= 0)
        return code;
    ProgramStart::useJournalMessagePattern();
    QCoreApplication app(argc, argv);
    if (const int code = ProgramStart::applyOptions(commandLine); code >= 0)
        return code;
    if (commandLine.isSet(QStringLiteral("simulate-monitor")))
        setSimulatedMonitor(true);
    QCoreApplication::setApplicationName(QStringLiteral("AURAVOX"));

    const QString folder = ProgramStart::enterWorkingFolder(QCoreApplication::applicationDirPath(), "auravoxd");
    if (folder.isEmpty())
        return 1;

    SystemClock clock;
    AlsaWaveOutput waveOutput;
    TermiosSerialLines serialLines;
    HeadlessDeps deps;
    deps.clock = &clock;
    deps.waveOutput = &waveOutput;
    deps.serialLines = &serialLines;
    deps.pttDevices = makePttDevice;
    deps.programPath = QCoreApplication::applicationFilePath();
    deps.publicFolder = WorkingFolder::publicWeatherFolder();
    deps.webServer = true;
    deps.webPort = ProgramStart::webPortOverride();

    HeadlessStation station(deps);
    QObject::connect(
        &station, &HeadlessStation::terminateRequested, &app, [] { QCoreApplication::exit(2); }, Qt::QueuedConnection);
    QObject::connect(&station, &HeadlessStation::loaded, &app, [&folder] {
        std::fprintf(stderr, "auravoxd: V%s running in %s\n", AURAVOX_VERSION, qPrintable(folder));
    });
    QObject::connect(&station, &HeadlessStation::stopped, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // SIGTERM, SIGINT and SIGHUP stop the station from the event loop: the
    // transmitter is released and the configuration saved (once it has been
    // loaded; before, the file is left as it is).
    ProgramStart::stopOnSignals(&station, [&station] { station.stop(); });
    // The first tick of the clock loads the configuration.
    return QCoreApplication::exec();
}
