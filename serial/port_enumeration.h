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
//    links left behind by a simulator that ended are skipped.
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

#include <cstdint>
#include <string>
#include <vector>

struct SerialPortEntry {
    std::string name;
    std::uint32_t number = 0;
    std::string path;  // what the engine opens
};

// False when sysClassTty can't be read at all; a missing published folder is simply empty.
bool ListSerialPorts(const std::string& sysClassTty, const std::string& devDir,
                     const std::string& publishedDir, std::vector<SerialPortEntry>* ports);
