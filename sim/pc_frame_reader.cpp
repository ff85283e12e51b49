#include "sim/pc_frame_reader.h"

#include <algorithm>

#include "bus/frame.h"

namespace {

bool IsSearchPrefix(const std::vector<std::uint8_t>& b) {
    return b.size() >= kSearchFrameLength && b[kPosDestination] == kPcAddress &&
           b[kPosSource] == kPcAddress;
}

}  // namespace

std::vector<PcFrameReader::Event> PcFrameReader::Feed(const std::uint8_t* data, std::size_t size,
                                                      Clock::time_point now) {
    std::vector<Event> out;
    if (size == 0) {
        return out;
    }
    if (!m_pending.empty() && now - m_lastByte >= m_quiet) {
        Conclude(out);
    }
    for (std::size_t i = 0; i < size; ++i) {
        Push(data[i], out);
    }
    m_lastByte = now;
    return out;
}

std::vector<PcFrameReader::Event> PcFrameReader::Poll(Clock::time_point now) {
    std::vector<Event> out;
    if (!m_pending.empty() && now - m_lastByte >= m_quiet) {
        Conclude(out);
    }
    return out;
}

std::optional<PcFrameReader::Clock::time_point> PcFrameReader::Deadline() const {
    if (m_pending.empty()) {
        return std::nullopt;
    }
    return m_lastByte + m_quiet;
}

void PcFrameReader::Reset() {
    m_pending.clear();
}

void PcFrameReader::Push(std::uint8_t b, std::vector<Event>& out) {
    if (m_pending.empty()) {
        if (b == kFrameHead) {
            m_pending.push_back(b);
        } else {
            Drop(&b, 1, out);
        }
        return;
    }
    // A search is complete when the next frame's head follows it at once.
    if (m_pending.size() == kSearchFrameLength && IsSearchPrefix(m_pending) && b == kFrameHead) {
        Emit(kSearchFrameLength, out);
        m_pending.push_back(b);
        return;
    }
    m_pending.push_back(b);
    Check(out);
}

void PcFrameReader::Check(std::vector<Event>& out) {
    const std::size_t size = m_pending.size();
    if (size == kPosType + 1 && m_pending[kPosType] == kFrameHead) {
        Resync(out);
    } else if (size == kPosSource + 1 && m_pending[kPosSource] != kPcAddress) {
        Resync(out);
    } else if (size == kFrameLength) {
        if (m_pending[kPosCommand] != kCmdFunctionCodes) {
            Emit(kFrameLength, out);
        } else if (m_pending[6] > kMaxFunctionCodes) {
            Resync(out);
        } else if (m_pending[6] == 0) {
            Emit(kFrameLength, out);
        }
    } else if (size > kFrameLength && size == kFrameLength + m_pending[6]) {
        Emit(size, out);
    }
}

// The pending bytes cannot be a PC frame: drop up to the next 0xFA after the head and read the
// rest again from there.
void PcFrameReader::Resync(std::vector<Event>& out) {
    std::vector<std::uint8_t> rest;
    rest.swap(m_pending);
    const auto next = std::find(rest.begin() + 1, rest.end(), kFrameHead);
    Drop(rest.data(), static_cast<std::size_t>(next - rest.begin()), out);
    for (auto it = next; it != rest.end(); ++it) {
        Push(*it, out);
    }
}

void PcFrameReader::Conclude(std::vector<Event>& out) {
    if (m_pending.size() == kSearchFrameLength && IsSearchPrefix(m_pending)) {
        Emit(kSearchFrameLength, out);
    } else {
        Drop(m_pending.data(), m_pending.size(), out);
        m_pending.clear();
    }
}

void PcFrameReader::Emit(std::size_t length, std::vector<Event>& out) {
    out.push_back({Event::Kind::Frame, {m_pending.begin(), m_pending.begin() + length}});
    m_pending.erase(m_pending.begin(), m_pending.begin() + length);
}

void PcFrameReader::Drop(const std::uint8_t* data, std::size_t size, std::vector<Event>& out) {
    if (size == 0) {
        return;
    }
    // Consecutive dropped bytes are reported as one run.
    if (!out.empty() && out.back().kind == Event::Kind::Dropped) {
        out.back().bytes.insert(out.back().bytes.end(), data, data + size);
    } else {
        out.push_back({Event::Kind::Dropped, {data, data + size}});
    }
}
