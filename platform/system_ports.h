#pragma once
// The serial ports the system has, as the platform finds them; how they are named and numbered
// is decided above this (serial/port_enumeration.h).
//
// On Linux (system_ports_linux.cpp) they come from
//  - every tty in sysfs (<systemTree>/<name>) that has a `device` link and a node
//    <deviceDir>/<name>, except placeholder 8250 ports with no UART behind them (`type` 0, or,
//    where sysfs has no `type`, TIOCGSERIAL reporting PORT_UNKNOWN): USB adapters (ttyUSB),
//    modems and CDC adapters (ttyACM) and real on-board ports (ttyS);
//  - every entry of the published-ports folder that is a bus (platform/bus_terminal.h): the
//    symbolic links through which bus simulators (and tests) publish their pseudo-terminals.
//    A link that leads nowhere (a simulator that ended), to someone's terminal (its number given
//    to a shell since), to /dev/tty, /dev/null, /dev/ptmx or to another link is skipped. A
//    folder that is not private to the user (see platform/published_ports.h) gives no ports.

#include <optional>
#include <string>
#include <vector>

// What a USB adapter says about itself (the attributes of its USB device), and its stable name
// (on Linux, its link in <deviceDir>/serial/by-id). All empty for ports that aren't on USB.
struct UsbPortDetails {
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::string byId;

    bool Empty() const {
        return manufacturer.empty() && product.empty() && serial.empty() && byId.empty();
    }
};

// One port found.
struct SystemPort {
    std::string name;        // the device's name (ttyUSB0), or the published link's file name
    std::string path;        // what the engine opens
    bool published = false;  // from the published-ports folder
    UsbPortDetails usb;
    // A published port: the number of its pseudo-terminal, which it keeps while it lives.
    std::optional<unsigned> terminalNumber;
};

// Where the ports are listed from: the machine's own places (SystemPortSources), or a fake tree
// in tests.
struct PortSources {
    std::string systemTree;    // where the system lists its serial devices (Linux: /sys/class/tty)
    std::string deviceDir;     // where their device nodes are (Linux: /dev)
    std::string publishedDir;  // the published-ports folder
};

// The machine's own places, with PublishedPortsFolder().
PortSources SystemPortSources();

// The ports found: the system's own in name order, then the published ones in name order.
// False (and no ports) when the system's list can't be read at all; a missing published folder
// is simply empty.
bool ListSystemPorts(const PortSources& sources, std::vector<SystemPort>* ports);

// Why `path` can't be a port, in a few words; empty when it can: a serial device the system
// lists, or a pseudo-terminal that is a bus. For a path a user names that no listing has.
std::string WhyNotAPort(const std::string& path);
