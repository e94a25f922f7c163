// Starts the instrument: the station of the sensor, the window with its
// controls on it, then the load handler opens the module's port, then the
// window shows.
#include "command_line.h"
#include "desktop_identity.h"
#include "platform/gui/desktop_notifications.h"
#include "platform/gui/display_loss.h"
#include "platform/gui/qt_file_dialog.h"
#include "platform/gui/qt_message_box.h"
#include "platform/qt/serial_port_list.h"
#include "platform/qt/termination_signals.h"
#include "platform/state_directory.h"
#include "records/software_identity.h"
#include "station/station_lock.h"
#include "station/station_startup.h"
#include "when_on_screen.h"
#include "ui/main/frmmain.h"

#include <QApplication>

#include <cstdio>

namespace {

void toStandardError(const QString& sentence)
{
    std::fprintf(stderr, "tavelin: %s\n", qPrintable(sentence));
}

} // namespace

int main(int argc, char* argv[])
{
    // A signal during start-up ends the program once it runs, not the process now.
    tavelin::catchTerminationSignals();

    // The command line first, without a display: --help, --help-all,
    // --version, --list-ports, --show-totals and --verify need none.
    tavelin::CommandLine options;
    {
        QCoreApplication parsing(argc, argv);
        QCoreApplication::setApplicationName(QString::fromLatin1(tavelin::kApplicationTitle));
        options = tavelin::parseCommandLine(QCoreApplication::arguments());
    }
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
        std::printf("%s", qPrintable(tavelin::versionText(QStringLiteral("tavelin"), QStringLiteral(TAVELIN_VERSION))));
        return 0;
    }
    if (options.listPorts) {
        for (const tavelin::SerialPortEntry& port : tavelin::availableSerialPorts())
            std::printf("%s\n", qPrintable(tavelin::portListLine(port)));
        return 0;
    }

    tavelin::StationStartup startup({QStringLiteral("tavelin"), options.configFile, options.port, options.simulate,
                                     options.showTotals, options.exportRequest, options.verify});
    {
        QCoreApplication reading(argc, argv); // the store's driver is a plugin
        if (const auto status = startup.readSettings([](const QString& report) {
                std::fprintf(stderr, "%s\n", qPrintable(report));
            }))
            return *status;
    }

    // Scale the whole panel with the screen (2x on a 192-dpi display, and
    // fractional factors such as 1.5x unrounded): layout, pens and fonts are
    // then in device-independent pixels. Must precede the QApplication.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tavelin::kApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(TAVELIN_VERSION));
    tavelin::applyDesktopIdentity();
    // The program ends when its instrument window closes, not when the last
    // window of any kind (a message box, the logging dialog) goes.
    QApplication::setQuitOnLastWindowClosed(false);

    if (const auto status = startup.makeParts(toStandardError))
        return *status;
    tavelin::QtMessageBox messages;
    QString refusal;
    QStringList notices; // told once the window shows, in turn
    if (!startup.lockStateFolder([&notices](const QString& notice) { notices.append(notice); }, &refusal)) {
        toStandardError(refusal);
        messages.show(refusal);
        return tavelin::StationLock::kHeldExitStatus;
    }

    tavelin::QtFileDialog fileDialog;
    tavelin::DesktopNotifications notifications(messages);
    tavelin::Station station(startup.stationParts(messages, &notifications,
                                                  [](const QString& line, bool) { toStandardError(line); }),
                             startup.settings());
    tavelin::frmmain window(station, fileDialog);
    messages.setParent(&window);
    fileDialog.setParent(&window);
    // The end, from the window's close or a signal, may come while a handler
    // waits in a box or the file dialog: quit() ends every nested loop, no new
    // one starts, and the window outlives them all on this stack.
    bool ending = false;
    QObject::connect(&window, &tavelin::frmmain::closed, &app, [&messages, &fileDialog, &ending] {
        ending = true;
        messages.setSuppressed(true);
        fileDialog.setSuppressed(true);
        QApplication::quit();
    });
    tavelin::onTerminationSignal(&window, [&window] { window.close(); });
    tavelin::PosixTextFileChannel& logChannel = startup.logChannel();
    tavelin::QtSerialPort& port = startup.port();
    tavelin::DisplayLossGuard displayLoss([&logChannel, &port] {
        logChannel.close();
        port.close();
    });

    window.Form_Load();
    if (ending)
        return 0; // ended while the load handler's box was open
    window.show();
    if (!startup.settingsReport().isEmpty())
        notices.prepend(startup.settingsReport());
    for (const QString& notice : qAsConst(notices))
        messages.notify(notice); // boxes that do not wait: sampling starts as it always does
    // The store, and the history it holds, are read once the window is on
    // the screen, so that a long history does not delay it.
    const bool ownsFolder = startup.ownsStateFolder();
    tavelin::whenOnScreen(window, [&station, ownsFolder] {
        if (ownsFolder)
            station.openStore(tavelin::readingsStorePath());
    });
    return QApplication::exec();
}
