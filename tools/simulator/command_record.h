#pragma once
// What the simulated module has seen and sent, safe to read from any thread
// while it serves: for tests that check the host's traffic and for
// benchmarks that time the host's read commands.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin::sim {

using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC on Linux

struct CommandStats {
    std::size_t commands = 0;      // read commands received
    std::size_t answered = 0;      // of those, answered with at least one byte
    double acceptedReadingSum = 0; // sum of the readings a correct host takes
    std::vector<Clock::time_point> commandTimes; // arrival of each read command
};

class CommandRecord {
public:
    // Raw bytes from the host are kept up to this many, for inspection.
    static constexpr std::size_t kReceivedLimit = 64 * 1024;

    void noteReceived(std::string_view bytes);
    void noteCommand(Clock::time_point arrival, bool answered, std::optional<double> accepted);
    // Every byte due so far, for all commands received so far, is on the line.
    void noteCaughtUp();

    CommandStats stats() const;
    std::string received() const;
    // Waits until at least `count` read commands have arrived; false on timeout.
    bool waitForCommands(std::size_t count, std::chrono::milliseconds timeout) const;
    // Waits until at least `count` read commands have arrived and what was
    // due for them at once has been written; false on timeout.
    bool waitUntilAnswered(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    CommandStats stats_;
    std::size_t caughtUp_ = 0; // commands whose immediate answer is on the line
    std::string received_;
};

} // namespace tavelin::sim
