#pragma once
// The command line of orvalctl: one subcommand with its options, checked completely before
// anything touches a port. Every mistake is found here and told in one sentence, so that a
// script never starts a half-understood bus action. Parsed with CLI11.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/commands.h"
#include "bus/device_models.h"
#include "platform/line_settings.h"

enum class CliCommand {
    Ports,
    Search,
    Assign,
    AutoAssign,
    ReadConfig,
    WriteKeyConfig,
    Mirell,
    Oskan,
    FindBaud,
    ProjectCapture,  // "project capture": commissioning projects (cli/project_commands.h)
    ProjectCheck,
    ProjectApply,
    ProjectResolve,
    Identify
};

struct CliOptions {
    CliCommand command = CliCommand::Ports;
    bool json = false;

    std::string port;                   // --port: a listed name, a port number or a device path
    LineSettings line;                  // --baud, --data, --stop, --parity
    std::optional<DeviceModel> model;   // --type
    std::uint8_t address = 0;           // --address
    std::uint8_t to = 0;                // --to
    std::uint8_t from = 0;              // --from
    std::optional<double> waitSeconds;  // --wait
    std::string file;                   // --file
    std::optional<std::array<std::uint8_t, 4>> identity;  // --identity
    std::vector<std::uint32_t> rates;                     // --rates
    std::vector<DeviceModel> types;  // --types: the models a capture searches (all: empty)
    std::optional<double> seconds;   // --seconds: how long identify flashes (default 10)

    // mirell: the function and value to send.
    MirellCommand mirell{0, 0};
    // oskan: channel 1..8, or the feedback switch (channel 0).
    unsigned oskanChannel = 0;
    bool on = false;

    // --wait, or the subcommand's default.
    double Wait() const;
};

struct CliParse {
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Error;
    CliOptions options;
    // Help: the text to print (the tool's or the subcommand's). Error: what is wrong, and the
    // usage line of the subcommand (or of the tool) to print below it.
    std::string text;
    std::string usage;
};

// argv without the program name.
CliParse ParseCommandLine(const std::vector<std::string>& args);

// The subcommand's name as typed: "ports", "auto-assign", ...
const char* CommandName(CliCommand command);
// The whole --help text of the tool.
std::string ToolHelp();
