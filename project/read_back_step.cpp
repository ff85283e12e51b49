#include "project/read_back_step.h"

#include "bus/frame.h"

void ReadBackStep::Begin(StepContext& c, Time now) {
    // The configuration reply is handed over while a TARVO's commands are current.
    c.bus.UseModel(DeviceModel::Tarvo);
    Ask(c, now);
}

void ReadBackStep::Ask(StepContext& c, Time now) {
    c.bus.SendReadConfig(m_address);
    ++m_asked;
    WakeAt(now + c.timing.OnLine(kFrameLength + kLongReplyLength) + c.timing.wait);
}

void ReadBackStep::OnConfig(StepContext&, std::uint8_t source, const TarvoConfigBlock& block,
                            Time) {
    if (Finished() || source != m_address) {
        return;
    }
    m_config = DecodeTarvoConfig(block);
    Finish();
}

void ReadBackStep::OnTime(StepContext& c, Time now) {
    if (Finished() || !Due(WakeAt(), now)) {
        return;
    }
    if (m_asked < c.timing.readAttempts) {
        Ask(c, now);
    } else {
        Finish();
    }
}
