#include "project/key_write_step.h"

KeyWriteStep::KeyWriteStep(std::uint8_t address, const PlannedKeyConfig& config)
    : m_address(address),
      m_fields(config.Fields()),
      m_source(address, m_fields),
      m_sequence(m_fields) {}

void KeyWriteStep::Begin(StepContext& c, Time now) {
    c.bus.UseModel(DeviceModel::Tarvo);
    SendNext(c, now);
}

void KeyWriteStep::SendNext(StepContext& c, Time now) {
    const std::optional<IKeyConfigLink::Build> build = m_sequence.Next(m_source);
    if (!build) {
        Finish();
        return;
    }
    unsigned length = 0;
    c.bus.SendFrame([&](TxFrame::Bytes& bytes) {
        length = (*build)(bytes);
        return length;
    });
    m_sequence.Sent();
    WakeAt(now + c.timing.OnLine(length) + kKeyConfigFrameGap);
}

void KeyWriteStep::OnTime(StepContext& c, Time now) {
    if (Finished() || !Due(WakeAt(), now)) {
        return;
    }
    if (m_stopping) {
        Finish();
        return;
    }
    SendNext(c, now);
}

void KeyWriteStep::Stop(StepContext&, Time) {
    // The frame on its way keeps its gap; nothing more is sent.
    m_stopping = true;
}
