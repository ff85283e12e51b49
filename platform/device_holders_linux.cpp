#include "platform/device_holders_linux.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool ParsePid(const std::string& text, pid_t* pid) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    *pid = static_cast<pid_t>(std::stol(text));
    return *pid > 0;
}

std::string ProgramName(const fs::path& procRoot, pid_t pid) {
    std::ifstream in(procRoot / std::to_string(pid) / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// The processes holding an advisory lock on the node (st_dev, st_ino). Lines of <proc>/locks:
// "1: FLOCK  ADVISORY  WRITE 1234 00:1a:5 0 EOF" (major:minor in hexadecimal, then the inode).
std::vector<pid_t> LockHolders(const fs::path& procRoot, const struct stat& node) {
    std::vector<pid_t> pids;
    std::ifstream in(procRoot / "locks");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string ordinal, kind, mode, access, pidText, where;
        if (!(fields >> ordinal >> kind)) {
            continue;
        }
        if (kind == "->") {  // a waiter on the lock above
            continue;
        }
        if (!(fields >> mode >> access >> pidText >> where)) {
            continue;
        }
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        pid_t pid = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 &&
            ParsePid(pidText, &pid) && major == ::major(node.st_dev) &&
            minor == ::minor(node.st_dev) && inode == node.st_ino) {
            pids.push_back(pid);
        }
    }
    return pids;
}

}  // namespace

std::vector<DeviceHolder> FindDeviceHolders(const std::string& devicePath,
                                            const std::string& procRoot) {
    std::vector<DeviceHolder> holders;
    struct stat node {};
    if (::stat(devicePath.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) {
        return holders;
    }
    std::error_code pathEc;
    const fs::path target = fs::canonical(devicePath, pathEc);
    if (pathEc) {
        return holders;
    }
    const fs::path proc(procRoot);
    const std::vector<pid_t> lockers = LockHolders(proc, node);

    std::error_code ec;
    for (fs::directory_iterator it(proc, ec), end; !ec && it != end; it.increment(ec)) {
        pid_t pid = 0;
        if (!ParsePid(it->path().filename().string(), &pid)) {
            continue;
        }
        bool holds = false;
        std::error_code fdEc;
        for (fs::directory_iterator fd(it->path() / "fd", fdEc), fdEnd; !fdEc && fd != fdEnd;
             fd.increment(fdEc)) {
            // The link's text names what is open; reading it never touches the target, so a
            // descriptor on a stuck file system can't hang the scan.
            std::error_code linkEc;
            if (fs::read_symlink(fd->path(), linkEc) == target && !linkEc) {
                holds = true;
                break;
            }
        }
        const bool locks = std::find(lockers.begin(), lockers.end(), pid) != lockers.end();
        if (holds || locks) {
            holders.push_back({pid, ProgramName(proc, pid), locks});
        }
    }
    // A lock holder whose process list entry was passed over still counts.
    for (const pid_t pid : lockers) {
        if (std::none_of(holders.begin(), holders.end(),
                         [pid](const DeviceHolder& h) { return h.pid == pid; })) {
            holders.push_back({pid, ProgramName(proc, pid), true});
        }
    }
    std::sort(holders.begin(), holders.end(), [](const DeviceHolder& a, const DeviceHolder& b) {
        return a.holdsLock != b.holdsLock ? a.holdsLock : a.pid < b.pid;
    });
    return holders;
}
