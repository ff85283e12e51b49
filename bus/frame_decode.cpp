#include "bus/frame_decode.h"

#include <algorithm>
#include <cstdio>

#include "bus/commands.h"
#include "bus/device_models.h"
#include "bus/frame.h"
#include "bus/line_settings.h"
#include "bus/tarvo_config.h"

namespace {

std::string Format(const char* format, unsigned value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Byte(std::uint8_t b) {
    return Format("0x%02X", b);
}

std::string Address(std::uint8_t address) {
    return address == kBroadcastAddress ? std::string("全部") : std::to_string(address);
}

// "8-N-1" from the three line-settings indices; an index outside its table shows as "?".
std::string SerialFormat(unsigned dataIdx, unsigned stopIdx, unsigned parityIdx) {
    std::string text = dataIdx < kDataBits.size() ? std::to_string(kDataBits[dataIdx]) : "?";
    text += '-';
    text += parityIdx < kParityTexts.size() ? kParityLetters[parityIdx] : '?';
    text += '-';
    text += stopIdx < kStopBitsTexts.size() ? kStopBitsTexts[stopIdx] : "?";
    return text;
}

std::string State(const std::uint8_t* f) {
    return "状态 " + FormatHex(f + 6, 4);
}

std::string LedState(std::uint8_t state) {
    switch (state) {
        case kLedOff:
            return "关";
        case kLedOn:
            return "开";
        case kLedFlash:
            return "闪";
        default:
            return "状态 " + Byte(state);
    }
}

std::string Codes(const std::uint8_t* codes, std::size_t count) {
    return count == 0 ? std::string("无") : FormatHex(codes, count);
}

std::string MirellCommand(const std::uint8_t* f) {
    const std::uint8_t function = f[7];
    const std::uint8_t value = f[8];
    const char* name = nullptr;
    for (const NamedMirellCommand& c : kMirellCommands) {
        if (c.command.function != function) {
            continue;
        }
        name = c.functionTitle;
        if (c.command.value == value) {
            return std::string(c.functionTitle) + " " + c.actionTitle;
        }
    }
    if (name == nullptr) {
        return "功能 " + Byte(function) + "，值 " + Byte(value);
    }
    return std::string(name) + " 值 " + Byte(value);
}

std::string OskanCommand(const std::uint8_t* f) {
    for (std::size_t i = 0; i < g_channelCodes.size(); ++i) {
        for (const bool on : {true, false}) {
            const ChannelCodePair& p = on ? g_channelCodes[i].on : g_channelCodes[i].off;
            if (f[6] == p.complement && f[7] == p.code) {
                return "通道" + std::to_string(i + 1) + (on ? " 开" : " 关");
            }
        }
    }
    return "通道命令 " + FormatHex(f + 6, 2);
}

std::string ConfigBlock(const std::uint8_t* f) {
    TarvoConfigBlock block;
    std::copy_n(f + kFrameLength, block.bytes.size(), block.bytes.begin());
    const TarvoConfig c = DecodeTarvoConfig(block);
    std::string text = "配置：波特率 " + std::to_string(c.baud) + "，格式 " +
                       SerialFormat(c.dataBitsIndex, c.stopBitsIndex, c.parityIndex);
    const bool shortLong = c.keyMode != 0;
    text += shortLong ? "，长短按模式" : "，按下弹起模式";
    text += "，长按时间 " + std::to_string(c.longPressMs) + " ms";
    text += shortLong ? "，短按功能码 " : "，按下功能码 ";
    text += Codes(c.pressCodes.data(), c.pressCodes.size());
    text += shortLong ? "，长按功能码 " : "，弹起功能码 ";
    text += Codes(c.releaseCodes.data(), c.releaseCodes.size());
    return text;
}

// The command part of a frame of ten bytes or more.
std::string Command(const std::uint8_t* f, std::size_t count, FrameDirection direction) {
    const bool sent = direction == FrameDirection::Sent;
    const std::uint8_t command = f[kPosCommand];
    const DeviceModelInfo* model = ModelByTypeCode(f[kPosType]);
    const bool sequencer = model != nullptr && model->commands == PageCommands::Sequencer;
    const bool channels = model != nullptr && model->commands == PageCommands::Channels;
    // OSKAN feedback repeats its command in byte 5; its "off" code 0x03 is also the LED1 test.
    if (channels && (command == 0x02 || command == 0x03) && f[kPosData] == command) {
        return command == 0x02 ? "反馈 开" : "反馈 关";
    }
    switch (command) {
        case kCmdDevice:
            if (sequencer && f[6] == 0x45 && f[9] == 0x55) {
                return MirellCommand(f);
            }
            if (channels) {
                return OskanCommand(f);
            }
            return "设备命令 " + FormatHex(f + kPosData, 5);
        case kCmdLed1:
        case kCmdLed2:
            return std::string(command == kCmdLed1 ? "LED1" : "LED2") + " 测试：" + LedState(f[6]);
        case kCmdAutoAssign:
            return sent ? "自动分配地址通告" : "进入自动分配，" + State(f);
        case kCmdAddressRequest:
            return "请求分配地址，" + State(f);
        case kCmdAddressAssign:
            if (sent) {
                return "分配地址：新地址 " + std::to_string(f[5]) + "，" + State(f);
            }
            return "地址分配确认：地址 " + std::to_string(f[5]) + "，" + State(f);
        case kCmdReadConfig:
            if (sent) {
                return "读取配置";
            }
            if (count < kLongReplyLength) {
                return "配置回复（不完整，" + std::to_string(count) + " 字节）";
            }
            return ConfigBlock(f);
        case kCmdSerialFormat: {
            const unsigned baud = (f[6] | f[7] << 8) * 100u;
            const std::uint8_t format = f[8];
            return "串口格式：波特率 " + std::to_string(baud) + "，格式 " +
                   SerialFormat(format & 0x3, format >> 2 & 0x3, format >> 4 & 0x7);
        }
        case kCmdKeyMode: {
            const unsigned ms = f[7] | f[8] << 8;
            if (!sent) {
                return "按键模式和长按时间设置成功";
            }
            return std::string(f[6] == 1 ? "按键模式：长短按模式" : "按键模式：按下弹起模式") +
                   "，长按时间 " + std::to_string(ms) + " ms";
        }
        case kCmdFunctionCodes: {
            if (!sent) {
                return "按键功能码设置成功";
            }
            const std::size_t n = f[6];
            std::string text = std::string(f[7] == 1 ? "第一组" : "第二组") + "功能码 " +
                               std::to_string(n) + " 个";
            if (count < kFrameLength + n) {
                return text + "（帧不完整，只有 " + std::to_string(count - kFrameLength) + " 个）";
            }
            return text + "：" + Codes(f + kFrameLength, n);
        }
        case kCmdFound:
            return "找到设备，" + State(f);
        default:
            return "命令 " + Byte(command) + "，数据 " + FormatHex(f + kPosData, 5);
    }
}

}  // namespace

std::string FormatHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string DeviceTypeName(std::uint8_t type) {
    if (const DeviceModelInfo* model = ModelByTypeCode(type)) {
        return model->title;
    }
    return "类型 " + Byte(type);
}

int FrameCommand(const std::uint8_t* bytes, std::size_t count) {
    if (count == kSearchFrameLength && bytes[kPosHead] == kFrameHead) {
        return kSearchCommand;
    }
    if (count < kFrameLength || bytes[kPosHead] != kFrameHead) {
        return kNoCommand;
    }
    return bytes[kPosCommand];
}

int FrameDeviceAddress(const std::uint8_t* bytes, std::size_t count, FrameDirection direction) {
    const std::size_t at = direction == FrameDirection::Sent ? kPosDestination : kPosSource;
    return count > at && count >= kSearchFrameLength ? bytes[at] : -1;
}

std::string CommandName(int command) {
    switch (command) {
        case kSearchCommand:
            return "搜索";
        case kCmdDevice:
            return "设备命令 (0x00)";
        case kCmdLed1:
            return "LED1 测试 (0x03)";
        case kCmdLed2:
            return "LED2 测试 (0x04)";
        case kCmdAutoAssign:
            return "自动分配 (0x20)";
        case kCmdAddressRequest:
            return "请求地址 (0x21)";
        case kCmdAddressAssign:
            return "分配地址 (0x22)";
        case kCmdReadConfig:
            return "读取配置 (0x23)";
        case kCmdSerialFormat:
            return "串口格式 (0x25)";
        case kCmdKeyMode:
            return "按键模式 (0x26)";
        case kCmdFunctionCodes:
            return "功能码 (0x27)";
        case kCmdFound:
            return "找到设备 (0xFE)";
        default:
            return command >= 0 && command <= 0xFF
                       ? "命令 " + Byte(static_cast<std::uint8_t>(command))
                       : std::string("其他");
    }
}

std::string DecodeFrame(const std::uint8_t* bytes, std::size_t count, FrameDirection direction) {
    if (count == 0) {
        return std::string();
    }
    if (bytes[kPosHead] != kFrameHead) {
        return "不是帧（帧头 " + Byte(bytes[kPosHead]) + "）";
    }
    if (count < kSearchFrameLength) {
        return "帧不完整（" + std::to_string(count) + " 字节）";
    }
    const std::string head = DeviceTypeName(bytes[kPosType]) + " " + Address(bytes[kPosSource]) +
                             "→" + Address(bytes[kPosDestination]) + " ";
    if (count == kSearchFrameLength && direction == FrameDirection::Sent) {
        return head + "搜索" + DeviceTypeName(bytes[kPosType]) + "设备";
    }
    if (count < kFrameLength) {
        return head + "帧不完整（" + std::to_string(count) + " 字节）";
    }
    return head + Command(bytes, count, direction);
}

std::string DropReason(int state, std::uint8_t byte) {
    switch (state) {
        case 1:
            return "不是帧头 0xFA";
        case 2:
            return "类型 " + Byte(byte) + " 不在 " + std::to_string(kTypeMin) + ".." +
                   std::to_string(kTypeMax);
        case 3:
            return "目的地址 " + Byte(byte) + " 不是 0";
        case 4:
            return "源地址为 0";
        case 5:
            return "命令 " + Byte(byte) + " 不被接受";
        default:
            return "状态 " + std::to_string(state) + " 丢弃 " + Byte(byte);
    }
}
