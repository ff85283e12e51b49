#include "bus/rx_frame_tracker.h"

#include <algorithm>

#include "bus/frame_decode.h"

namespace {

// Reasons listed one by one in a run before the rest are only counted.
constexpr std::size_t kListedReasons = 4;

}  // namespace

void RxFrameTracker::OnParsed(std::uint8_t byte, int stateBefore, int countBefore,
                              const RxParser& parser) {
    const auto& buffer = parser.Buffer();
    const auto held = static_cast<std::size_t>(
        std::clamp(countBefore, 0, static_cast<int>(RxParser::kBufferSize)));
    if (stateBefore >= 1 && stateBefore <= 5 && parser.State() == 1) {
        // The byte broke the frame: the parser let go of the bytes it held and of this one.
        AddDropped(buffer.data(), held, stateBefore, byte);
        return;
    }
    if (stateBefore == 10 && parser.Count() == 0) {
        EndRun();
        RxRecord frame;
        frame.time = Now();
        const std::size_t length = std::min(held + 1, RxParser::kBufferSize);
        frame.bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
        m_records.push_back(std::move(frame));
    }
}

void RxFrameTracker::AddDropped(const std::uint8_t* bytes, std::size_t count, int state,
                                std::uint8_t byte) {
    const Clock::time_point now = Now();
    if (m_runOpen &&
        (m_run.bytes.size() + count + 1 > kMaxRunBytes || now - m_runLast >= kRunQuiet)) {
        EndRun();
    }
    if (!m_runOpen) {
        m_run = RxRecord{RxRecord::Kind::Dropped, now, {}, {}, {}};
        m_runOpen = true;
        m_runReasons.clear();
        m_runNotHead = 0;
    }
    m_runLast = now;
    m_run.bytes.insert(m_run.bytes.end(), bytes, bytes + count);
    m_run.bytes.push_back(byte);
    if (state == 5 && count > kPosSource) {
        // Head, type, destination and source were read: the sender is known.
        m_run.brokenFrom.push_back({bytes[kPosType], bytes[kPosSource]});
    }
    if (state == 1) {
        ++m_runNotHead;
        return;
    }
    // The reason is a function of the state and the byte: keep the pair, word it at the end.
    const auto reason = static_cast<std::uint16_t>(state << 8 | byte);
    if (std::find(m_runReasons.begin(), m_runReasons.end(), reason) == m_runReasons.end()) {
        m_runReasons.push_back(reason);
    }
}

void RxFrameTracker::EndRun() {
    if (!m_runOpen) {
        return;
    }
    std::string text;
    std::size_t listed = 0;
    for (const std::uint16_t reason : m_runReasons) {
        if (listed == kListedReasons) {
            text += "；另有 " + std::to_string(m_runReasons.size() - listed) + " 种";
            break;
        }
        text += (listed++ ? "；" : "") +
                DropReason(reason >> 8, static_cast<std::uint8_t>(reason & 0xFF));
    }
    if (m_runNotHead > 0) {
        if (text.empty()) {
            text = DropReason(1, 0);
        } else {
            text += "；另 " + std::to_string(m_runNotHead) + " 字节不是帧头";
        }
    }
    m_run.reason = std::move(text);
    m_records.push_back(std::move(m_run));
    m_run = RxRecord{};
    m_runOpen = false;
}

std::vector<RxRecord> RxFrameTracker::Take() {
    TimeMoved();
    if (m_runOpen && Now() - m_runLast >= kRunQuiet) {
        EndRun();
    }
    std::vector<RxRecord> taken;
    taken.swap(m_records);
    // The next period brings about as many: room for them now, not grown record by record.
    m_records.reserve(taken.size());
    return taken;
}

void RxFrameTracker::Clear() {
    m_records.clear();
    m_run = RxRecord{};
    m_runOpen = false;
}
