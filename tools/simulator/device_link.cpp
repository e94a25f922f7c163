#include "device_link.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <unistd.h>

namespace tavelin::sim {

void DeviceLink::pointTo(const std::string& device)
{
    // rename() replaces the old link atomically; a fresh temporary name per
    // process keeps two simulators from colliding.
    const std::string temporary = path_ + ".new." + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (::symlink(device.c_str(), temporary.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(), "symlink " + temporary);
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw std::system_error(error, std::generic_category(), "rename to " + path_);
    }
    present_ = true;
}

void DeviceLink::remove()
{
    if (present_)
        ::unlink(path_.c_str());
    present_ = false;
}

} // namespace tavelin::sim
