#include "project/identify_run.h"

#include "bus/commands.h"
#include "bus/frame.h"

// LED1 flashing, then off after the time or at a stop.
class IdentifyRun::LedStep : public RunStep {
public:
    LedStep(std::uint8_t address, std::chrono::milliseconds duration, int& sent)
        : m_address(address), m_duration(duration), m_sent(sent) {}
    void Begin(StepContext& c, Time now) override {
        c.bus.UseModel(DeviceModel::Tarvo);
        Send(c, kLedFlash);
        WakeAt(now + m_duration);
    }
    void OnTime(StepContext& c, Time now) override {
        if (Finished() || !Due(WakeAt(), now)) {
            return;
        }
        if (m_sent < 2) {
            Off(c, now);
        } else {
            Finish();
        }
    }
    void Stop(StepContext& c, Time now) override {
        if (!Finished() && m_sent < 2) {
            Off(c, now);
        }
    }
    std::optional<std::uint8_t> Address() const override { return m_address; }

private:
    void Send(StepContext& c, std::uint8_t state) {
        c.bus.SendFrame([&](TxFrame::Bytes& bytes) {
            return BuildLedTestFrame(bytes, kCmdLed1, m_address, state);
        });
        ++m_sent;
    }
    // Switched off; over once the frame has had its time on the line.
    void Off(StepContext& c, Time now) {
        Send(c, kLedOff);
        WakeAt(now + c.timing.OnLine(kFrameLength));
    }

    std::uint8_t m_address;
    std::chrono::milliseconds m_duration;
    int& m_sent;
};

IdentifyRun::IdentifyRun(IProjectBus& bus, const RunTiming& timing, std::uint8_t address,
                         std::chrono::milliseconds duration)
    : ProjectRun(bus, timing), m_address(address), m_duration(duration) {
    AddToTotal(1);
}

void IdentifyRun::Next(Time now) {
    if (m_step || Stopping()) {
        Finish();
        return;
    }
    m_step = Begin(std::make_unique<LedStep>(m_address, m_duration, m_sent), "identifying",
                   DeviceModel::Tarvo, now);
}
