#include "cli/device_actions.h"

#include "bus/commands.h"

namespace {

struct NamedAction {
    std::string_view function;
    std::string_view action;
    MirellAction sent;
};

constexpr NamedAction kMirellActions[] = {
    {"screen", "up", {kMirellScreen, 0x01}},       {"screen", "down", {kMirellScreen, 0x02}},
    {"screen", "stop", {kMirellScreen, 0x00}},     {"lifter", "up", {kMirellLifter, 0x02}},
    {"lifter", "down", {kMirellLifter, 0x01}},     {"lifter", "stop", {kMirellLifter, 0x00}},
    {"projector", "on", {kMirellProjector, 0x01}}, {"projector", "off", {kMirellProjector, 0x00}},
    {"seq", "on", {kMirellSequence, 0x01}},        {"seq", "off", {kMirellSequence, 0x02}},
};

}  // namespace

std::optional<MirellAction> FindMirellAction(std::string_view function, std::string_view action) {
    for (const NamedAction& a : kMirellActions) {
        if (a.function == function && a.action == action) {
            return a.sent;
        }
    }
    return std::nullopt;
}

std::optional<bool> ParseOnOff(std::string_view word) {
    if (word == "on") {
        return true;
    }
    if (word == "off") {
        return false;
    }
    return std::nullopt;
}
