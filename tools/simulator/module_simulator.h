#pragma once
// A simulated acquisition module on a pseudo-terminal. It serves on a thread
// of its own, so it answers while the host's thread is busy in its settle
// delay, and it can be unplugged and plugged back in.
//
//   ModuleSimulator module(constantReading(72), "/tmp/x/module");
//   open module.devicePath() as the serial port, send "$?RD\r",
//   read "*+00072.00\r".

#include "command_record.h"
#include "device_link.h"
#include "fault_mode.h"
#include "module_protocol.h"
#include "pseudo_terminal.h"
#include "reading_source.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tavelin::sim {

class ModuleSimulator {
public:
    using CommandObserver = std::function<void(Clock::time_point arrival)>;

    // Opens the line and starts serving. With a link path, devicePath() is a
    // symbolic link there that follows the module across unplugging.
    // Throws std::system_error when the line or the link cannot be made.
    explicit ModuleSimulator(std::unique_ptr<ReadingSource> source = constantReading(72.0),
                             std::string linkPath = std::string());
    ~ModuleSimulator();
    ModuleSimulator(const ModuleSimulator&) = delete;
    ModuleSimulator& operator=(const ModuleSimulator&) = delete;

    // The path the host opens: the link when there is one, else the slave.
    std::string devicePath() const;
    // The current slave device; empty while unplugged.
    std::string slavePath() const;

    void setFault(Fault fault);
    // The fault ends this long after the first read command it meets; from
    // then on replies are well-formed.
    void limitFault(std::chrono::milliseconds lastsFor);
    // Called on the simulator's thread for each read command, after it is
    // recorded and before it is answered. Keep it short.
    void setCommandObserver(CommandObserver observer);

    // Closes the line: the host's side hangs up, replies not yet sent are
    // dropped, and the link goes away. Returns once that is done.
    void unplug();
    // Opens a fresh line (unplugging first if needed) and points the link at
    // it. Without a link the host has to be told the new slavePath().
    void plugIn();
    bool isPlugged() const;

    CommandStats stats() const { return record_.stats(); }
    // Every byte the host has sent (up to CommandRecord::kReceivedLimit).
    std::string received() const { return record_.received(); }
    bool waitForCommands(std::size_t count, std::chrono::milliseconds timeout) const
    {
        return record_.waitForCommands(count, timeout);
    }
    // Waits until `count` read commands have arrived and everything due for
    // them at once is on the line (a split reply's first part, not its rest).
    bool waitUntilAnswered(std::size_t count, std::chrono::milliseconds timeout) const
    {
        return record_.waitUntilAnswered(count, timeout);
    }
    // Waits until every reply, delayed parts included, has been written to
    // the line; false on timeout.
    bool waitUntilSent(std::chrono::milliseconds timeout);

private:
    struct Pending {
        Clock::time_point due;
        std::string bytes;
    };

    void serve();
    void runOnLoop(std::function<void()> task);
    void runTasks();
    void wake();
    void readFromHost();
    void answerCommand(Clock::time_point arrival);
    void queue(Clock::time_point due, std::string bytes);
    void releaseDue();
    void writeToHost();
    void streamDigits();
    Fault faultAt(Clock::time_point now); // with configMutex_ held
    int pollTimeoutMs() const;
    void closeLine();

    CommandRecord record_;
    std::unique_ptr<DeviceLink> link_;

    mutable std::mutex configMutex_; // guards the members up to the next blank line
    std::unique_ptr<ReadingSource> source_;
    Fault fault_ = Fault::None;
    std::optional<Clock::duration> faultLasts_;
    std::optional<Clock::time_point> faultEnds_;
    CommandObserver observer_;
    std::string slavePath_;
    bool plugged_ = false;

    std::mutex taskMutex_;
    std::vector<std::function<void()>> tasks_;
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};

    // Owned by the serving thread.
    std::unique_ptr<PseudoTerminal> line_;
    bool lineIdle_ = false; // master reported a hang-up: stop polling it
    CommandScanner scanner_;
    std::deque<Pending> pending_;
    std::string outgoing_;
    bool streaming_ = false;     // digits go out whenever the line has room
    std::size_t streamed_ = 0;   // digits sent so far, to keep them in sequence

    std::thread thread_;
};

} // namespace tavelin::sim
