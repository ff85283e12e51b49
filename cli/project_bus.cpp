#include "cli/project_bus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/message_box.h"

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
    m_client.Session().SetAddressChooser(std::move(chooser));
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

std::string ToolProjectBus::PortFailure() const {
    std::lock_guard lock(m_failureMutex);
    return m_failure;
}

void ToolProjectBus::Drive(ProjectRun& run, const std::atomic<bool>* stop) {
    // The engine reports a failed device call as a message box: here it also ends the run.
    const MessageBoxContentHandler previous = SetMessageBoxContentHandler({});
    SetMessageBoxContentHandler([this, previous](const MessageBoxContent& box) {
        {
            std::lock_guard lock(m_failureMutex);
            if (m_failure.empty()) {
                m_failure = box.text;
            }
        }
        m_failed = true;
        if (previous) {
            previous(box);
        } else {
            std::fprintf(stderr, "[%s] %s\n", box.caption.c_str(), box.text.c_str());
        }
    });

    m_run = &run;
    bool stopped = false;
    run.Start(Clock::now());
    while (!run.Done()) {
        if (m_failed) {
            std::string why = PortFailure();
            std::replace(why.begin(), why.end(), '\n', ' ');
            run.OnPortFailure(why, Clock::now());
            break;
        }
        if (stop && stop->load() && !stopped) {
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
        m_client.PumpUntil([&] { return m_event || m_failed.load(); }, wait);
        run.OnTime(Clock::now());
    }
    m_run = nullptr;
    // The last frame handed over goes out before the port is closed.
    if (!m_failed) {
        m_client.PumpUntil([&] { return m_client.WrittenCount() >= m_expectedWrites; },
                           std::chrono::seconds(1));
    }
    SetMessageBoxContentHandler(previous);
}
