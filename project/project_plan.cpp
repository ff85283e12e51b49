#include "project/project_plan.h"

#include <cstdio>

#include "bus/function_codes.h"
#include "bus/line_settings.h"

std::string FormatIdentity(const DeviceIdentity& identity) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", identity[0], identity[1], identity[2],
                  identity[3]);
    return text;
}

unsigned ProjectLine::BitsPerCharacter() const {
    const unsigned data = dataBitsIndex < kDataBits.size() ? kDataBits[dataBitsIndex] : 8;
    const unsigned parity = parityIndex == 0 ? 0 : 1;
    const unsigned stop = stopBitsIndex == 0 ? 1 : 2;
    return 1 + data + parity + stop;
}

PlannedKeyConfig PlannedKeyConfig::FromReadBack(const TarvoConfig& config) {
    PlannedKeyConfig k;
    k.shortLong = config.keyMode != 0;
    k.longPressMs = config.longPressMs;
    k.pressText = FormatCodes(config.pressCodes);
    k.pressHex = true;
    k.pressCodes = config.pressCodes;
    k.releaseText = FormatCodes(config.releaseCodes);
    k.releaseHex = true;
    k.releaseCodes = config.releaseCodes;
    k.serial = DeviceSerialFormat{static_cast<std::uint32_t>(config.baud), config.dataBitsIndex,
                                  config.stopBitsIndex, config.parityIndex};
    return k;
}

const PlannedDevice* ProjectPlan::Find(DeviceModel model, std::uint8_t address) const {
    for (const PlannedDevice& d : devices) {
        if (d.model == model && d.address == address) {
            return &d;
        }
    }
    return nullptr;
}
