#pragma once
// A stable device path for a host that must find the module again after it
// was unplugged: a symbolic link that is pointed at the current slave device.

#include <string>

namespace tavelin::sim {

class DeviceLink {
public:
    explicit DeviceLink(std::string path) : path_(std::move(path)) {}
    ~DeviceLink() { remove(); }
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Makes the link point at the device, replacing any earlier link in one
    // step, so the path never names a missing device while it is re-pointed.
    // Throws std::system_error on failure.
    void pointTo(const std::string& device);
    // Takes the link away, as unplugging takes the device node away. An old
    // slave number may be handed to another pseudo-terminal later, so the
    // link must not be left dangling.
    void remove();

    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool present_ = false;
};

} // namespace tavelin::sim
