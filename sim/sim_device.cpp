#include "sim/sim_device.h"

#include <charconv>
#include <cstdio>

#include "bus/frame.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::nullopt_t Fail(std::string* error, std::string text) {
    if (error) {
        *error = std::move(text);
    }
    return std::nullopt;
}

}  // namespace

std::optional<SimDeviceSpec> ParseDeviceSpec(std::string_view text, std::string* error) {
    const auto first = text.find(':');
    const auto second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return Fail(error, "expected MODEL:ADDRESS:IDENTITY, e.g. tarvo:1:11223344");
    }
    const std::string_view modelText = text.substr(0, first);
    const std::string_view addressText = text.substr(first + 1, second - first - 1);
    const std::string_view identityText = text.substr(second + 1);

    SimDeviceSpec entry;
    if (const DeviceModelInfo* model = ModelByNameIgnoringCase(modelText)) {
        entry.model = model->model;
    } else {
        return Fail(error,
                    "unknown model '" + std::string(modelText) + "' (" + ModelNameList() + ")");
    }

    unsigned address = 0;
    const auto [end, ec] =
        std::from_chars(addressText.data(), addressText.data() + addressText.size(), address);
    if (ec != std::errc() || end != addressText.data() + addressText.size() || address < 1 ||
        address > 255) {
        return Fail(error,
                    "address '" + std::string(addressText) + "' is not a number from 1 to 255");
    }
    entry.address = static_cast<std::uint8_t>(address);

    const std::string badIdentity =
        "identity '" + std::string(identityText) + "' is not 8 hexadecimal digits";
    if (identityText.size() != 2 * entry.identity.size()) {
        return Fail(error, badIdentity);
    }
    for (std::size_t i = 0; i < entry.identity.size(); ++i) {
        const int high = HexDigit(identityText[2 * i]);
        const int low = HexDigit(identityText[2 * i + 1]);
        if (high < 0 || low < 0) {
            return Fail(error, badIdentity);
        }
        entry.identity[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return entry;
}

std::string FormatDeviceSpec(const SimDeviceSpec& entry) {
    char text[64];
    std::snprintf(text, sizeof text, "%s:%u:%02X%02X%02X%02X", ModelInfo(entry.model).name,
                  entry.address, entry.identity[0], entry.identity[1], entry.identity[2],
                  entry.identity[3]);
    return text;
}

std::vector<SimDeviceSpec> DefaultBus() {
    return {
        {SimModel::Tarvo, 1, {0x54, 0xA0, 0x00, 0x01}},
        {SimModel::Tarvo, 1, {0x54, 0xA0, 0x00, 0x02}},
        {SimModel::Mirell, 2, {0x4D, 0xB0, 0x00, 0x01}},
        {SimModel::Mirell, 3, {0x4D, 0xB0, 0x00, 0x02}},
        {SimModel::Oskan, 4, {0x4F, 0xC0, 0x00, 0x01}},
    };
}

SimDeviceState MakeDeviceState(const SimDeviceSpec& entry) {
    SimDeviceState state;
    state.model = entry.model;
    state.address = entry.address;
    state.identity = entry.identity;
    if (entry.model == SimModel::Tarvo) {
        state.tarvo.baud = 9600;
        state.tarvo.keyMode = 1;
        state.tarvo.longPressMs = 800;
    }
    return state;
}
