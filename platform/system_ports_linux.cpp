#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/bus_terminal.h"
#include "platform/published_ports.h"
#include "platform/system_ports.h"

namespace fs = std::filesystem;

namespace {

// An 8250 port that the kernel registered with no UART found behind it.
bool IsPlaceholder(const fs::path& sysEntry, const std::string& devPath) {
    std::ifstream typeFile(sysEntry / "type");
    int type = -1;
    if (typeFile >> type) {
        return type == 0;
    }
    if (sysEntry.filename().string().rfind("ttyS", 0) != 0) {
        return false;
    }
    const int fd = ::open(devPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;  // can't tell: list it, opening it will say what is wrong
    }
    serial_struct info{};
    const bool unknown = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    ::close(fd);
    return unknown;
}

bool IsCharacterDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// The first line of a sysfs attribute, without control characters and cut to a sane length:
// the strings come from the device and may hold anything.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line)) {
        return {};
    }
    std::string clean;
    for (const char c : line) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            clean.push_back(c);
        }
    }
    while (!clean.empty() && clean.back() == ' ') {
        clean.pop_back();
    }
    constexpr std::size_t kMaxAttribute = 128;
    if (clean.size() > kMaxAttribute) {
        clean.resize(kMaxAttribute);
    }
    return clean;
}

// Details of the tty `name` from <systemTree>/<name>/device, looking up to a few levels above it
// for the USB device (the first folder holding idVendor), and the link in
// <deviceDir>/serial/by-id that leads to <deviceDir>/<name>.
UsbPortDetails ReadUsbPortDetails(const std::string& systemTree, const std::string& deviceDir,
                                  const std::string& name) {
    UsbPortDetails details;
    std::error_code ec;
    fs::path dir = fs::canonical(fs::path(systemTree) / name / "device", ec);
    if (ec) {
        return details;
    }
    // ttyUSB: device -> interface -> USB device; ttyACM: device is the interface.
    constexpr int kLevelsUp = 5;
    bool usb = false;
    for (int level = 0; level <= kLevelsUp && !dir.empty(); ++level) {
        if (fs::exists(dir / "idVendor", ec)) {
            details.manufacturer = ReadAttribute(dir / "manufacturer");
            details.product = ReadAttribute(dir / "product");
            details.serial = ReadAttribute(dir / "serial");
            usb = true;
            break;
        }
        if (dir == dir.parent_path()) {
            break;
        }
        dir = dir.parent_path();
    }
    if (!usb) {
        return details;
    }
    const fs::path node = fs::canonical(fs::path(deviceDir) / name, ec);
    if (ec) {
        return details;
    }
    std::vector<std::string> names;
    for (fs::directory_iterator it(fs::path(deviceDir) / "serial" / "by-id", ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        if (fs::canonical(it->path(), linkEc) == node && !linkEc) {
            names.push_back(it->path().filename().string());
        }
    }
    if (!names.empty()) {
        std::sort(names.begin(), names.end());
        details.byId = names.front();
    }
    return details;
}

}  // namespace

PortSources SystemPortSources() {
    return {"/sys/class/tty", "/dev", PublishedPortsFolder()};
}

bool ListSystemPorts(const PortSources& sources, std::vector<SystemPort>* ports) {
    ports->clear();

    std::error_code ec;
    fs::directory_iterator sysIt(sources.systemTree, ec);
    if (ec) {
        return false;
    }
    std::vector<std::string> sysNames;
    for (const fs::directory_entry& entry : sysIt) {
        const std::string name = entry.path().filename().string();
        std::error_code linkEc;
        if (!fs::exists(fs::symlink_status(entry.path() / "device", linkEc))) {
            continue;  // virtual terminals, pseudo-terminal masters, the console
        }
        const std::string devPath = (fs::path(sources.deviceDir) / name).string();
        if (!IsCharacterDevice(devPath) || IsPlaceholder(entry.path(), devPath)) {
            continue;
        }
        sysNames.push_back(name);
    }
    std::sort(sysNames.begin(), sysNames.end());

    std::vector<std::pair<std::string, unsigned>> published;
    if (UsePublishedPortsFolder(sources.publishedDir)) {
        fs::directory_iterator pubIt(sources.publishedDir, ec);
        if (!ec) {
            for (const fs::directory_entry& entry : pubIt) {
                const std::string path = entry.path().string();
                struct stat st {};
                if (ClassifyBusTerminal(path) == BusTerminal::Free &&
                    ::stat(path.c_str(), &st) == 0) {
                    // Unix 98 pseudo-terminals: majors 136.. hold 256 minors each.
                    const unsigned number = (::major(st.st_rdev) - 136) * 256 + ::minor(st.st_rdev);
                    published.emplace_back(entry.path().filename().string(), number);
                }
            }
        }
    }
    std::sort(published.begin(), published.end());

    for (const std::string& name : sysNames) {
        ports->push_back({name, (fs::path(sources.deviceDir) / name).string(), false,
                          ReadUsbPortDetails(sources.systemTree, sources.deviceDir, name),
                          std::nullopt});
    }
    for (const auto& [name, number] : published) {
        ports->push_back(
            {name, (fs::path(sources.publishedDir) / name).string(), true, {}, number});
    }
    return true;
}

std::string WhyNotAPort(const std::string& path) {
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    if (ec) {
        return "nothing there";
    }
    // A serial device the system lists: its node in /dev has a tty entry with a device.
    const fs::path entry = fs::path("/sys/class/tty") / device.filename();
    if (device.parent_path() == "/dev" && IsCharacterDevice(device.string()) &&
        fs::exists(fs::symlink_status(entry / "device", ec))) {
        return {};
    }
    const BusTerminal kind = ClassifyBusTerminal(path);
    return kind == BusTerminal::Free ? std::string() : BusTerminalWords(kind);
}
