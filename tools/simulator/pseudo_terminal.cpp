#include "pseudo_terminal.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace tavelin::sim {

namespace {
[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }
} // namespace

PseudoTerminal::PseudoTerminal()
{
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0)
        fail("openpty");
    slavePath_ = name;

    const int flags = fcntl(master_, F_GETFL);
    if (flags == -1 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) == -1
        || fcntl(master_, F_SETFD, FD_CLOEXEC) == -1 || fcntl(slave_, F_SETFD, FD_CLOEXEC) == -1) {
        const int error = errno;
        close(master_);
        close(slave_);
        errno = error;
        fail("fcntl on pseudo-terminal");
    }
}

PseudoTerminal::~PseudoTerminal()
{
    // Closing the master hangs up the host's side of the line.
    close(slave_);
    close(master_);
}

} // namespace tavelin::sim
