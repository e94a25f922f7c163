#include "module_process.h"

#include "simulator/module_simulator.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <sys/wait.h>
#include <unistd.h>

namespace tavelin::soak {

namespace {

constexpr auto kPatience = std::chrono::seconds(30);

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One line without its line feed; empty at end of input.
std::string readLine(int fd)
{
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}

[[noreturn]] void serveInChild(const std::vector<double>& readings, int commands, int report)
{
    try {
        sim::ModuleSimulator module(sim::readingList(readings));
        writeAll(report, module.devicePath() + "\n");
        const std::size_t sent = std::stoul("0" + readLine(commands));
        module.waitForCommands(sent, kPatience);
        module.waitUntilSent(kPatience);
        const sim::CommandStats stats = module.stats();
        char line[128];
        std::snprintf(line, sizeof line, "%zu %zu %.17g\n", stats.commands, stats.answered,
                      stats.acceptedReadingSum);
        writeAll(report, line);
        _exit(0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "module: %s\n", e.what());
        writeAll(report, "\n");
        _exit(1);
    }
}

} // namespace

ModuleProcess::ModuleProcess(const std::vector<double>& readings)
{
    int down[2], up[2];
    if (pipe(down) != 0)
        return;
    if (pipe(up) != 0) {
        close(down[0]);
        close(down[1]);
        return;
    }
    child_ = fork();
    if (child_ == 0) {
        close(down[1]);
        close(up[0]);
        serveInChild(readings, down[0], up[1]);
    }
    close(down[0]);
    close(up[1]);
    toChild_ = down[1];
    fromChild_ = up[0];
    if (child_ > 0)
        devicePath_ = readLine(fromChild_);
}

ModuleReport ModuleProcess::finish(std::size_t commandsSent)
{
    ModuleReport report;
    if (child_ <= 0)
        return report;
    writeAll(toChild_, std::to_string(commandsSent) + "\n");
    const std::string line = readLine(fromChild_);
    report.ok = std::sscanf(line.c_str(), "%zu %zu %lf", &report.commands, &report.answered,
                            &report.acceptedReadingSum) == 3;
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = -1;
    report.ok = report.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return report;
}

ModuleProcess::~ModuleProcess()
{
    if (toChild_ >= 0)
        close(toChild_);
    if (fromChild_ >= 0)
        close(fromChild_);
    if (child_ > 0) {
        kill(child_, SIGTERM);
        waitpid(child_, nullptr, 0);
    }
}

} // namespace tavelin::soak
