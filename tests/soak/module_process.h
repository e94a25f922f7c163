#pragma once
// The simulated module in a child process of its own, so that the soak's
// memory and descriptor figures are the host's alone.

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavelin::soak {

struct ModuleReport {
    std::size_t commands = 0;      // read commands the module received
    std::size_t answered = 0;      // of those, answered
    double acceptedReadingSum = 0; // the module's own sum of what it sent
    bool ok = false;
};

class ModuleProcess {
public:
    // Forks a module that draws its readings from the list in turn. Call
    // before the process starts any thread.
    explicit ModuleProcess(const std::vector<double>& readings);
    ~ModuleProcess();
    ModuleProcess(const ModuleProcess&) = delete;
    ModuleProcess& operator=(const ModuleProcess&) = delete;

    // The pseudo-terminal to open; empty when the module did not start.
    const std::string& devicePath() const { return devicePath_; }
    // Tells the module how many commands were sent, lets it wait for them,
    // and collects its figures; the child has ended afterwards.
    ModuleReport finish(std::size_t commandsSent);

private:
    pid_t child_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string devicePath_;
};

} // namespace tavelin::soak
