#pragma once
// Which programs hold a device open: the scan behind "the port is busy, and this is who has it".
// The advisory lock that exclusive openers take is looked up in <proc>/locks; every process's
// open descriptors are looked at in <proc>/<pid>/fd. Processes whose descriptors can't be read
// (another user's, without the right to look) are passed over. Only platform's Linux sources
// (and tests) include this header.

#include <sys/types.h>

#include <string>
#include <vector>

struct DeviceHolder {
    pid_t pid = 0;
    std::string name;        // the program's name (<proc>/<pid>/comm); empty when unknown
    bool holdsLock = false;  // holds the advisory lock that makes the open exclusive
};

// The holders of the character device at `devicePath` (links followed), the lock holder first,
// then by process id. Empty when the device can't be looked at or nobody holds it.
std::vector<DeviceHolder> FindDeviceHolders(const std::string& devicePath,
                                            const std::string& procRoot = "/proc");
