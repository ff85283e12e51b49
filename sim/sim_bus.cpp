#include "sim/sim_bus.h"

#include <algorithm>
#include <cstdio>

#include "bus/commands.h"
#include "bus/frame.h"

namespace {

std::string DeviceName(const SimDeviceState& d) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %u [%02X%02X%02X%02X]", ModelInfo(d.model).title,
                  d.address, d.identity[0], d.identity[1], d.identity[2], d.identity[3]);
    return text;
}

bool SameIdentity(const SimDeviceState& d, const std::vector<std::uint8_t>& f) {
    return std::equal(d.identity.begin(), d.identity.end(), f.begin() + 6);
}

}  // namespace

std::size_t SimBus::AddDevice(const SimDeviceSpec& entry) {
    m_devices.push_back(MakeDeviceState(entry));
    return m_devices.size() - 1;
}

void SimBus::Note(const std::string& text) const {
    if (m_note) {
        m_note(text);
    }
}

void SimBus::Schedule(std::vector<std::uint8_t> bytes, Clock::time_point earliest) {
    const Clock::time_point due = std::max(earliest, m_lastDue + m_timing.replyGap);
    m_lastDue = due;
    m_replies.push_back({due, std::move(bytes)});
}

std::vector<std::size_t> SimBus::Addressed(std::uint8_t type, std::uint8_t address) const {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (ModelInfo(m_devices[i].model).typeCode == type && m_devices[i].address == address) {
            found.push_back(i);
        }
    }
    return found;
}

std::vector<std::uint8_t> SimBus::ShortFrame(const SimDeviceState& d, std::uint8_t command,
                                             std::array<std::uint8_t, 5> data) const {
    return {kFrameHead, ModelInfo(d.model).typeCode,
            kPcAddress, d.address,
            command,    data[0],
            data[1],    data[2],
            data[3],    data[4]};
}

std::vector<std::uint8_t> SimBus::IdentityFrame(const SimDeviceState& d, std::uint8_t command,
                                                std::uint8_t byte5) const {
    const SimIdentity& id = d.identity;
    return ShortFrame(d, command, {byte5, id[0], id[1], id[2], id[3]});
}

void SimBus::HandleFrame(const std::vector<std::uint8_t>& f, Clock::time_point now) {
    if (f.size() == kSearchFrameLength) {
        OnSearch(f[kPosType], now);
        return;
    }
    if (f.size() < kFrameLength) {
        return;
    }
    const std::uint8_t type = f[kPosType];
    const std::uint8_t command = f[kPosCommand];
    if (command == kCmdAutoAssign && f[kPosDestination] == kBroadcastAddress) {
        OnAutoAssign(type, now);
        return;
    }
    if (command == kCmdAddressAssign) {
        OnAddress(f, now);
        return;
    }
    for (std::size_t i : Addressed(type, f[kPosDestination])) {
        SimDeviceState& d = m_devices[i];
        switch (d.model) {
            case SimModel::Tarvo:
                OnTarvo(d, f, now);
                break;
            case SimModel::Mirell:
                OnMirell(d, f);
                break;
            case SimModel::Oskan:
                OnOskan(d, f);
                break;
        }
    }
}

void SimBus::OnSearch(std::uint8_t type, Clock::time_point now) {
    for (const SimDeviceState& d : m_devices) {
        if (ModelInfo(d.model).typeCode == type) {
            Schedule(IdentityFrame(d, kCmdFound), now + m_timing.firstReply);
        }
    }
}

void SimBus::OnAutoAssign(std::uint8_t type, Clock::time_point now) {
    Assignment a;
    a.type = type;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        const SimDeviceState& d = m_devices[i];
        if (ModelInfo(d.model).typeCode == type) {
            a.waiting.push_back(i);
            Schedule(IdentityFrame(d, kCmdAutoAssign), now + m_timing.firstReply);
        }
    }
    if (a.waiting.empty()) {
        m_assignment.reset();
        return;
    }
    a.nextRequest = m_lastDue + m_timing.assignNextRequest;
    m_assignment = std::move(a);
}

// 0x22: during automatic assignment, the asking device takes the address when the PC's answer
// carries its identity. Otherwise it is an address write to the devices at byte 2; when several
// share that address and the frame names one of them by identity, only that one moves.
void SimBus::OnAddress(const std::vector<std::uint8_t>& f, Clock::time_point now) {
    const std::uint8_t type = f[kPosType];
    const std::uint8_t target = f[kPosDestination];
    const std::uint8_t newAddress = f[kPosData];

    std::vector<std::size_t> movers;
    bool answersRequest = false;
    if (m_assignment && m_assignment->asking && m_assignment->type == type) {
        const std::size_t i = *m_assignment->asking;
        if (m_devices[i].address == target && SameIdentity(m_devices[i], f)) {
            movers.push_back(i);
            answersRequest = true;
        }
    }
    if (!answersRequest) {
        movers = Addressed(type, target);
        std::vector<std::size_t> named;
        std::copy_if(movers.begin(), movers.end(), std::back_inserter(named),
                     [&](std::size_t i) { return SameIdentity(m_devices[i], f); });
        if (!named.empty()) {
            movers = named;
        }
    }
    if (movers.empty()) {
        return;
    }
    if (newAddress == kPcAddress) {
        // Address 0 is the PC's: a device keeps its address rather than fall off the bus.
        for (std::size_t i : movers) {
            Note(DeviceName(m_devices[i]) + " refuses address 0 (the PC's)");
        }
        return;
    }
    for (std::size_t i : movers) {
        SimDeviceState& d = m_devices[i];
        d.address = newAddress;
        Schedule(IdentityFrame(d, kCmdAddressAssign, newAddress), now + m_timing.firstReply);
    }
    if (answersRequest) {
        m_assignment->asking.reset();
        m_assignment->nextRequest = m_lastDue + m_timing.assignNextRequest;
    }
}

void SimBus::OnTarvo(SimDeviceState& d, const std::vector<std::uint8_t>& f, Clock::time_point now) {
    const std::uint8_t command = f[kPosCommand];
    switch (command) {
        case kCmdLed1:
        case kCmdLed2: {
            const std::uint8_t value = f[6];
            if (value > static_cast<std::uint8_t>(LedState::Flash)) {
                return;
            }
            (command == kCmdLed1 ? d.led1 : d.led2) = static_cast<LedState>(value);
            return;
        }
        case kCmdKeyMode:
            d.tarvo.keyMode = f[6];
            d.tarvo.longPressMs = static_cast<std::uint16_t>(f[7] | (f[8] << 8));
            Schedule(ShortFrame(d, kCmdKeyMode, {0, f[6], f[7], f[8], 0}),
                     now + m_timing.firstReply);
            return;
        case kCmdFunctionCodes: {
            const std::size_t n = f[6];
            if (f[7] > 1 || f.size() != kFrameLength + n) {
                return;
            }
            std::vector<std::uint8_t> codes(f.begin() + kFrameLength, f.end());
            (f[7] == 1 ? d.tarvo.pressCodes : d.tarvo.releaseCodes) = std::move(codes);
            Schedule(ShortFrame(d, kCmdFunctionCodes, {0, f[6], f[7], 0, 0}),
                     now + m_timing.firstReply);
            return;
        }
        case kCmdSerialFormat: {
            const std::uint8_t format = f[8];
            d.tarvo.baud = (f[6] | (f[7] << 8)) * 100;
            d.tarvo.dataBitsIndex = format & 0x03;
            d.tarvo.stopBitsIndex = (format >> 2) & 0x03;
            d.tarvo.parityIndex = (format >> 4) & 0x07;
            Schedule(ShortFrame(d, kCmdSerialFormat, {0, f[6], f[7], f[8], 0}),
                     now + m_timing.firstReply);
            return;
        }
        case kCmdReadConfig: {
            std::vector<std::uint8_t> reply = ShortFrame(d, kCmdReadConfig, {0, 0, 0, 0, 0});
            const TarvoConfigBlock block = EncodeTarvoConfig(d.tarvo);
            reply.insert(reply.end(), block.bytes.begin(), block.bytes.end());
            Schedule(std::move(reply), now + m_timing.firstReply);
            return;
        }
        default:
            return;
    }
}

// FA 08 addr 00 00 00 45 function value 55.
void SimBus::OnMirell(SimDeviceState& d, const std::vector<std::uint8_t>& f) {
    if (f[kPosCommand] != kCmdDevice || f[5] != 0x00 || f[6] != 0x45 || f[9] != 0x55) {
        return;
    }
    const std::uint8_t function = f[7];
    if (function != kMirellProjector && function != kMirellSequence && function != kMirellScreen &&
        function != kMirellLifter) {
        return;
    }
    d.mirellFunctions[function] = f[8];
}

// Channel: FA 06 addr 00 00 00 ~code code 00 00 (code k on, 0x10 + k off, k = 1..8).
// Feedback: FA 06 addr 00 02 02 ... on, 03 03 ... off.
void SimBus::OnOskan(SimDeviceState& d, const std::vector<std::uint8_t>& f) {
    const std::uint8_t command = f[kPosCommand];
    if (command == kCmdDevice && f[5] == 0x00) {
        const std::uint8_t code = f[7];
        if (f[6] != static_cast<std::uint8_t>(~code)) {
            return;
        }
        if (code >= 1 && code <= kOskanChannels) {
            d.channels[code - 1] = true;
        } else if (code >= 0x11 && code <= 0x10 + kOskanChannels) {
            d.channels[code - 0x11] = false;
        }
    } else if (command == 0x02 && f[5] == 0x02) {
        d.feedback = true;
    } else if (command == 0x03 && f[5] == 0x03) {
        d.feedback = false;
    }
}

void SimBus::RunAssignment(Clock::time_point now) {
    while (m_assignment) {
        Assignment& a = *m_assignment;
        if (a.asking) {
            if (now < a.answerDeadline) {
                return;
            }
            Note(DeviceName(m_devices[*a.asking]) + " got no address from the PC and gives up");
            a.asking.reset();
            a.nextRequest = a.answerDeadline;
            continue;
        }
        if (a.waiting.empty()) {
            m_assignment.reset();
            return;
        }
        if (now < a.nextRequest) {
            return;
        }
        const std::size_t i = a.waiting.front();
        a.waiting.pop_front();
        const SimDeviceState& d = m_devices[i];
        a.asking = i;
        Schedule(IdentityFrame(d, kCmdAddressRequest), std::max(now, a.nextRequest));
        a.answerDeadline = m_lastDue + m_timing.assignAnswerTimeout;
    }
}

std::vector<SimBus::Reply> SimBus::TakeDue(Clock::time_point now) {
    RunAssignment(now);
    std::vector<Reply> due;
    if (!m_replies.empty() && m_replies.front().due <= now) {
        due.push_back(std::move(m_replies.front()));
        m_replies.pop_front();
        // Keep the gap on the line even when this reply went out late.
        if (!m_replies.empty() && m_replies.front().due < now + m_timing.replyGap) {
            m_replies.front().due = now + m_timing.replyGap;
        }
        m_lastDue = std::max(m_lastDue, m_replies.empty() ? now : m_replies.back().due);
    }
    return due;
}

std::optional<SimBus::Clock::time_point> SimBus::NextDue() const {
    std::optional<Clock::time_point> next;
    auto consider = [&](Clock::time_point t) {
        if (!next || t < *next) {
            next = t;
        }
    };
    if (!m_replies.empty()) {
        consider(m_replies.front().due);
    }
    if (m_assignment) {
        consider(m_assignment->asking ? m_assignment->answerDeadline : m_assignment->nextRequest);
    }
    return next;
}

void SimBus::ResetConversation() {
    m_replies.clear();
    m_assignment.reset();
}
