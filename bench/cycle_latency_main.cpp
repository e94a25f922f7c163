// cycle-latency: times the instrument's sampling cycle, from the tick of the
// sampling timer to the cycle's last display write, against a module on a
// serial device (the simulator's pseudo-terminal).
//
//   cycle-latency --port DEVICE [--cycles N] [--interval MS] [--warm-up N] [--trend]
//                 [--store PATH [--mqtt-url URL]] [--modbus-listen ADDRESS]
//
// With --trend the trend window is open beside the panel, redrawing after
// every cycle as it does for the operator; with --modbus-listen the window
// serves its registers there (to clients the caller runs beside it).
//
// The window is the program's own frmmain with the real serial port,
// millisecond counter and window timer; only the timer's interval is shorter
// than the program's second, so that hundreds of cycles take a minute, and a
// message box is counted instead of shown. Prints one line per timed cycle,
// "tick_us latency_us waited_us durable_us" (CLOCK_MONOTONIC; waited: how
// much of the latency the thread stood runnable but off the processor;
// durable: from the cycle's end until the store's writer had synced its
// reading, -1 without a store), then a line
// "# ..." with the counts of cycles without a display write and of boxes.

#include "platform/gui/qt_file_dialog.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/posix_text_file_channel.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_window_timer.h"
#include "station/station.h"
#include "platform/wall_clock.h"
#include "timed_window.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

struct Options {
    QString port;
    int cycles = 320;
    int intervalMs = 97; // no other timer of the window runs at this interval
    int warmUp = 5;      // first cycles lay out fonts and glyph caches once
    bool trend = false;
    QString store; // a readings store to commit every reading to; none: no store
    QString mqttUrl; // with a store: publish every reading to this broker
    QString modbusListen; // serve the registers on this address
};

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: cycle-latency --port DEVICE [--cycles N] [--interval MS] [--warm-up N] [--trend] "
                         "[--store PATH [--mqtt-url URL]] [--modbus-listen ADDRESS]\n");
    std::exit(2);
}

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--trend")) {
            options.trend = true;
            continue;
        }
        if (i + 1 >= argc)
            usage();
        const char* value = argv[++i];
        if (!std::strcmp(argv[i - 1], "--port"))
            options.port = QString::fromLocal8Bit(value);
        else if (!std::strcmp(argv[i - 1], "--cycles"))
            options.cycles = std::atoi(value);
        else if (!std::strcmp(argv[i - 1], "--interval"))
            options.intervalMs = std::atoi(value);
        else if (!std::strcmp(argv[i - 1], "--warm-up"))
            options.warmUp = std::atoi(value);
        else if (!std::strcmp(argv[i - 1], "--store"))
            options.store = QString::fromLocal8Bit(value);
        else if (!std::strcmp(argv[i - 1], "--mqtt-url"))
            options.mqttUrl = QString::fromLocal8Bit(value);
        else if (!std::strcmp(argv[i - 1], "--modbus-listen"))
            options.modbusListen = QString::fromLocal8Bit(value);
        else
            usage();
    }
    if (options.port.isEmpty() || options.cycles < 1 || options.intervalMs < 60 || options.warmUp < 0)
        usage();
    return options;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const Options options = parse(argc, argv);

    tavelin::QtSerialPort port(options.port);
    tavelin::SystemMillisecondCounter counter;
    tavelin::bench::CountingMessages messages;
    tavelin::PosixTextFileChannel logChannel;
    tavelin::SystemWallClock clock;
    tavelin::QtFileDialog fileDialog;

    tavelin::Settings settings;
    settings.mqtt.url = options.mqttUrl;
    settings.mqtt.deviceId = QStringLiteral("bench");
    settings.modbus.listen = options.modbusListen;
    settings.modbus.maxClients = 16;
    tavelin::Station station({{port, counter, messages, logChannel, clock}, {}, nullptr}, settings);
    tavelin::bench::TimedWindow window(station, fileDialog, options.intervalMs);
    // When each reading became durable: its seq is its cycle's number, the
    // store being new.
    std::map<std::int64_t, std::int64_t> durableAt;
    QObject::connect(&station, &tavelin::Station::readingsDurable, &app, [&durableAt](std::int64_t seq) {
        durableAt.emplace(seq, tavelin::bench::monotonicMicroseconds());
    });
    bool storeReady = options.store.isEmpty();
    if (!storeReady) {
        QObject::connect(&station, &tavelin::Station::storeReady, &app, [&storeReady] { storeReady = true; });
        station.openStore(options.store);
    }
    window.Form_Load();
    if (!port.isOpen()) {
        std::fprintf(stderr, "cycle-latency: %s cannot be opened\n", qPrintable(options.port));
        return 1;
    }
    window.show();
    if (options.trend)
        window.showTrend();
    auto* tmrRd = window.findChild<tavelin::QtWindowTimer*>(QStringLiteral("tmrRd"));

    const int total = options.warmUp + options.cycles;
    QObject::connect(&window, &tavelin::bench::TimedWindow::cycleCompleted, &app, [&](int count) {
        if (count >= total) {
            tmrRd->setEnabled(false);
            QTimer::singleShot(0, &app, &QApplication::quit);
        }
    });
    // Start once the window is on the screen, as the operator would, and the
    // store is open.
    while (!storeReady)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QTimer::singleShot(500, &window, [&] {
        tmrRd->setInterval(options.intervalMs);
        tmrRd->setEnabled(true);
    });
    // Generous: a stalled exchange ends the run instead of hanging it.
    QTimer::singleShot(1000 + total * (options.intervalMs + 200) * 2, &app, [] {
        std::fprintf(stderr, "cycle-latency: gave up waiting for cycles\n");
        QApplication::exit(1);
    });
    const int status = QApplication::exec();

    // The last commits, before their times are read.
    QTimer::singleShot(1500, &app, &QApplication::quit);
    QApplication::exec();
    const auto& cycles = window.cycles();
    for (std::size_t i = static_cast<std::size_t>(options.warmUp); i < cycles.size(); ++i) {
        // A batch says durable up to its last seq: every reading before it is.
        const auto durable = durableAt.lower_bound(static_cast<std::int64_t>(i) + 1);
        const long long toDurable = durable == durableAt.end() ? -1 : durable->second - cycles[i].lastWrite;
        std::printf("%lld %lld %lld %lld\n", static_cast<long long>(cycles[i].tick),
                    static_cast<long long>(cycles[i].lastWrite - cycles[i].tick),
                    static_cast<long long>(cycles[i].waitedUs), toDurable);
    }
    std::printf("# without_display=%d messages=%d warm_up=%d interval_ms=%d trend=%d store=%d mqtt=%d modbus=%d\n",
                window.cyclesWithoutDisplay(), messages.shown(), options.warmUp, options.intervalMs,
                options.trend ? 1 : 0, options.store.isEmpty() ? 0 : 1, options.mqttUrl.isEmpty() ? 0 : 1,
                options.modbusListen.isEmpty() ? 0 : 1);
    if (messages.shown() > 0)
        std::fprintf(stderr, "cycle-latency: last message: %s\n", qPrintable(messages.lastPrompt()));
    window.close();
    return status;
}
