#pragma once
// What each subcommand of orvalctl found out, as plain values: the commands do the bus work and
// return one of these; the printer (cli/output.h) renders it as text or as one JSON document.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "bus/device_models.h"
#include "bus/tarvo_config.h"
#include "cli/bus_client.h"
#include "cli/project_results.h"
#include "serial/port_enumeration.h"
#include "session/key_config_sequence.h"

struct PortsResult {
    std::vector<SerialPortEntry> ports;
};

struct SearchResult {
    std::vector<FoundDevice> devices;
};

struct AssignResult {
    const DeviceModelInfo* model = nullptr;
    std::uint8_t device = 0;  // --address
    std::uint8_t to = 0;
    bool written = false;
    bool answered = false;
    std::vector<FoundDevice> after;  // the search after the write
};

struct AutoAssignResult {
    std::vector<HandedOutAddress> assigned;
    unsigned next = 0;
};

struct ReadConfigResult {
    std::uint8_t address = 0;
    std::optional<TarvoConfig> config;
};

struct WriteKeyConfigResult {
    std::uint8_t address = 0;
    std::size_t written = 0;
    std::array<KeyConfigConfirmations::State, kKeyConfigSteps.size()> confirmed{};
};

struct DeviceCommandResult {
    const DeviceModelInfo* model = nullptr;
    std::uint8_t address = 0;
    bool sent = false;
    std::string frame;  // the frame as written, in hex
};

// find-baud: what a search heard at each rate tried.
struct RateTried {
    std::uint32_t baud = 0;
    std::size_t answers = 0;  // devices of the model that answered
    std::size_t frames = 0;   // valid frames of any kind
    std::size_t dropped = 0;  // bytes that formed no frame
};
struct FindBaudResult {
    const DeviceModelInfo* model = nullptr;
    std::vector<RateTried> rates;
    std::optional<std::uint32_t> found;  // the rate the devices answer at
};

// Nothing to print on standard output (a port that would not open, a file refused).
using CommandOutput =
    std::variant<std::monostate, PortsResult, SearchResult, AssignResult, AutoAssignResult,
                 ReadConfigResult, WriteKeyConfigResult, DeviceCommandResult, FindBaudResult,
                 ProjectRunResult, IdentifyResult>;

struct CommandResult {
    int status = 0;
    CommandOutput output;
    std::vector<std::string> errors;  // lines for standard error, without the "orvalctl: "
    // The command stopped before it was done (the port failed, or it was interrupted): the
    // output is what it had done until then.
    bool partial = false;
};
