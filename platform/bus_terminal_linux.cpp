#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/bus_terminal.h"

namespace fs = std::filesystem;

namespace {

// The slaves of Unix 98 pseudo-terminals have majors 136..143.
bool IsPseudoTerminalSlave(const struct stat& st) {
    return S_ISCHR(st.st_mode) && ::major(st.st_rdev) >= 136 && ::major(st.st_rdev) <= 143;
}

// Whether any process has the terminal `device` as its controlling terminal: field 7 of
// <proc>/<pid>/stat (tty_nr), after the command name in parentheses.
bool IsControllingTerminal(dev_t device, const std::string& procRoot) {
    std::error_code ec;
    for (fs::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream in(it->path() / "stat");
        std::string line;
        if (!std::getline(in, line)) {
            continue;
        }
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(close + 1));
        std::string state;
        long long ppid = 0, pgrp = 0, session = 0, ttyNr = 0;
        if (fields >> state >> ppid >> pgrp >> session >> ttyNr && ttyNr != 0 &&
            static_cast<dev_t>(ttyNr) == device) {
            return true;
        }
    }
    return false;
}

}  // namespace

BusTerminal ClassifyBusTerminal(const std::string& path, const std::string& procRoot) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return BusTerminal::Missing;
    }
    std::string target = path;
    if (S_ISLNK(st.st_mode)) {
        std::error_code ec;
        fs::path to = fs::read_symlink(path, ec);
        if (ec) {
            return BusTerminal::Missing;
        }
        if (to.is_relative()) {
            to = fs::path(path).parent_path() / to;
        }
        target = to.string();
        if (::lstat(target.c_str(), &st) != 0) {
            return BusTerminal::Missing;
        }
        if (S_ISLNK(st.st_mode)) {
            return BusTerminal::LinkToLink;
        }
    }
    if (!IsPseudoTerminalSlave(st)) {
        return BusTerminal::NotPseudo;
    }
    if (st.st_uid != ::getuid()) {
        return BusTerminal::OtherUser;
    }
    if (IsControllingTerminal(st.st_rdev, procRoot)) {
        return BusTerminal::SomeonesTerminal;
    }
    return BusTerminal::Free;
}

const char* BusTerminalWords(BusTerminal kind) {
    switch (kind) {
        case BusTerminal::Free:
            return "";
        case BusTerminal::NotPseudo:
            return "not a serial port, nor a bus simulator's pseudo-terminal";
        case BusTerminal::OtherUser:
            return "another user's pseudo-terminal";
        case BusTerminal::SomeonesTerminal:
            return "the terminal of a running program, not a bus";
        case BusTerminal::Missing:
            return "a link that leads nowhere: whatever published it has ended";
        case BusTerminal::LinkToLink:
            return "a link to another link";
    }
    return "";
}
