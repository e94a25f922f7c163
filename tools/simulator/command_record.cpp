#include "command_record.h"

#include <algorithm>

namespace tavelin::sim {

void CommandRecord::noteReceived(std::string_view bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t room = kReceivedLimit - std::min(kReceivedLimit, received_.size());
    received_.append(bytes.substr(0, room));
}

void CommandRecord::noteCommand(Clock::time_point arrival, bool answered, std::optional<double> accepted)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++stats_.commands;
        if (answered)
            ++stats_.answered;
        if (accepted)
            stats_.acceptedReadingSum += *accepted;
        stats_.commandTimes.push_back(arrival);
    }
    changed_.notify_all();
}

void CommandRecord::noteCaughtUp()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (caughtUp_ == stats_.commands)
            return;
        caughtUp_ = stats_.commands;
    }
    changed_.notify_all();
}

CommandStats CommandRecord::stats() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
}

std::string CommandRecord::received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool CommandRecord::waitForCommands(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return stats_.commands >= count; });
}

bool CommandRecord::waitUntilAnswered(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return caughtUp_ >= count; });
}

} // namespace tavelin::sim
