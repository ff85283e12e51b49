#include "serial/port_enumeration.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>
#include <tuple>

#include "platform/message_box.h"
#include "platform/published_ports.h"
#include "serial/serial_port.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kOtherTtyBase = 301;
constexpr std::uint32_t kPublishedBase = 901;

// "ttyUSB12" with prefix "ttyUSB" gives 12; false when the rest isn't all digits.
bool SuffixNumber(const std::string& name, const std::string& prefix, std::uint32_t* n) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.size() - prefix.size() > 6) {
        return false;
    }
    std::uint32_t value = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(name[i] - '0');
    }
    *n = value;
    return true;
}

struct Preferred {
    std::uint32_t number = 0;  // 0: the name's family asks for none
    bool overflows = false;    // beyond its family's hundred (ttyS100 asks for 101)
};

// The number a tty's name asks for.
Preferred PreferredNumber(const std::string& name) {
    static const struct {
        const char* prefix;
        std::uint32_t base;
    } kFamilies[] = {{"ttyUSB", 101}, {"ttyACM", 201}, {"ttyS", 1}};
    for (const auto& family : kFamilies) {
        std::uint32_t n = 0;
        if (SuffixNumber(name, family.prefix, &n)) {
            return {family.base + n, n >= 100};
        }
    }
    return {};
}

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

std::uint32_t TakeNumber(std::set<std::uint32_t>& taken, std::uint32_t wanted) {
    while (taken.count(wanted) != 0) {
        ++wanted;
    }
    taken.insert(wanted);
    return wanted;
}

// The order the list is shown in: ascending port number.
void SortByNumber(std::vector<SerialPortEntry>& ports) {
    std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return a.number < b.number;
    });
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

bool ListPorts(const std::string& sysClassTty, const std::string& devDir,
               const std::string& publishedDir, const std::vector<SerialPortEntry>& known,
               std::set<std::uint32_t> taken, std::vector<SerialPortEntry>* ports) {
    ports->clear();

    std::error_code ec;
    fs::directory_iterator sysIt(sysClassTty, ec);
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
        const std::string devPath = (fs::path(devDir) / name).string();
        if (!IsCharacterDevice(devPath) || IsPlaceholder(entry.path(), devPath)) {
            continue;
        }
        sysNames.push_back(name);
    }
    std::sort(sysNames.begin(), sysNames.end());

    std::vector<std::string> published;
    if (UsePublishedPortsFolder(publishedDir)) {
        fs::directory_iterator pubIt(publishedDir, ec);
        if (!ec) {
            for (const fs::directory_entry& entry : pubIt) {
                if (IsCharacterDevice(entry.path().string())) {
                    published.push_back(entry.path().filename().string());
                }
            }
        }
    }
    std::sort(published.begin(), published.end());

    // Ports listed before keep their numbers; everything else is numbered around them.
    std::set<std::string> kept;
    auto keep = [&](const std::string& name, const std::string& path) {
        for (const SerialPortEntry& old : known) {
            if (old.path == path && taken.insert(old.number).second) {
                ports->push_back({name, old.number, path, {}});
                kept.insert(path);
                return true;
            }
        }
        return false;
    };

    // Named families first: ports within their family's hundred before those beyond it, so
    // that on a clash the one beyond moves; then lowest number first.
    std::vector<std::tuple<bool, std::uint32_t, std::string>> named;
    std::vector<std::string> others;
    for (const std::string& name : sysNames) {
        if (keep(name, (fs::path(devDir) / name).string())) {
            continue;
        }
        if (const Preferred p = PreferredNumber(name); p.number != 0) {
            named.emplace_back(p.overflows, p.number, name);
        } else {
            others.push_back(name);
        }
    }
    std::vector<std::string> newPublished;
    for (const std::string& name : published) {
        if (!keep(name, (fs::path(publishedDir) / name).string())) {
            newPublished.push_back(name);
        }
    }

    std::sort(named.begin(), named.end());
    for (const auto& [overflows, wanted, name] : named) {
        ports->push_back({name, TakeNumber(taken, wanted), (fs::path(devDir) / name).string(), {}});
    }
    for (const std::string& name : others) {
        ports->push_back(
            {name, TakeNumber(taken, kOtherTtyBase), (fs::path(devDir) / name).string(), {}});
    }
    for (const std::string& name : newPublished) {
        ports->push_back({name,
                          TakeNumber(taken, kPublishedBase),
                          (fs::path(publishedDir) / name).string(),
                          {}});
    }

    // USB details for the ports of sysfs (published ones are pseudo-terminals).
    const std::string devPrefix = (fs::path(devDir) / "").string();
    for (SerialPortEntry& port : *ports) {
        if (port.path.rfind(devPrefix, 0) == 0 && port.path.size() > devPrefix.size()) {
            port.usb = ReadUsbPortDetails(sysClassTty, devDir, port.name);
        }
    }

    SortByNumber(*ports);
    return true;
}

}  // namespace

bool ListSerialPorts(const std::string& sysClassTty, const std::string& devDir,
                     const std::string& publishedDir, std::vector<SerialPortEntry>* ports,
                     const std::vector<SerialPortEntry>& known) {
    return ListPorts(sysClassTty, devDir, publishedDir, known, {}, ports);
}

bool RelistSerialPorts(const PortSources& sources, const std::vector<SerialPortEntry>& current,
                       std::uint32_t pinned, std::vector<SerialPortEntry>* ports) {
    const auto pin = std::find_if(current.begin(), current.end(), [pinned](const auto& entry) {
        return pinned != 0 && entry.number == pinned;
    });
    std::set<std::uint32_t> reserved;
    std::vector<SerialPortEntry> known = current;
    if (pin != current.end()) {
        // The open port keeps its number even while the system has it no longer, so nothing
        // new takes it; when it is still there, it is listed with that number as usual.
        reserved.insert(pin->number);
        known.erase(known.begin() + (pin - current.begin()));
    }
    std::vector<SerialPortEntry> listed;
    if (!ListPorts(sources.sysClassTty, sources.devDir, sources.publishedDir, known, reserved,
                   &listed)) {
        return false;
    }
    if (pin != current.end()) {
        const auto again = std::find_if(listed.begin(), listed.end(),
                                        [&](const auto& entry) { return entry.path == pin->path; });
        if (again != listed.end()) {
            // Still there: listed under a fresh number because it was reserved; give it its own.
            again->number = pin->number;
        } else {
            listed.push_back(*pin);
        }
        SortByNumber(listed);
    }
    *ports = std::move(listed);
    return true;
}

UsbPortDetails ReadUsbPortDetails(const std::string& sysClassTty, const std::string& devDir,
                                  const std::string& name) {
    UsbPortDetails details;
    std::error_code ec;
    fs::path dir = fs::canonical(fs::path(sysClassTty) / name / "device", ec);
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
    const fs::path node = fs::canonical(fs::path(devDir) / name, ec);
    if (ec) {
        return details;
    }
    std::vector<std::string> names;
    for (fs::directory_iterator it(fs::path(devDir) / "serial" / "by-id", ec), end;
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

bool CSerialPort::EnumeratePorts() {
    m_ports.clear();
    if (!ListSerialPorts("/sys/class/tty", "/dev", PublishedPortsFolder(), &m_ports)) {
        ShowMessageBox("无法打开键值！", kAppName, MB_OK | MB_ICONWARNING);
        return false;
    }
    return !m_ports.empty();
}
