#include "project/address_write_step.h"

#include <algorithm>

#include "bus/commands.h"
#include "bus/frame.h"

void AddressWriteStep::Begin(StepContext& c, Time now) {
    c.bus.UseModel(m_model);
    // The MIRELL address write already names the device by four bytes in 6..9; the same frame
    // carries the identity for an OSKAN (the window's OSKAN write, with 0x22 in byte 6, stays
    // the window's).
    c.bus.SendFrame([this](TxFrame::Bytes& bytes) {
        return BuildMirellAddressWrite(bytes, m_from, m_to, m_identity);
    });
    WakeAt(now + c.timing.OnLine(kFrameLength) + c.timing.addressWritePause);
}

void AddressWriteStep::OnFrame(StepContext&, const std::uint8_t* frame, Time) {
    if (Finished() || frame[kPosCommand] != kCmdAddressAssign ||
        frame[kPosType] != ModelInfo(m_model).typeCode || frame[kPosSource] != m_to ||
        !std::equal(m_identity.begin(), m_identity.end(), frame + 6)) {
        return;
    }
    m_answered = true;
    Finish();
}

void AddressWriteStep::OnTime(StepContext&, Time now) {
    if (Due(WakeAt(), now)) {
        Finish();
    }
}
