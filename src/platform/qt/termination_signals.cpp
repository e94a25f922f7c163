#include "termination_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tavelin {

namespace {
int signalPipe[2] = {-1, -1};

void writeToPipe(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1); // async-signal-safe, never blocks
}
} // namespace

void catchTerminationSignals()
{
    if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = writeToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

void onTerminationSignal(QObject* context, std::function<void()> handler)
{
    onTerminationSignal(context, [handler = std::move(handler)](int) { handler(); });
}

void onTerminationSignal(QObject* context, std::function<void(int signal)> handler)
{
    catchTerminationSignals();
    if (signalPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [handler = std::move(handler)] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1)
            handler(static_cast<unsigned char>(byte));
    });
}

} // namespace tavelin
