#include "sim/frame_trace.h"

#include <cstdio>

#include "bus/commands.h"
#include "bus/frame.h"
#include "bus/tarvo_config.h"
#include "sim/sim_device.h"

namespace {

std::string Format(const char* format, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string TypeName(std::uint8_t type) {
    if (const DeviceModelInfo* model = ModelByTypeCode(type)) {
        return model->title;
    }
    return Format("type %u", type);
}

std::string Device(const std::vector<std::uint8_t>& f, std::size_t addressPos) {
    return TypeName(f[kPosType]) + " " + std::to_string(f[addressPos]);
}

std::string Identity(const std::vector<std::uint8_t>& f) {
    return Format("%02X %02X %02X %02X", f[6], f[7], f[8], f[9]);
}

const char* IndexText(std::uint8_t index, std::initializer_list<const char*> texts) {
    return index < texts.size() ? texts.begin()[index] : "?";
}

const char* DataBits(std::uint8_t i) {
    return IndexText(i, {"8", "7", "6", "5"});
}
const char* StopBits(std::uint8_t i) {
    return IndexText(i, {"1", "1.5", "2"});
}
const char* Parity(std::uint8_t i) {
    return IndexText(i, {"NONE", "ODD", "EVEN", "MARK", "SPACE"});
}

std::string MirellFunction(const std::vector<std::uint8_t>& f) {
    if (f[kPosCommand] != kCmdDevice || f[6] != 0x45 || f[9] != 0x55) {
        return Format("unknown command %02X", f[kPosCommand]);
    }
    const std::uint8_t function = f[7];
    const std::uint8_t value = f[8];
    const char* name = nullptr;
    for (const NamedMirellCommand& c : kMirellCommands) {
        if (c.command.function != function) {
            continue;
        }
        name = function == kMirellSequence ? "sequence" : c.functionTitle;
        if (c.command.value == value) {
            return std::string(name) + " " + (c.action != nullptr ? c.action : "switch enabled");
        }
    }
    if (name == nullptr) {
        return Format("unknown function %02X", function);
    }
    return std::string(name) + " ?";
}

std::string OskanCommand(const std::vector<std::uint8_t>& f) {
    const std::uint8_t command = f[kPosCommand];
    if (command == kCmdDevice) {
        const std::uint8_t code = f[7];
        if (f[6] != static_cast<std::uint8_t>(~code)) {
            return Format("channel code %02X with a wrong complement %02X", code, f[6]);
        }
        if (code >= 1 && code <= 8) {
            return Format("channel %u on", code);
        }
        if (code >= 0x11 && code <= 0x18) {
            return Format("channel %u off", code - 0x10);
        }
        return Format("unknown channel code %02X", code);
    }
    if (command == 0x02 && f[5] == 0x02) {
        return "feedback on";
    }
    if (command == 0x03 && f[5] == 0x03) {
        return "feedback off";
    }
    return Format("unknown command %02X", command);
}

std::string TarvoCommand(const std::vector<std::uint8_t>& f) {
    switch (f[kPosCommand]) {
        case kCmdLed1:
        case kCmdLed2:
            return Format("LED%d %s", f[kPosCommand] == kCmdLed1 ? 1 : 2,
                          IndexText(f[6], {"off", "on", "flash"}));
        case kCmdKeyMode:
            return Format("key mode %s, long press %u ms", f[6] ? "short/long" : "press/release",
                          f[7] | (f[8] << 8));
        case kCmdFunctionCodes: {
            const std::vector<std::uint8_t> codes(f.begin() + kFrameLength, f.end());
            return Format("%s code set, %u codes", f[7] == 1 ? "first" : "second", f[6]) +
                   (codes.empty() ? "" : ": " + HexBytes(codes, 64));
        }
        case kCmdSerialFormat:
            return Format("serial format %d baud, data bits %s, stop bits %s, parity %s",
                          (f[6] | (f[7] << 8)) * 100, DataBits(f[8] & 3), StopBits((f[8] >> 2) & 3),
                          Parity((f[8] >> 4) & 7));
        case kCmdReadConfig:
            return "read configuration";
        default:
            return Format("unknown command %02X", f[kPosCommand]);
    }
}

}  // namespace

std::string HexBytes(const std::vector<std::uint8_t>& bytes, std::size_t limit) {
    if (bytes.size() <= limit) {
        return FormatCodes(bytes);
    }
    return FormatCodes({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(limit)}) +
           Format(" ... (%zu bytes)", bytes.size());
}

std::string DescribePcFrame(const std::vector<std::uint8_t>& f) {
    if (f.size() == kSearchFrameLength) {
        return "search " + TypeName(f[kPosType]);
    }
    if (f.size() < kFrameLength) {
        return "incomplete frame";
    }
    const std::uint8_t command = f[kPosCommand];
    if (command == kCmdAutoAssign && f[kPosDestination] == kBroadcastAddress) {
        return "start automatic address assignment of " + TypeName(f[kPosType]);
    }
    if (command == kCmdAddressAssign) {
        return Device(f, kPosDestination) + Format(": take address %u (", f[kPosData]) +
               Identity(f) + ")";
    }
    if (f[kPosDestination] == kPcAddress) {
        return "frame to address 0, for no device";
    }
    const std::string device = Device(f, kPosDestination) + ": ";
    switch (f[kPosType]) {
        case kTypeTarvo:
            return device + TarvoCommand(f);
        case kTypeMirell:
            return device + MirellFunction(f);
        case kTypeOskan:
            return device + OskanCommand(f);
        default:
            return device + Format("command %02X", command);
    }
}

std::string DescribeDeviceFrame(const std::vector<std::uint8_t>& f) {
    if (f.size() < kFrameLength) {
        return "incomplete frame";
    }
    const std::string device = Device(f, kPosSource);
    switch (f[kPosCommand]) {
        case kCmdFound:
            return device + " found, state " + Identity(f);
        case kCmdAutoAssign:
            return device + " takes part in automatic assignment, identity " + Identity(f);
        case kCmdAddressRequest:
            return device + " asks for an address, identity " + Identity(f);
        case kCmdAddressAssign:
            return TypeName(f[kPosType]) + " now has address " + std::to_string(f[kPosSource]) +
                   ", identity " + Identity(f);
        case kCmdKeyMode:
            return device + " confirms key mode and long-press time";
        case kCmdFunctionCodes:
            return device + " confirms function codes";
        case kCmdSerialFormat:
            return device + " confirms serial format";
        case kCmdReadConfig: {
            if (f.size() != kLongReplyLength) {
                return device + " configuration (short)";
            }
            TarvoConfigBlock block;
            std::copy(f.begin() + kFrameLength, f.end(), block.bytes.begin());
            const TarvoConfig c = DecodeTarvoConfig(block);
            return device + Format(
                                " configuration: %d baud, data bits %s, stop bits %s, parity "
                                "%s, key mode %s, long press %u ms, %zu + %zu codes",
                                c.baud, DataBits(c.dataBitsIndex), StopBits(c.stopBitsIndex),
                                Parity(c.parityIndex), c.keyMode ? "short/long" : "press/release",
                                c.longPressMs, c.pressCodes.size(), c.releaseCodes.size());
        }
        default:
            return device + Format(" command %02X", f[kPosCommand]);
    }
}
