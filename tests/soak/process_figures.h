#pragma once
// This process's resident memory and open file descriptors, from /proc.

#include <dirent.h>

#include <fstream>
#include <string>

namespace tavelin::soak {

// VmRSS in kB; -1 when /proc does not tell.
inline long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = -1;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Entries of /proc/self/fd, not counting the one that lists them.
inline int openDescriptors()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(dir);
    return count - 1;
}

} // namespace tavelin::soak
