#pragma once
// A commissioning project: the plan of one bus. For each device its model, its bus address, a
// label that says where it is ("3F 会议室 门口"), the identity it showed last (the four bytes of
// its search answer or address request) and, for a TARVO panel, the key configuration the TARVO
// page holds for "写入". Plus the line settings of the bus. The project file
// (project/project_file.h) holds a plan; the runs hold it against the bus.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/device_models.h"
#include "bus/tarvo_config.h"
#include "session/key_config_sequence.h"
#include "session/key_config_words.h"

// The four state bytes of a search answer (0xFE), which are also the identity bytes of the
// device's address request (0x21): frame bytes 6..9.
using DeviceIdentity = std::array<std::uint8_t, 4>;

// "54 A0 00 02".
std::string FormatIdentity(const DeviceIdentity& identity);

// The line settings of the bus, as the window's port panel lists them: a rate of its list and
// the indices of its data-bits, stop-bits and parity lists (bus/line_settings.h).
struct ProjectLine {
    std::uint32_t baud = 9600;
    unsigned dataBitsIndex = 0;  // "8"
    unsigned stopBitsIndex = 0;  // "1"
    unsigned parityIndex = 0;    // "none"

    bool operator==(const ProjectLine&) const = default;
    // Bits a character takes on the line: start, data, parity and stop bits (1.5 counts as 2).
    unsigned BitsPerCharacter() const;
};

// A panel's key configuration as planned.
struct PlannedKeyConfig : KeyConfigInWords {
    // What a panel read back, as a plan would hold it (code sets as hexadecimal text).
    static PlannedKeyConfig FromReadBack(const TarvoConfig& config);
};

struct PlannedDevice {
    DeviceModel model = DeviceModel::Tarvo;
    std::uint8_t address = 1;
    std::string label;  // UTF-8; may be empty
    std::optional<DeviceIdentity> identity;
    std::optional<PlannedKeyConfig> keyConfig;  // TARVO only; nothing: the plan has none
    int line = 0;  // the line of its [[device]] header in the file; 0 when not from a file
};

struct ProjectPlan {
    ProjectLine line;
    std::vector<PlannedDevice> devices;

    // The device planned for `model` at `address`; nullptr when none.
    const PlannedDevice* Find(DeviceModel model, std::uint8_t address) const;
};
