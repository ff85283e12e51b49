#pragma once
// One serial port as the program lists it: the name shown, the number the engine is opened with
// and reports in every message, the device path it opens, and what a USB adapter says about
// itself. The engine's port list, the window's and the command-line tool's are lists of these
// (serial/port_enumeration.h says how names and numbers are given).

#include <cstdint>
#include <string>

// What a USB adapter says about itself (sysfs attributes of its USB device), and its stable
// name in <devDir>/serial/by-id. All empty for ports that aren't on USB.
struct UsbPortDetails {
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::string byId;

    bool Empty() const {
        return manufacturer.empty() && product.empty() && serial.empty() && byId.empty();
    }
};

struct SerialPortEntry {
    std::string name;
    std::uint32_t number = 0;
    std::string path;  // what the engine opens
    UsbPortDetails usb;
};
