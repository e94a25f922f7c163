#pragma once
// A pseudo-terminal pair standing in for the module's serial line: the host
// opens the slave device, the simulator talks on the master.

#include <string>

namespace tavelin::sim {

class PseudoTerminal {
public:
    // Opens a new pair with the slave in raw mode, so bytes pass unchanged.
    // Throws std::system_error when the system has no pseudo-terminal left.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Non-blocking master side.
    int masterFd() const { return master_; }
    // The slave's device path, e.g. "/dev/pts/7".
    const std::string& slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    // Held open for the pair's lifetime: without any slave descriptor the
    // master reports a hang-up until the host opens the device.
    int slave_ = -1;
    std::string slavePath_;
};

} // namespace tavelin::sim
