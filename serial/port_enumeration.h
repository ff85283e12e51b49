#pragma once
// The list of serial ports the tool offers, and how each is named and numbered.
//
// Sources:
//  - every tty in sysfs (<sysClassTty>/<name>) that has a `device` link and a node
//    <devDir>/<name>, except placeholder 8250 ports with no UART behind them (`type` 0, or,
//    where sysfs has no `type`, TIOCGSERIAL reporting PORT_UNKNOWN): USB adapters (ttyUSB),
//    modems and CDC adapters (ttyACM) and real on-board ports (ttyS);
//  - every entry of the published-ports folder that leads to a character device: the symbolic
//    links through which bus simulators (and tests) publish their pseudo-terminals. Dangling
//    links left behind by a simulator that ended are skipped. A folder that is not private to
//    the user (see platform/published_ports.h) gives no ports.
//
// Names: a sysfs port is shown under its name in /dev (ttyUSB0, ttyS0, ttyACM0); a published
// port under the link's file name.
// Numbers (the port number the engine is opened with and reports in every message):
//   ttyS<n> -> 1+n, ttyUSB<n> -> 101+n, ttyACM<n> -> 201+n, any other sysfs tty -> 301, 302, ...
//   in name order, published ports -> 901, 902, ... in name order. Numbers are unique: when a
//   number is taken already, the next free one above it is used; a port whose number lies in
//   its own family's hundred keeps it against one whose name runs past its hundred (ttyUSB0
//   keeps 101, ttyS100 moves on).
// The list is in ascending number order.
//
// A listing that is given the ports already known keeps their numbers (by device path), so a
// port that appears later never renumbers the others; the newcomer takes the lowest free number
// its name asks for.

#include <cstdint>
#include <string>
#include <vector>

#include "serial/serial_port_entry.h"

// Where the ports are listed from: the real system, or a fake tree in tests.
struct PortSources {
    std::string sysClassTty = "/sys/class/tty";
    std::string devDir = "/dev";
    std::string publishedDir;  // the published-ports folder
};

// False when sysClassTty can't be read at all; a missing published folder is simply empty.
// `known`: ports listed before, whose numbers are kept for the same paths.
bool ListSerialPorts(const std::string& sysClassTty, const std::string& devDir,
                     const std::string& publishedDir, std::vector<SerialPortEntry>* ports,
                     const std::vector<SerialPortEntry>& known = {});

// The listing for a port list that is already shown: as ListSerialPorts with `current` as the
// known ports, except that the entry of `current` numbered `pinned` (the open port) stays in the
// list, with its number, even when the system no longer has it. 0 pins nothing.
bool RelistSerialPorts(const PortSources& sources, const std::vector<SerialPortEntry>& current,
                       std::uint32_t pinned, std::vector<SerialPortEntry>* ports);

// Details of the tty `name` from <sysClassTty>/<name>/device, looking up to a few levels above it
// for the USB device (the first folder holding idVendor), and the link in <devDir>/serial/by-id
// that leads to <devDir>/<name>.
UsbPortDetails ReadUsbPortDetails(const std::string& sysClassTty, const std::string& devDir,
                                  const std::string& name);
