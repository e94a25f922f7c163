// Starts the instrument: the window with its controls, then the load handler
// opens the module's port, then the window shows.
#include "command_line.h"
#include "desktop_identity.h"
#include "platform/gui/desktop_notifications.h"
#include "platform/gui/display_loss.h"
#include "platform/gui/qt_file_dialog.h"
#include "platform/gui/qt_message_box.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/posix_text_file_channel.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/serial_port_list.h"
#include "platform/qt/settings_file.h"
#include "platform/qt/sqlite_interval_reader.h"
#include "platform/qt/store_export.h"
#include "platform/qt/store_opening.h"
#include "platform/qt/termination_signals.h"
#include "platform/state_directory.h"
#include "platform/wall_clock.h"
#include "simulated_module.h"
#include "when_on_screen.h"
#include "ui/main/frmmain.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    // A signal during start-up ends the program once it runs, not the process now.
    tavelin::catchTerminationSignals();

    // The command line first, without a display: --help, --help-all,
    // --version and --list-ports need none.
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
        std::printf("tavelin %s\n", TAVELIN_VERSION);
        return 0;
    }
    if (options.listPorts) {
        for (const tavelin::SerialPortEntry& port : tavelin::availableSerialPorts())
            std::printf("%s\n", qPrintable(tavelin::portListLine(port)));
        return 0;
    }

    tavelin::SettingsFile settingsFile(options.configFile.isEmpty() ? tavelin::SettingsFile::defaultPath()
                                                                    : options.configFile);
    const tavelin::SettingsFile::Loaded loaded = settingsFile.load();
    if (!loaded.report.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(loaded.report));
    if (options.showTotals)
        return tavelin::printTotals(loaded.settings);
    if (options.exportRequest.requested)
        return tavelin::runExport(options.exportRequest, tavelin::readingsStorePath(),
                                  loaded.settings.sensor.pulsesPerLiter);

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

    QString device = options.port.isEmpty() ? tavelin::defaultSerialDevice() : options.port;
    std::unique_ptr<tavelin::SimulatedModule> simulator;
    if (options.simulate) {
        QString error;
        simulator = tavelin::SimulatedModule::start(&error);
        if (!simulator) {
            std::fprintf(stderr, "tavelin: the simulated module cannot be started: %s\n", qPrintable(error));
            return 1;
        }
        device = simulator->devicePath();
    }

    tavelin::QtSerialPort port(device);
    tavelin::SystemMillisecondCounter counter;
    tavelin::QtMessageBox messages;
    tavelin::PosixTextFileChannel logChannel;
    tavelin::SystemWallClock clock;
    tavelin::QtFileDialog fileDialog;
    tavelin::DesktopNotifications notifications(messages);
    tavelin::PosixTextFileChannel alarmChannel;

    tavelin::StoreOpening store; // opened once the window is on the screen; outlives the window
    std::unique_ptr<tavelin::SqliteIntervalReader> intervals; // the store's history, read beside its writer
    tavelin::frmmain window({port, counter, messages, logChannel, clock, fileDialog, &settingsFile, &notifications,
                             &alarmChannel},
                            loaded.settings);
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
    tavelin::DisplayLossGuard displayLoss([&logChannel, &port] {
        logChannel.close();
        port.close();
    });

    window.Form_Load();
    if (ending)
        return 0; // ended while the load handler's box was open
    window.show();
    if (!loaded.report.isEmpty())
        messages.notify(loaded.report); // a box that does not wait: sampling starts as it always does
    // The store, and the history it holds, are read once the window is on
    // the screen, so that a long history does not delay it.
    tavelin::whenOnScreen(window, [&window, &messages, &store, &intervals] {
        store = tavelin::openReadingsStore();
        window.useStore(store.store.get());
        QString unread;
        if (store.store)
            intervals = tavelin::SqliteIntervalReader::open(store.store->filePath(), &unread);
        window.useIntervals(intervals.get());
        if (!store.notice.isEmpty())
            messages.notify(store.notice);
    });
    return QApplication::exec();
}
