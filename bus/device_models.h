#pragma once
// The device models on the ORVAL bus as data: one row per model with its type code (frame byte
// 1), the names it goes by in text, JSON, files and on the command line, the tab of the main
// dialog that drives it, and what the model answers. Everything that needs to tell models apart
// (the frame dispatch, the session, the command-line tool, the simulator, the frame decoder)
// reads this table; a model is added here and in the code of its own page.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bus/frame.h"

enum class DeviceModel : std::uint8_t { Tarvo, Mirell, Oskan };

// The main dialog's tabs, one per model, in this order.
inline constexpr int kTabTarvo = 0;
inline constexpr int kTabMirell = 1;
inline constexpr int kTabOskan = 2;

// How a device of the model takes a new bus address besides automatic assignment.
enum class AddressWrite : std::uint8_t {
    None,         // only through automatic assignment (0x20, 0x21, 0x22)
    ByState,      // 0x22 naming the device by the four state bytes of its search reply
    ByteSix0x22,  // 0x22 with byte 6 = 0x22, bytes 7..9 as the frame before left them
};

// What the model's page sends besides the bus commands of the main dialog.
enum class PageCommands : std::uint8_t {
    KeyPanel,   // key configuration (0x26, 0x27, 0x25) and the LED tests (0x03, 0x04)
    Sequencer,  // SCREEN, LIFTER, PROJECTOR and sequence functions (command 0x00)
    Channels,   // eight channels and the feedback switch
};

struct DeviceModelInfo {
    DeviceModel model;
    std::uint8_t typeCode;   // frame byte 1
    const char* name;        // "tarvo": --type, JSON, project and configuration files
    const char* title;       // "TARVO": the tab's caption, decoded frames, reports
    int tab;                 // the main dialog's tab that drives the model
    bool answersSearch;      // 0xFE to the search frame, with four state bytes
    bool keepsFoundRecords;  // its page keeps the state bytes of each found device
    AddressWrite addressWrite;
    bool readsConfig;  // answers 0x23 with the 160-byte configuration reply
    PageCommands commands;
};

// In the order of the main dialog's tabs.
inline constexpr std::array<DeviceModelInfo, 3> kDeviceModels = {{
    {DeviceModel::Tarvo, kTypeTarvo, "tarvo", "TARVO", kTabTarvo, true, false, AddressWrite::None,
     true, PageCommands::KeyPanel},
    {DeviceModel::Mirell, kTypeMirell, "mirell", "MIRELL", kTabMirell, true, true,
     AddressWrite::ByState, false, PageCommands::Sequencer},
    {DeviceModel::Oskan, kTypeOskan, "oskan", "OSKAN", kTabOskan, true, true,
     AddressWrite::ByteSix0x22, false, PageCommands::Channels},
}};

constexpr const DeviceModelInfo& ModelInfo(DeviceModel model) {
    for (const DeviceModelInfo& info : kDeviceModels) {
        if (info.model == model) {
            return info;
        }
    }
    return kDeviceModels[0];
}

// The model of a tab, a type code or a name; nullptr for none. Names are matched exactly
// ("tarvo"); ModelByNameIgnoringCase also takes "TARVO" or "Tarvo".
constexpr const DeviceModelInfo* ModelByTab(int tab) {
    for (const DeviceModelInfo& info : kDeviceModels) {
        if (info.tab == tab) {
            return &info;
        }
    }
    return nullptr;
}
constexpr const DeviceModelInfo* ModelByTypeCode(std::uint8_t code) {
    for (const DeviceModelInfo& info : kDeviceModels) {
        if (info.typeCode == code) {
            return &info;
        }
    }
    return nullptr;
}
const DeviceModelInfo* ModelByName(std::string_view name);
const DeviceModelInfo* ModelByNameIgnoringCase(std::string_view name);

// Type code of the device page on `tab`; nullopt for any other tab index.
constexpr std::optional<std::uint8_t> TypeCodeForTab(int tab) {
    if (const DeviceModelInfo* info = ModelByTab(tab)) {
        return info->typeCode;
    }
    return std::nullopt;
}

// "tarvo, mirell or oskan" (with `lastJoin` "and": "tarvo, mirell and oskan"); with a
// separator instead ("|"): "tarvo|mirell|oskan".
std::string ModelNameList(std::string_view lastJoin = "or");
std::string ModelNamesJoined(std::string_view separator);
