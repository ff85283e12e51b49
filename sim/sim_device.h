#pragma once
// The devices the simulator plays: their model, bus address, four-byte identity, and the state
// that the PC's commands change.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bus/device_models.h"
#include "bus/tarvo_config.h"

// The simulator plays the models of the bus's model table.
using SimModel = DeviceModel;

// Four bytes that tell devices apart; a device reports them as its state in the search reply
// and as its identity during automatic address assignment.
using SimIdentity = std::array<std::uint8_t, 4>;

// One device as it is put on the bus.
struct SimDeviceSpec {
    SimModel model = SimModel::Tarvo;
    std::uint8_t address = 1;
    SimIdentity identity{};
};

// "model:address:identity", e.g. "tarvo:1:11223344": address 1..255 in decimal, identity as
// eight hexadecimal digits. Returns nullopt and sets `error` on bad text.
std::optional<SimDeviceSpec> ParseDeviceSpec(std::string_view text, std::string* error);
std::string FormatDeviceSpec(const SimDeviceSpec& entry);

// A small bus for trying things out: two TARVO panels that both still have the factory
// address 1 (so automatic assignment has work to do), two MIRELL sequencers and an OSKAN.
std::vector<SimDeviceSpec> DefaultBus();

enum class LedState : std::uint8_t { Off = 0, On = 1, Flash = 2 };

inline constexpr int kOskanChannels = 8;

// Everything a device holds. Fields of other models stay at their defaults.
struct SimDeviceState {
    SimModel model = SimModel::Tarvo;
    std::uint8_t address = 1;
    SimIdentity identity{};

    // TARVO
    TarvoConfig tarvo;
    LedState led1 = LedState::Off;
    LedState led2 = LedState::Off;

    // MIRELL: the last value received per function code (kMirellScreen... of bus/commands.h).
    std::map<std::uint8_t, std::uint8_t> mirellFunctions;

    // OSKAN: channel 1 is element 0.
    std::array<bool, kOskanChannels> channels{};
    bool feedback = false;
};

// A device fresh from the factory: TARVO at 9600 baud 8-N-1, short/long press, 800 ms, no codes.
SimDeviceState MakeDeviceState(const SimDeviceSpec& entry);
