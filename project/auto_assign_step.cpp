#include "project/auto_assign_step.h"

#include <algorithm>

#include "bus/frame.h"

namespace {

DeviceIdentity IdentityOf(const std::uint8_t* frame) {
    DeviceIdentity id{};
    std::copy_n(frame + 6, id.size(), id.begin());
    return id;
}

}  // namespace

void AutoAssignStep::Begin(StepContext& c, Time now) {
    c.bus.UseModel(m_model);
    c.bus.StartAutoAssign(m_chooser);
    m_lastActivity = now + c.timing.OnLine(kFrameLength);
    WakeAt(m_lastActivity + c.timing.wait);
}

bool AutoAssignStep::Complete() const {
    if (m_announced.empty()) {
        return false;
    }
    return std::all_of(m_announced.begin(), m_announced.end(), [&](const DeviceIdentity& id) {
        return std::any_of(m_handedOut.begin(), m_handedOut.end(),
                           [&](const auto& h) { return h.identity == id && h.confirmed; });
    });
}

void AutoAssignStep::OnFrame(StepContext& c, const std::uint8_t* frame, Time now) {
    if (Finished() || frame[kPosType] != ModelInfo(m_model).typeCode) {
        return;
    }
    const DeviceIdentity id = IdentityOf(frame);
    if (frame[kPosCommand] == kCmdAutoAssign) {
        if (std::find(m_announced.begin(), m_announced.end(), id) == m_announced.end()) {
            m_announced.push_back(id);
        }
    } else if (frame[kPosCommand] == kCmdAddressAssign) {
        // The device confirms from its new address.
        for (AddressHandedOut& h : m_handedOut) {
            if (!h.confirmed && h.identity == id && h.to == frame[kPosSource]) {
                h.confirmed = true;
                break;
            }
        }
    } else {
        return;
    }
    m_lastActivity = now;
    WakeAt(now + (Complete() ? c.timing.assignSettle : c.timing.wait));
}

void AutoAssignStep::OnAddressHandedOut(StepContext& c, const std::uint8_t* request,
                                        std::uint8_t address, Time now) {
    if (Finished()) {
        return;
    }
    m_handedOut.push_back({request[kPosSource], address, IdentityOf(request), false});
    m_lastActivity = now;
    WakeAt(now + c.timing.wait);
}

void AutoAssignStep::OnTime(StepContext&, Time now) {
    if (Due(WakeAt(), now)) {
        Finish();
    }
}
