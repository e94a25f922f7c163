// tavelind: the instrument as a service. Reads the settings, holds the state
// folder, opens the port and the readings store, then samples until SIGTERM
// or SIGINT; SIGHUP reads the settings again and opens the log file again.
// Alarms go to the journal (no desktop notifications), readings and alarm
// events to MQTT when set.
#include "daemon/journal_messages.h"
#include "daemon/service_command_line.h"
#include "daemon/systemd_notifier.h"
#include "daemon/tavelin_service.h"
#include "platform/qt/termination_signals.h"
#include "platform/state_directory.h"
#include "records/software_identity.h"
#include "station/station_lock.h"
#include "station/station_startup.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

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
        std::printf("%s", qPrintable(tavelin::versionText(QStringLiteral("tavelind"), QStringLiteral(TAVELIN_VERSION))));
        return 0;
    }

    tavelin::StationStartup startup({QStringLiteral("tavelind"), options.configFile, options.port, options.simulate,
                                     options.showTotals, options.exportRequest, options.verify});
    tavelin::JournalMessages journal(startup.counter());
    const auto tell = [&journal](const QString& sentence) { journal.notify(sentence); };
    if (const auto status = startup.readSettings(tell))
        return *status;
    if (const auto status = startup.makeParts([&journal](const QString& failure) { journal.show(failure); }))
        return *status;
    QString refusal;
    if (!startup.lockStateFolder(tell, &refusal)) {
        journal.write(tavelin::JournalMessages::Priority::Error, refusal);
        return tavelin::StationLock::kHeldExitStatus;
    }

    tavelin::Station station(startup.stationParts(journal, nullptr,
                                                  [&journal](const QString& line, bool trouble) {
                                                      journal.write(trouble ? tavelin::JournalMessages::Priority::Warning
                                                                            : tavelin::JournalMessages::Priority::Info,
                                                                    line);
                                                  }),
                             startup.settings());
    tavelin::SystemdNotifier systemd;
    tavelin::TavelinService service(station, journal, systemd);
    tavelin::onTerminationSignal(&app, [&service](int signal) {
        if (signal == SIGHUP) {
            service.reload();
            return;
        }
        service.stop();
        QCoreApplication::quit();
    });
    // Opened on the store's own thread: readiness does not wait for it.
    if (startup.ownsStateFolder())
        station.openStore(tavelin::readingsStorePath());
    service.start();
    return QCoreApplication::exec();
}
