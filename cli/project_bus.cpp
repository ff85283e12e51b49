#include "cli/project_bus.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "cli/interrupt.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The longest the loop sleeps without looking at the stop flag and the engine's reports.
constexpr milliseconds kLongestPump{50};

}  // namespace

ToolProjectBus::ToolProjectBus(BusClient& client) : m_client(client) {
    m_expectedWrites = m_client.WrittenCount();
    m_client.SetListener(this);
}

ToolProjectBus::~ToolProjectBus() {
    m_client.SetListener(nullptr);
    m_client.Session().SetAddressChooser(nullptr);
}

void ToolProjectBus::UseModel(DeviceModel model) {
    m_client.UseModel(model);
}

void ToolProjectBus::SendSearch() {
    m_client.Session().SendSearch();
    Sent();
}

void ToolProjectBus::SendFrame(const Build& build) {
    m_client.Session().BuildAndSend(build);
    Sent();
}

void ToolProjectBus::SendReadConfig(std::uint8_t address) {
    m_client.Session().SendReadConfig(address);
    Sent();
}

void ToolProjectBus::StartAutoAssign(AddressChooser chooser) {
    m_client.Session().SetAddressChooser(
        [chooser = std::move(chooser)](const std::uint8_t* request) -> std::optional<std::uint8_t> {
            return chooser(request);
        });
    m_client.Session().StartAutoAssign(kFirstDeviceAddress);
    Sent();
}

void ToolProjectBus::StopAutoAssign() {
    m_client.Session().SetAddressChooser(nullptr);
}

void ToolProjectBus::OnFrame(const std::uint8_t* frame) {
    if (m_run) {
        m_event = true;
        m_run->OnFrame(frame, Clock::now());
    }
}

void ToolProjectBus::OnConfig(std::uint8_t source, const TarvoConfigBlock& block) {
    if (m_run) {
        m_event = true;
        m_run->OnConfig(source, block, Clock::now());
    }
}

void ToolProjectBus::OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) {
    Sent();  // the session's answer went out
    if (m_run) {
        m_event = true;
        m_run->OnAddressHandedOut(request, address, Clock::now());
    }
}

void ToolProjectBus::Drive(ProjectRun& run) {
    m_run = &run;
    bool stopped = false;
    run.Start(Clock::now());
    while (!run.Done()) {
        if (const std::optional<std::string> failure = m_client.Failure()) {
            // The run says "the port failed: " itself.
            const std::string prefix = "the port failed: ";
            run.OnPortFailure(
                failure->rfind(prefix, 0) == 0 ? failure->substr(prefix.size()) : *failure,
                Clock::now());
            break;
        }
        if (InterruptSignal() != 0 && !stopped) {
            stopped = true;
            run.Stop(Clock::now());
            continue;
        }
        const auto now = Clock::now();
        milliseconds wait = kLongestPump;
        if (const auto wake = run.WakeAt()) {
            wait = std::clamp(std::chrono::ceil<milliseconds>(*wake - now), milliseconds(0),
                              kLongestPump);
        }
        m_event = false;
        m_client.PumpUntil([&] { return m_event; }, wait);
        if (stopped && !m_event) {
            // After a signal the pump returns at once; the run still ends its frame in hand.
            std::this_thread::sleep_for(std::min(wait, milliseconds(2)));
        }
        run.OnTime(Clock::now());
    }
    m_run = nullptr;
    // The last frame handed over goes out before the port is closed.
    if (!m_client.Failure()) {
        const auto deadline = Clock::now() + std::chrono::seconds(1);
        while (m_client.WrittenCount() < m_expectedWrites && Clock::now() < deadline) {
            m_client.PumpUntil([&] { return m_client.WrittenCount() >= m_expectedWrites; },
                               milliseconds(5));
            if (InterruptSignal() != 0) {
                std::this_thread::sleep_for(milliseconds(2));  // the pump returned at once
            }
        }
    }
}
