#include "session/key_config_sequence.h"

#include <algorithm>

#include "bus/commands.h"
#include "bus/frame.h"
#include "bus/function_codes.h"

namespace {

// Plain-character text (hex cleared) that holds a character with no single-byte form.
bool Unencodable(const std::u16string& text, bool hex) {
    std::array<std::uint8_t, kFrameBufferSize> buffer{};
    return !hex && CodeTextToBytes(text, false, buffer) == kCodeTextUnencodable;
}

}  // namespace

std::optional<KeyConfigRefusal> CheckKeyConfig(const KeyConfigFields& f) {
    if (f.longPressMs < kMinLongPressMs || f.longPressMs > kMaxLongPressMs) {
        return KeyConfigRefusal::LongPressOutOfRange;
    }
    if (Unencodable(f.pressText, f.pressHex) || Unencodable(f.releaseText, f.releaseHex)) {
        return KeyConfigRefusal::UnencodableCodes;
    }
    if (!f.serialFormat) {
        return KeyConfigRefusal::NoSerialFormat;
    }
    return std::nullopt;
}

const char* RefusalText(KeyConfigRefusal refusal) {
    switch (refusal) {
        case KeyConfigRefusal::LongPressOutOfRange:
            return "长按时间有效值为600ms-10000ms之间!";
        case KeyConfigRefusal::UnencodableCodes:
            return "功能码含有无法按单字节发送的字符!";
        case KeyConfigRefusal::NoSerialFormat:
            return "请选择设备串口配置的波特率、数据位、停止位和校验!";
    }
    return "";
}

const char* StepName(KeyConfigStep step) {
    switch (step) {
        case KeyConfigStep::KeyMode:
            return "key mode and long-press time";
        case KeyConfigStep::PressCodes:
            return "first code set";
        case KeyConfigStep::ReleaseCodes:
            return "second code set";
        case KeyConfigStep::SerialFormat:
            return "serial format";
    }
    return "";
}

std::optional<IKeyConfigSource::Target> FixedKeyConfigSource::TargetOf(KeyConfigStep step) {
    switch (step) {
        case KeyConfigStep::KeyMode:
            return Target{m_address, m_fields.shortLong};
        case KeyConfigStep::PressCodes:
            return Target{m_address, m_fields.pressHex};
        case KeyConfigStep::ReleaseCodes:
            return Target{m_address, m_fields.releaseHex};
        case KeyConfigStep::SerialFormat:
            return Target{m_address, false};
    }
    return std::nullopt;
}

KeyConfigWriteResult WriteKeyConfig(const KeyConfigFields& fields, IKeyConfigSource& source,
                                    IKeyConfigLink& link) {
    KeyConfigWriteResult result;
    // Sends one frame and waits the pause after it; false when the sequence ends here.
    const auto send = [&](KeyConfigStep step, const IKeyConfigLink::Build& build) {
        if (!link.Send(build)) {
            return false;
        }
        result.sent.push_back(step);
        return link.Pause(kKeyConfigFrameGap);
    };

    // 0x26: key mode and long-press time.
    const auto mode = source.TargetOf(KeyConfigStep::KeyMode);
    if (!mode || !send(KeyConfigStep::KeyMode, [&](TxFrame::Bytes& bytes) {
            return BuildKeyModeFrame(bytes, mode->address, mode->flag, fields.longPressMs);
        })) {
        return result;
    }

    // 0x27: the first code set, then the second.
    const struct {
        KeyConfigStep step;
        const std::u16string& text;
        bool firstSet;
    } sets[] = {{KeyConfigStep::PressCodes, fields.pressText, true},
                {KeyConfigStep::ReleaseCodes, fields.releaseText, false}};
    for (const auto& set : sets) {
        const auto target = source.TargetOf(set.step);
        if (!target) {
            return result;
        }
        std::array<std::uint8_t, kFrameBufferSize> codes{};
        int n = 0;
        if (!set.text.empty()) {
            n = CodeTextToBytes(set.text, target->flag, codes);
            if (n == kCodeTextUnencodable) {
                return result;  // the flag changed after the check: nothing more is sent
            }
        }
        if (!send(set.step, [&](TxFrame::Bytes& bytes) {
                return BuildFunctionCodesFrame(bytes, target->address, set.firstSet, codes.data(),
                                               static_cast<std::size_t>(n));
            })) {
            return result;
        }
    }

    // 0x25: the panel's serial format; bytes 2 and 3 stay as the frame before left them.
    const std::optional<DeviceSerialFormat> format = source.SerialFormat();
    if (!format) {
        return result;
    }
    send(KeyConfigStep::SerialFormat, [&](TxFrame::Bytes& bytes) {
        return BuildSerialFormatFrame(bytes, format->baud, format->dataBitsIndex,
                                      format->stopBitsIndex, format->parityIndex);
    });
    return result;
}

void KeyConfigConfirmations::OnFrame(const std::uint8_t* frame) {
    if (frame[kPosSource] != m_device) {
        return;
    }
    switch (frame[kPosCommand]) {
        case kCmdKeyMode:
            m_confirmed[Index(KeyConfigStep::KeyMode)] = true;
            break;
        case kCmdFunctionCodes:
            // The sets are confirmed in the order they were sent.
            m_confirmed[Index(Confirmed(KeyConfigStep::PressCodes) ? KeyConfigStep::ReleaseCodes
                                                                   : KeyConfigStep::PressCodes)] =
                true;
            break;
        case kCmdSerialFormat:
            m_confirmed[Index(KeyConfigStep::SerialFormat)] = true;
            break;
        default:
            break;
    }
}

bool KeyConfigConfirmations::All() const {
    return std::all_of(m_confirmed.begin(), m_confirmed.end(), [](bool b) { return b; });
}
