// Soak: sampling cycles back to back over a real pseudo-terminal, with the
// real serial port, transaction and sampling cycle, against the simulated
// module. Checks that the pulse total is the exact sum of the readings the
// cycles took, and that memory and open descriptors stay flat.
//
//   tavelin_soak [--cycles N] [--speed F] [--rss-growth-kb K]
//
// The settle delay runs on a counter F times faster than real time (default
// 50: the 50 ms delay lasts 1 ms), so a reply may miss its window; such a
// cycle is a TIMEOUT, and the late reply is drained by the next collection.
// Every reading sent is distinct, so each one a cycle takes shows which
// command it answered.

#include "module_process.h"
#include "platform/message_box.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/qt_serial_port.h"
#include "process_figures.h"
#include "sensor/flow_sampler.h"
#include "sensor/measurement_state.h"
#include "sensor/sensor_display.h"
#include "sensor/serial_transaction.h"

#include <QCoreApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tavelin;

// Reading i in hundredths of a hertz: 100.00 to 1099.99 Hz, all distinct for
// i below 100000 (7919 is prime to 100000).
constexpr long kReadingSpan = 100000;
long readingHundredths(long i) { return 10000 + (i * 7919) % kReadingSpan; }

class FastCounter : public MillisecondCounter {
public:
    explicit FastCounter(double speed) : speed_(speed) {}
    std::uint32_t ticks() override
    {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch()).count();
        return static_cast<std::uint32_t>(static_cast<long long>(us * speed_ / 1000.0));
    }
    void sleepFor(std::uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(milliseconds * 1000.0 / speed_)));
    }

private:
    double speed_;
};

class CountingMessageBox : public MessageBox {
public:
    void show(const QString& prompt, const QString&) override
    {
        if (prompt == QLatin1String("NO VALID RETURN FROM pH MODULE"))
            ++noValidReturn;
        else
            ++others;
    }
    long noValidReturn = 0;
    long others = 0;
};

// Takes each frequency shown as the reading a cycle accepted: checks that
// the readings come in the order they were sent, none twice, and sums them.
class CheckingDisplay : public SensorDisplay {
public:
    explicit CheckingDisplay(long cycles) : indexOf_(kReadingSpan, -1)
    {
        for (long i = 0; i < cycles && i < kReadingSpan; ++i)
            indexOf_[readingHundredths(i) - 10000] = i;
    }
    void setLblHz(const QString& text) override
    {
        ++accepted;
        const long h = hundredths(text);
        const long index = h >= 10000 && h < 10000 + kReadingSpan ? indexOf_[h - 10000] : -1;
        if (index <= lastIndex)
            ++outOfOrder;
        lastIndex = index;
        sumHundredths += h;
    }
    void setLblLitersPerMin(const QString&) override {}
    void setCWSlide1(double) override {}
    void setLiters(const QString&) override {}
    void setCWSlide2(double) override {}

    long accepted = 0;
    long outOfOrder = 0; // readings not sent, repeated or out of order
    long lastIndex = -1;
    long long sumHundredths = 0;

private:
    static long hundredths(const QString& text)
    {
        const QStringList parts = text.split(QLatin1Char('.'));
        const QString decimals = (parts.value(1) + QStringLiteral("00")).left(2);
        return parts.value(0).toLong() * 100 + decimals.toLong();
    }
    std::vector<long> indexOf_;
};

struct Options {
    long cycles = 100000;
    double speed = 50.0;
    long rssGrowthKb = 256;
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--cycles"))
            options.cycles = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--speed"))
            options.speed = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rss-growth-kb"))
            options.rssGrowthKb = std::atol(argv[i + 1]);
    }
    if (options.cycles < 1 || options.cycles > kReadingSpan || options.speed <= 0) {
        std::fprintf(stderr, "usage: tavelin_soak [--cycles 1..%ld] [--speed F] [--rss-growth-kb K]\n",
                     kReadingSpan);
        std::exit(2);
    }
    return options;
}

int failures = 0;
void check(bool ok, const char* what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    failures += ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    std::vector<double> readings;
    for (long i = 0; i < options.cycles; ++i)
        readings.push_back(static_cast<double>(readingHundredths(i)) / 100.0);
    soak::ModuleProcess module(readings); // before any thread starts
    if (module.devicePath().empty()) {
        std::fprintf(stderr, "the module did not start\n");
        return 1;
    }

    QCoreApplication app(argc, argv);
    QtSerialPort port(QString::fromStdString(module.devicePath()));
    if (!port.open()) {
        std::fprintf(stderr, "cannot open %s: %s\n", module.devicePath().c_str(),
                     qPrintable(port.errorString()));
        return 1;
    }
    FastCounter counter(options.speed);
    CountingMessageBox messages;
    SerialTransaction link(port, counter, messages);
    MeasurementState state;
    CheckingDisplay display(options.cycles);
    FlowSampler sampler(link, messages, state, display, QLocale::c());

    // Figures are taken after a warm-up, once the first cycles have made
    // whatever the port and the toolkit allocate for good.
    const long warmUp = std::min(1000L, options.cycles / 10);
    for (long i = 0; i < warmUp; ++i)
        sampler.PollSensor();
    const long rssStart = soak::residentKilobytes();
    const int fdsStart = soak::openDescriptors();
    const auto started = std::chrono::steady_clock::now();
    for (long i = warmUp; i < options.cycles; ++i)
        sampler.PollSensor();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const long rssEnd = soak::residentKilobytes();
    const int fdsEnd = soak::openDescriptors();
    const soak::ModuleReport report = module.finish(static_cast<std::size_t>(options.cycles));

    long long sentHundredths = 0;
    for (long i = 0; i < static_cast<long>(report.commands) && i < options.cycles; ++i)
        sentHundredths += readingHundredths(i);
    // The total of up to 100000 readings below 1100 Hz stays below 2^27, where
    // one addition errs by at most 2^-26 (1.5e-8): 100000 of them stay below
    // 0.0015, under half a hundredth, so rounding to hundredths is exact.
    const long long totalHundredths = std::llround(state.dblPulseTotal * 100.0);
    const long timeouts = messages.noValidReturn;

    std::printf("cycles %ld (warm-up %ld), speed x%g, %.1f s, %.0f cycles/s\n", options.cycles, warmUp,
                options.speed, seconds, (options.cycles - warmUp) / seconds);
    std::printf("accepted %ld, timeouts %ld, module: commands %zu, answered %zu\n", display.accepted,
                timeouts, report.commands, report.answered);
    std::printf("pulse total %.2f, sum of readings taken %.2f, sum of readings sent %.2f\n",
                state.dblPulseTotal, display.sumHundredths / 100.0, sentHundredths / 100.0);
    std::printf("RSS %ld kB -> %ld kB, descriptors %d -> %d\n", rssStart, rssEnd, fdsStart, fdsEnd);

    check(report.ok && report.commands == static_cast<std::size_t>(options.cycles),
          "every cycle sent one read command");
    check(display.accepted + timeouts == options.cycles && messages.others == 0,
          "every cycle took a reading or reported no valid return");
    check(display.outOfOrder == 0, "each reading taken was sent, in order, none twice");
    check(totalHundredths == display.sumHundredths, "the pulse total is the sum of the readings taken");
    if (timeouts == 0) {
        check(totalHundredths == sentHundredths, "every reading sent counts");
        check(std::llround(report.acceptedReadingSum * 100.0) == totalHundredths,
              "the total matches the module's own sum");
    } else {
        std::printf("skip the totals of all readings sent: %ld replies missed the settle delay\n", timeouts);
    }
    check(rssEnd >= 0 && rssEnd - rssStart <= options.rssGrowthKb, "resident memory stays flat");
    check(fdsStart > 0 && fdsEnd == fdsStart, "no descriptor leaks");
    std::printf("%s\n", failures ? "soak FAILED" : "soak passed");
    return failures ? 1 : 0;
}
