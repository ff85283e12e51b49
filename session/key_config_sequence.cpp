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

std::optional<IKeyConfigLink::Build> KeyConfigSequence::Next(IKeyConfigSource& source) {
    if (m_ended || m_step >= kKeyConfigSteps.size()) {
        return std::nullopt;
    }
    const KeyConfigStep step = kKeyConfigSteps[m_step];
    const auto end = [this] {
        m_ended = true;
        return std::nullopt;
    };
    if (step == KeyConfigStep::SerialFormat) {
        // 0x25: the panel's serial format; bytes 2 and 3 stay as the frame before left them.
        m_format = source.SerialFormat();
        if (!m_format) {
            return end();
        }
        return [this](TxFrame::Bytes& bytes) {
            return BuildSerialFormatFrame(bytes, m_format->baud, m_format->dataBitsIndex,
                                          m_format->stopBitsIndex, m_format->parityIndex);
        };
    }
    const std::optional<IKeyConfigSource::Target> target = source.TargetOf(step);
    if (!target) {
        return end();
    }
    m_target = *target;
    if (step == KeyConfigStep::KeyMode) {
        // 0x26: key mode and long-press time.
        return [this](TxFrame::Bytes& bytes) {
            return BuildKeyModeFrame(bytes, m_target.address, m_target.flag, m_fields.longPressMs);
        };
    }
    // 0x27: the first code set, then the second.
    const bool firstSet = step == KeyConfigStep::PressCodes;
    const std::u16string& text = firstSet ? m_fields.pressText : m_fields.releaseText;
    m_codes.fill(0);
    m_count = 0;
    if (!text.empty()) {
        m_count = CodeTextToBytes(text, m_target.flag, m_codes);
        if (m_count == kCodeTextUnencodable) {
            return end();  // the flag changed after the check: nothing more is sent
        }
    }
    return [this, firstSet](TxFrame::Bytes& bytes) {
        return BuildFunctionCodesFrame(bytes, m_target.address, firstSet, m_codes.data(),
                                       static_cast<std::size_t>(m_count));
    };
}

void KeyConfigSequence::Sent() {
    if (!m_ended && m_step < kKeyConfigSteps.size()) {
        m_result.sent.push_back(kKeyConfigSteps[m_step++]);
    }
}

KeyConfigWriteResult WriteKeyConfig(const KeyConfigFields& fields, IKeyConfigSource& source,
                                    IKeyConfigLink& link) {
    KeyConfigSequence sequence(fields);
    while (const std::optional<IKeyConfigLink::Build> build = sequence.Next(source)) {
        if (!link.Send(*build)) {
            break;
        }
        sequence.Sent();
        if (!link.Pause(kKeyConfigFrameGap)) {
            break;
        }
    }
    return sequence.Result();
}

void KeyConfigConfirmations::Sent(KeyConfigStep step, const std::uint8_t* frame) {
    m_sent[Index(step)] = true;
    std::copy_n(frame + 6, 3, m_expected[Index(step)].begin());
}

void KeyConfigConfirmations::OnFrame(const std::uint8_t* frame) {
    if (frame[kPosSource] != m_device) {
        return;
    }
    std::optional<KeyConfigStep> step;
    std::size_t compared = 3;  // bytes 6..8
    switch (frame[kPosCommand]) {
        case kCmdKeyMode:
            step = KeyConfigStep::KeyMode;
            break;
        case kCmdFunctionCodes:
            compared = 2;  // count and set
            if (frame[7] <= 1) {
                step = frame[7] == 1 ? KeyConfigStep::PressCodes : KeyConfigStep::ReleaseCodes;
            } else {
                step = m_count[Index(KeyConfigStep::PressCodes)] == 0 ? KeyConfigStep::PressCodes
                                                                      : KeyConfigStep::ReleaseCodes;
            }
            break;
        case kCmdSerialFormat:
            step = KeyConfigStep::SerialFormat;
            break;
        default:
            return;
    }
    const std::size_t i = Index(*step);
    if (m_count[i]++ == 0) {
        std::copy_n(frame + 6, 3, m_said[i].begin());
        m_same[i] =
            !m_sent[i] || std::equal(frame + 6, frame + 6 + compared, m_expected[i].begin());
    }
}

KeyConfigConfirmations::State KeyConfigConfirmations::StateOf(KeyConfigStep step) const {
    const std::size_t i = Index(step);
    if (m_count[i] == 0) {
        return State::Missing;
    }
    if (m_count[i] > 1) {
        return State::Twice;
    }
    return m_same[i] ? State::Confirmed : State::OtherValues;
}

bool KeyConfigConfirmations::All() const {
    return std::all_of(kKeyConfigSteps.begin(), kKeyConfigSteps.end(),
                       [this](KeyConfigStep step) { return Confirmed(step); });
}
