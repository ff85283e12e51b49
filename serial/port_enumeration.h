#pragma once
// The list of serial ports the tool offers, and how each is named and numbered. The ports
// themselves come from the platform (platform/system_ports.h: the system's serial devices and
// the ports published by bus simulators); naming and numbering them is decided here alone.
//
// Names: a system port is shown under its device name (ttyUSB0, ttyS0, ttyACM0); a published
// port under the link's file name.
// Numbers (the port number the engine is opened with and reports in every message):
//   ttyS<n> -> 1+n, ttyUSB<n> -> 101+n, ttyACM<n> -> 201+n, any other system port -> 301, 302,
//   ... in name order, a published port -> 901 + the number of its pseudo-terminal, which it
//   keeps while it lives, in every listing of every program. Numbers are unique: when
//   a number is taken already, the next free one above it is used; a port whose number lies in
//   its own family's hundred keeps it against one whose name runs past its hundred (ttyUSB0
//   keeps 101, ttyS100 moves on).
// The list is in ascending number order.
//
// A listing that is given the ports already known keeps their numbers (by device path), so a
// port that appears later never renumbers the others; the newcomer takes the lowest free number
// its name asks for.

#include <cstdint>
#include <set>
#include <vector>

#include "platform/system_ports.h"
#include "serial/serial_port_entry.h"

// Names and numbers the ports found. `known`: ports listed before, whose numbers are kept for
// the same paths; `reserved`: numbers nobody may take. Pure: nothing is read from the system.
std::vector<SerialPortEntry> NumberSerialPorts(const std::vector<SystemPort>& found,
                                               const std::vector<SerialPortEntry>& known,
                                               std::set<std::uint32_t> reserved);

// The ports of `sources`, numbered. False (and no ports) when the system's list can't be read
// at all; a missing published folder is simply empty.
bool ListSerialPorts(const PortSources& sources, std::vector<SerialPortEntry>* ports,
                     const std::vector<SerialPortEntry>& known = {});

// The listing for a port list that is already shown: as ListSerialPorts with `current` as the
// known ports, except that the entry of `current` numbered `pinned` (the open port) stays in the
// list, with its number, even when the system no longer has it. 0 pins nothing. False, with
// *ports untouched, when the system's list can't be read.
bool RelistSerialPorts(const PortSources& sources, const std::vector<SerialPortEntry>& current,
                       std::uint32_t pinned, std::vector<SerialPortEntry>* ports);
