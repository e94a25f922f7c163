#include "module_simulator.h"

#include <algorithm>
#include <cerrno>
#include <future>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace tavelin::sim {

namespace {
// A host that stops reading must not make the simulator hoard replies.
constexpr std::size_t kOutgoingLimit = 64 * 1024;
} // namespace

ModuleSimulator::ModuleSimulator(std::unique_ptr<ReadingSource> source, std::string linkPath)
    : source_(std::move(source))
{
    if (!linkPath.empty())
        link_ = std::make_unique<DeviceLink>(std::move(linkPath));
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ == -1)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    try {
        line_ = std::make_unique<PseudoTerminal>();
        if (link_)
            link_->pointTo(line_->slavePath());
    } catch (...) {
        close(wakeFd_);
        throw;
    }
    slavePath_ = line_->slavePath();
    plugged_ = true;
    thread_ = std::thread([this] { serve(); });
}

ModuleSimulator::~ModuleSimulator()
{
    stopping_ = true;
    wake();
    thread_.join();
    close(wakeFd_);
}

std::string ModuleSimulator::devicePath() const
{
    if (link_)
        return link_->path();
    return slavePath();
}

std::string ModuleSimulator::slavePath() const
{
    std::lock_guard<std::mutex> lock(configMutex_);
    return plugged_ ? slavePath_ : std::string();
}

void ModuleSimulator::setFault(Fault fault)
{
    std::lock_guard<std::mutex> lock(configMutex_);
    fault_ = fault;
}

void ModuleSimulator::limitFault(std::chrono::milliseconds lastsFor)
{
    std::lock_guard<std::mutex> lock(configMutex_);
    faultLasts_ = lastsFor;
    faultEnds_.reset();
}

Fault ModuleSimulator::faultAt(Clock::time_point now)
{
    if (faultEnds_ && now >= *faultEnds_) {
        fault_ = Fault::None;
        faultLasts_.reset();
        faultEnds_.reset();
    }
    return fault_;
}

void ModuleSimulator::setCommandObserver(CommandObserver observer)
{
    std::lock_guard<std::mutex> lock(configMutex_);
    observer_ = std::move(observer);
}

bool ModuleSimulator::isPlugged() const
{
    std::lock_guard<std::mutex> lock(configMutex_);
    return plugged_;
}

void ModuleSimulator::unplug()
{
    runOnLoop([this] { closeLine(); });
}

void ModuleSimulator::plugIn()
{
    runOnLoop([this] {
        closeLine();
        line_ = std::make_unique<PseudoTerminal>();
        if (link_)
            link_->pointTo(line_->slavePath());
        std::lock_guard<std::mutex> lock(configMutex_);
        slavePath_ = line_->slavePath();
        plugged_ = true;
    });
}

bool ModuleSimulator::waitUntilSent(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        bool sent = false;
        runOnLoop([&] { sent = pending_.empty() && outgoing_.empty(); });
        if (sent)
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs the task on the serving thread, which owns the line, and waits for it.
// Exceptions thrown by the task come back to the caller.
void ModuleSimulator::runOnLoop(std::function<void()> task)
{
    std::packaged_task<void()> job(std::move(task));
    std::future<void> done = job.get_future();
    {
        std::lock_guard<std::mutex> lock(taskMutex_);
        tasks_.emplace_back([&job] { job(); });
    }
    wake();
    done.get();
}

void ModuleSimulator::runTasks()
{
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard<std::mutex> lock(taskMutex_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks)
        task();
}

void ModuleSimulator::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

void ModuleSimulator::serve()
{
    while (!stopping_) {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {-1, 0, 0}};
        if (line_ && !lineIdle_)
            fds[1] = {line_->masterFd(),
                      static_cast<short>(POLLIN | (outgoing_.empty() && !streaming_ ? 0 : POLLOUT)), 0};
        if (poll(fds, 2, pollTimeoutMs()) < 0 && errno != EINTR)
            break;

        if (fds[1].revents & POLLIN)
            readFromHost();
        if (fds[1].revents & (POLLHUP | POLLERR) && !(fds[1].revents & POLLIN))
            lineIdle_ = true; // nothing more will come until the next plug-in
        releaseDue();
        writeToHost();
        const bool somethingDue = !pending_.empty() && pending_.front().due <= Clock::now();
        if (outgoing_.empty() && !somethingDue)
            record_.noteCaughtUp();

        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(wakeFd_, &count, sizeof count);
            runTasks();
        }
    }
    runTasks(); // nobody may be left waiting on a task
}

void ModuleSimulator::readFromHost()
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(line_->masterFd(), buffer, sizeof buffer);
        if (got <= 0) {
            if (got == 0 || (errno != EAGAIN && errno != EINTR))
                lineIdle_ = true;
            return;
        }
        const Clock::time_point arrival = Clock::now();
        const std::string_view bytes(buffer, static_cast<std::size_t>(got));
        record_.noteReceived(bytes);
        for (int commands = scanner_.feed(bytes); commands > 0; --commands)
            answerCommand(arrival);
    }
}

void ModuleSimulator::answerCommand(Clock::time_point arrival)
{
    Answer answer;
    CommandObserver observer;
    {
        std::lock_guard<std::mutex> lock(configMutex_);
        if (faultLasts_ && !faultEnds_)
            faultEnds_ = arrival + *faultLasts_;
        answer = shapeAnswer(faultAt(arrival), source_ ? source_->next() : 0.0);
        observer = observer_;
    }
    streaming_ = streaming_ || answer.streams;
    record_.noteCommand(arrival, !answer.chunks.empty(), answer.accepted);
    if (observer)
        observer(arrival);
    for (Chunk& chunk : answer.chunks)
        queue(arrival + chunk.delay, std::move(chunk.bytes));
}

// Bytes leave in the order they were queued, as from a real module's UART:
// a reply never overtakes the delayed rest of an earlier one.
void ModuleSimulator::queue(Clock::time_point due, std::string bytes)
{
    if (!pending_.empty())
        due = std::max(due, pending_.back().due);
    pending_.push_back({due, std::move(bytes)});
}

void ModuleSimulator::releaseDue()
{
    const Clock::time_point now = Clock::now();
    while (!pending_.empty() && pending_.front().due <= now) {
        if (outgoing_.size() + pending_.front().bytes.size() <= kOutgoingLimit)
            outgoing_ += pending_.front().bytes; // else dropped, as on an overrun
        pending_.pop_front();
    }
}

void ModuleSimulator::writeToHost()
{
    if (!line_ || lineIdle_) {
        outgoing_.clear(); // nobody is listening on a hung-up line
        return;
    }
    while (!outgoing_.empty()) {
        const ssize_t put = write(line_->masterFd(), outgoing_.data(), outgoing_.size());
        if (put <= 0)
            return; // full for now: POLLOUT tells when to go on
        outgoing_.erase(0, static_cast<std::size_t>(put));
    }
    if (streaming_)
        streamDigits();
}

// Fills the line with digits for as long as the endless fault lasts.
void ModuleSimulator::streamDigits()
{
    {
        std::lock_guard<std::mutex> lock(configMutex_);
        streaming_ = faultAt(Clock::now()) == Fault::Endless;
    }
    static const std::string kDigits = [] {
        std::string digits;
        for (int i = 0; i < 4096 + 10; ++i)
            digits.push_back(static_cast<char>('0' + i % 10));
        return digits;
    }();
    while (streaming_) {
        const ssize_t put = write(line_->masterFd(), kDigits.data() + streamed_ % 10, 4096);
        if (put <= 0)
            return; // full for now: POLLOUT tells when to go on
        streamed_ += static_cast<std::size_t>(put);
    }
}

int ModuleSimulator::pollTimeoutMs() const
{
    if (pending_.empty())
        return -1;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(pending_.front().due - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count()));
}

void ModuleSimulator::closeLine()
{
    if (link_)
        link_->remove();
    line_.reset();
    lineIdle_ = false;
    scanner_ = CommandScanner();
    pending_.clear();
    outgoing_.clear();
    streaming_ = false;
    std::lock_guard<std::mutex> lock(configMutex_);
    plugged_ = false;
}

} // namespace tavelin::sim
