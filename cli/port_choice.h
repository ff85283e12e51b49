#pragma once
// Which serial port --port means: the name that `orvalctl ports` (and the window) lists, the
// port's number, or a device path. The list is the window's: sysfs ports and the ports
// published in the published-ports folder.

#include <optional>
#include <string>
#include <vector>

#include "serial/port_enumeration.h"

// The ports as the window lists them at start-up. False when sysfs can't be read.
bool ListPortsLikeTheWindow(std::vector<SerialPortEntry>* ports);

// A device path that the list lacks is opened under this number, which no listed family uses.
inline constexpr std::uint32_t kUnlistedPortNumber = 900;

// The entry `choice` names: a listed name first, then a listed number, then a path (anything with
// a '/'), matched against the listed paths or, when none matches, taken as it is under
// kUnlistedPortNumber when it is a serial device or a bus's pseudo-terminal. Nothing for a name
// or number that is not listed, or a path that is no port; *why then says why.
std::optional<SerialPortEntry> ChoosePort(const std::string& choice,
                                          const std::vector<SerialPortEntry>& ports,
                                          std::string* why = nullptr);
