#pragma once
// One serial port as the program lists it: the name shown, the number the engine is opened with
// and reports in every message, the device path it opens, and what a USB adapter says about
// itself. The engine's port list, the window's and the command-line tool's are lists of these
// (serial/port_enumeration.h says how names and numbers are given).

#include <cstdint>
#include <string>

#include "platform/system_ports.h"

struct SerialPortEntry {
    std::string name;
    std::uint32_t number = 0;
    std::string path;    // what the engine opens
    UsbPortDetails usb;  // empty for ports that aren't on USB
};
