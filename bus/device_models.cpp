#include "bus/device_models.h"

#include <cctype>

const DeviceModelInfo* ModelByName(std::string_view name) {
    for (const DeviceModelInfo& info : kDeviceModels) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

const DeviceModelInfo* ModelByNameIgnoringCase(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ModelByName(lower);
}

std::string ModelNameList(std::string_view lastJoin) {
    std::string text;
    for (std::size_t i = 0; i < kDeviceModels.size(); ++i) {
        if (i > 0) {
            text += i + 1 == kDeviceModels.size() ? " " + std::string(lastJoin) + " " : ", ";
        }
        text += kDeviceModels[i].name;
    }
    return text;
}

std::string ModelNamesJoined(std::string_view separator) {
    std::string text;
    for (const DeviceModelInfo& info : kDeviceModels) {
        if (!text.empty()) {
            text += separator;
        }
        text += info.name;
    }
    return text;
}
