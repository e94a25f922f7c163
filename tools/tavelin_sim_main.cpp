// tavelin-sim: the simulated acquisition module on a pseudo-terminal, for
// trying the program without hardware and for tests and benchmarks.
//
// Prints the device path to open on its first line, then serves until
// SIGINT, SIGTERM or SIGHUP. SIGUSR1 unplugs the module, SIGUSR2 plugs it
// back in (and prints the device path again).

#include "simulator/module_simulator.h"

#include <getopt.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

using namespace tavelin::sim;

namespace {

constexpr const char* kUsage = R"(Usage: tavelin-sim [OPTION]...
Simulates the flow sensor's acquisition module on a pseudo-terminal. Prints
the device path to open as the first line, then answers "$?RD" + CR with
"*+00072.00" + CR style replies until SIGINT, SIGTERM or SIGHUP.
SIGUSR1 unplugs the module (the line hangs up); SIGUSR2 plugs it back in on
a fresh pseudo-terminal and prints the device path again.

Readings (Hz, one drawn per read command; the last option given wins):
  --constant HZ         always this reading (default 72)
  --list HZ,HZ,...      these readings in turn, starting again after the last
  --vary                a flow wandering between about 1 and 3 L/min
                        (about 115 to 345 Hz) with noise
  --seed N              seed of --vary, for repeatable runs (default 1)

Line:
  --fault MODE          how every reply goes wrong: none (default), silence,
                        noise, high-bit, split, echo, line-feed, double,
                        question, over-limit, non-numeric, noise-burst,
                        endless (a "*", then digits without pause)
  --fault-for SECONDS   the fault ends this long after the first read command
                        it meets; then replies are well-formed
  --link PATH           keep a symbolic link at PATH pointing at the current
                        device, across unplugging; printed instead of the device
  --unplugged           start unplugged (with --link): the device appears at
                        SIGUSR2
  --log-commands FILE   one line per read command received: its arrival on
                        the monotonic clock (CLOCK_MONOTONIC), in microseconds
  --help                show this text
)";

struct Options {
    std::unique_ptr<ReadingSource> source = constantReading(72.0);
    bool vary = false;
    unsigned long seed = 1;
    Fault fault = Fault::None;
    double faultSeconds = 0; // 0: for ever
    std::string link;
    bool unplugged = false;
    std::string commandLog;
};

bool parseNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

bool parseList(const std::string& text, std::vector<double>& readings)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        double value = 0;
        if (!parseNumber(text.substr(start, comma - start).c_str(), value))
            return false;
        readings.push_back(value);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

[[noreturn]] void usageError(const std::string& message)
{
    std::fprintf(stderr, "tavelin-sim: %s\nTry 'tavelin-sim --help'.\n", message.c_str());
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    enum { kConstant = 1, kList, kVary, kSeed, kFault, kFaultFor, kLink, kUnplugged, kLog, kHelp };
    static const option longOptions[] = {
        {"constant", required_argument, nullptr, kConstant}, {"list", required_argument, nullptr, kList},
        {"vary", no_argument, nullptr, kVary},               {"seed", required_argument, nullptr, kSeed},
        {"fault", required_argument, nullptr, kFault},       {"fault-for", required_argument, nullptr, kFaultFor},
        {"link", required_argument, nullptr, kLink},         {"unplugged", no_argument, nullptr, kUnplugged},
        {"log-commands", required_argument, nullptr, kLog},  {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0}};

    Options options;
    for (int opt; (opt = getopt_long(argc, argv, "", longOptions, nullptr)) != -1;) {
        double value = 0;
        std::vector<double> readings;
        switch (opt) {
        case kConstant:
            if (!parseNumber(optarg, value))
                usageError(std::string("not a reading: ") + optarg);
            options.source = constantReading(value);
            options.vary = false;
            break;
        case kList:
            if (!parseList(optarg, readings))
                usageError(std::string("not a list of readings: ") + optarg);
            options.source = readingList(std::move(readings));
            options.vary = false;
            break;
        case kVary:
            options.vary = true;
            break;
        case kSeed:
            if (!parseNumber(optarg, value) || value < 0)
                usageError(std::string("not a seed: ") + optarg);
            options.seed = static_cast<unsigned long>(value);
            break;
        case kFault: {
            const auto fault = faultFromName(optarg);
            if (!fault)
                usageError(std::string("unknown fault: ") + optarg);
            options.fault = *fault;
            break;
        }
        case kFaultFor:
            if (!parseNumber(optarg, value) || value <= 0)
                usageError(std::string("not a number of seconds: ") + optarg);
            options.faultSeconds = value;
            break;
        case kLink:
            options.link = optarg;
            break;
        case kUnplugged:
            options.unplugged = true;
            break;
        case kLog:
            options.commandLog = optarg;
            break;
        case kHelp:
            std::fputs(kUsage, stdout);
            std::exit(0);
        default:
            usageError("unknown option");
        }
    }
    if (optind < argc)
        usageError(std::string("unexpected argument: ") + argv[optind]);
    if (options.unplugged && options.link.empty())
        usageError("--unplugged needs --link");
    if (options.vary)
        options.source = varyingFlow(static_cast<std::uint32_t>(options.seed));
    return options;
}

void announce(const ModuleSimulator& module)
{
    std::printf("%s\n", module.devicePath().c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    Options options = parseOptions(argc, argv);

    // Signals are taken with sigwait() on this thread: no handler runs, so
    // nothing has to be async-signal-safe. Blocked before the serving thread
    // starts, so that thread inherits the mask and never takes them.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        sigaddset(&signals, s);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> commandLog(nullptr, &std::fclose);
    if (!options.commandLog.empty()) {
        commandLog.reset(std::fopen(options.commandLog.c_str(), "w"));
        if (!commandLog) {
            std::perror(options.commandLog.c_str());
            return 1;
        }
    }

    try {
        ModuleSimulator module(std::move(options.source), options.link);
        module.setFault(options.fault);
        if (options.faultSeconds > 0)
            module.limitFault(std::chrono::milliseconds(static_cast<long long>(options.faultSeconds * 1000)));
        if (options.unplugged)
            module.unplug();
        if (commandLog) {
            std::FILE* log = commandLog.get();
            module.setCommandObserver([log](Clock::time_point arrival) {
                const auto us = std::chrono::duration_cast<std::chrono::microseconds>(arrival.time_since_epoch());
                std::fprintf(log, "%lld\n", static_cast<long long>(us.count()));
                std::fflush(log); // readable while the run goes on
            });
        }
        announce(module);

        for (;;) {
            int signal = 0;
            if (sigwait(&signals, &signal) != 0)
                continue;
            if (signal == SIGUSR1) {
                module.unplug();
            } else if (signal == SIGUSR2) {
                module.plugIn();
                announce(module);
            } else {
                break;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tavelin-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
