#include "serial/port_enumeration.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

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

}  // namespace

std::vector<SerialPortEntry> NumberSerialPorts(const std::vector<SystemPort>& found,
                                               const std::vector<SerialPortEntry>& known,
                                               std::set<std::uint32_t> taken) {
    // Each group in name order, whatever order the platform gave.
    std::vector<const SystemPort*> system;
    std::vector<const SystemPort*> published;
    for (const SystemPort& port : found) {
        (port.published ? published : system).push_back(&port);
    }
    const auto byName = [](const SystemPort* a, const SystemPort* b) { return a->name < b->name; };
    std::stable_sort(system.begin(), system.end(), byName);
    std::stable_sort(published.begin(), published.end(), byName);

    std::vector<SerialPortEntry> ports;
    // Ports listed before keep their numbers; everything else is numbered around them.
    auto keep = [&](const SystemPort& port) {
        for (const SerialPortEntry& old : known) {
            if (old.path == port.path && taken.insert(old.number).second) {
                ports.push_back({port.name, old.number, port.path, port.usb});
                return true;
            }
        }
        return false;
    };

    // Named families first: ports within their family's hundred before those beyond it, so
    // that on a clash the one beyond moves; then lowest number first.
    std::vector<std::tuple<bool, std::uint32_t, std::string, const SystemPort*>> named;
    std::vector<const SystemPort*> others;
    for (const SystemPort* port : system) {
        if (keep(*port)) {
            continue;
        }
        if (const Preferred p = PreferredNumber(port->name); p.number != 0) {
            named.emplace_back(p.overflows, p.number, port->name, port);
        } else {
            others.push_back(port);
        }
    }
    std::vector<const SystemPort*> newPublished;
    for (const SystemPort* port : published) {
        if (!keep(*port)) {
            newPublished.push_back(port);
        }
    }

    std::sort(named.begin(), named.end());
    for (const auto& [overflows, wanted, name, port] : named) {
        ports.push_back({name, TakeNumber(taken, wanted), port->path, port->usb});
    }
    for (const SystemPort* port : others) {
        ports.push_back({port->name, TakeNumber(taken, kOtherTtyBase), port->path, port->usb});
    }
    // A published port's number follows from its pseudo-terminal, so it is the same in every
    // listing while the port lives, whatever appears or goes beside it.
    for (const SystemPort* port : newPublished) {
        const std::uint32_t wanted = kPublishedBase + port->terminalNumber.value_or(0);
        ports.push_back({port->name, TakeNumber(taken, wanted), port->path, port->usb});
    }
    SortByNumber(ports);
    return ports;
}

bool ListSerialPorts(const PortSources& sources, std::vector<SerialPortEntry>* ports,
                     const std::vector<SerialPortEntry>& known) {
    ports->clear();
    std::vector<SystemPort> found;
    if (!ListSystemPorts(sources, &found)) {
        return false;
    }
    *ports = NumberSerialPorts(found, known, {});
    return true;
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
    std::vector<SystemPort> found;
    if (!ListSystemPorts(sources, &found)) {
        return false;
    }
    std::vector<SerialPortEntry> listed = NumberSerialPorts(found, known, reserved);
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
