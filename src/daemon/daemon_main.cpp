// tavelind: the instrument as a service. Opens the settings, the readings
// store and the port, then samples until SIGTERM or SIGINT; SIGHUP reads the
// settings again and opens the log file again. Alarms go to the journal (no
// desktop notifications), readings and alarm events to MQTT when set.
#include "app/simulated_module.h"
#include "daemon/journal_messages.h"
#include "daemon/service_command_line.h"
#include "daemon/systemd_notifier.h"
#include "daemon/tavelin_service.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/posix_text_file_channel.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/settings_file.h"
#include "platform/qt/store_export.h"
#include "platform/qt/store_opening.h"
#include "platform/qt/termination_signals.h"
#include "platform/state_directory.h"
#include "platform/wall_clock.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    // A signal during start-up ends the service once it runs, not the process now.
    tavelin::catchTerminationSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavelind"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVELIN_VERSION));

    const tavelin::ServiceCommandLine options = tavelin::parseServiceCommandLine(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(options.error), qPrintable(options.helpText));
        return 2;
    }
    if (!options.exportRequest.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(options.exportRequest.error));
        return 2;
    }
    if (options.help) {
        std::printf("%s", qPrintable(options.helpText));
        return 0;
    }
    if (options.version) {
        std::printf("tavelind %s\n", TAVELIN_VERSION);
        return 0;
    }

    tavelin::SystemMillisecondCounter counter;
    tavelin::JournalMessages journal(counter);
    tavelin::SettingsFile settingsFile(options.configFile.isEmpty() ? tavelin::SettingsFile::defaultPath()
                                                                    : options.configFile);
    const tavelin::SettingsFile::Loaded loaded = settingsFile.load();
    if (!loaded.report.isEmpty())
        journal.notify(loaded.report);
    if (options.showTotals)
        return tavelin::printTotals(loaded.settings);
    if (options.exportRequest.requested)
        return tavelin::runExport(options.exportRequest, tavelin::readingsStorePath(),
                                  loaded.settings.sensor.pulsesPerLiter);

    QString device = options.port.isEmpty() ? tavelin::defaultSerialDevice() : options.port;
    std::unique_ptr<tavelin::SimulatedModule> simulator;
    if (options.simulate) {
        QString error;
        simulator = tavelin::SimulatedModule::start(&error);
        if (!simulator) {
            journal.show(QStringLiteral("The simulated module cannot be started: %1").arg(error));
            return 1;
        }
        device = simulator->devicePath();
    }

    tavelin::StoreOpening store = tavelin::openReadingsStore();
    if (!store.notice.isEmpty())
        journal.notify(store.notice);
    tavelin::QtSerialPort port(device);
    tavelin::PosixTextFileChannel logChannel;
    tavelin::PosixTextFileChannel alarmChannel;
    tavelin::SystemWallClock clock;
    tavelin::SystemdNotifier systemd;

    tavelin::TavelinService service(
        {{port, counter, journal, logChannel, clock, store.store.get(), &settingsFile, nullptr, &alarmChannel}, journal,
         systemd},
        loaded.settings);
    tavelin::onTerminationSignal(&app, [&service](int signal) {
        if (signal == SIGHUP) {
            service.reload();
            return;
        }
        service.stop();
        QCoreApplication::quit();
    });
    service.start();
    return QCoreApplication::exec();
}
