#pragma once
// The device commands of the MIRELL and OSKAN pages by name, as the tool's command line gives
// them: which function and value a MIRELL action sends (the page's switches and buttons), and
// which OSKAN channel or feedback state. The frames themselves come from bus/commands.h.

#include <cstdint>
#include <optional>
#include <string_view>

struct MirellAction {
    std::uint8_t function;  // kMirellScreen, kMirellLifter, kMirellProjector, kMirellSequence
    std::uint8_t value;     // byte 8
};

// "screen" or "lifter" with "up", "down" or "stop"; "projector" or "seq" with "on" or "off".
// Values as the page sends them: SCREEN up 01 down 02, LIFTER up 02 down 01 (the device takes
// them the other way round), stop 00; PROJECTOR on 01 off 00; SEQ.SW on 01 off 02.
std::optional<MirellAction> FindMirellAction(std::string_view function, std::string_view action);

// "on" or "off" as a switch state; nothing for other words.
std::optional<bool> ParseOnOff(std::string_view word);
