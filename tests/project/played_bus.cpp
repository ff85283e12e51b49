#include "played_bus.h"

#include <algorithm>

#include "bus/commands.h"
#include "bus/frame.h"
#include "tests/bus/hex.h"

PlayedBus::PlayedBus(const std::vector<SimDeviceSpec>& devices)
    : m_start(std::chrono::steady_clock::time_point() + std::chrono::hours(1)), m_now(m_start) {
    for (const SimDeviceSpec& d : devices) {
        m_sim.AddDevice(d);
    }
}

void PlayedBus::UseModel(DeviceModel model) {
    m_tx.WithLock([&](TxFrame::Bytes& b) { b[kPosType] = ModelInfo(model).typeCode; });
}

void PlayedBus::ToDevices(const std::vector<std::uint8_t>& frame) {
    m_sent.push_back(ToHex(frame.begin(), frame.end()));
    if (!drop || !drop(frame)) {
        m_sim.HandleFrame(frame, m_now);
    }
}

void PlayedBus::SendFrame(const Build& build) {
    std::vector<std::uint8_t> frame;
    m_tx.WithLock([&](TxFrame::Bytes& b) {
        const unsigned n = build(b);
        frame.assign(b.begin(), b.begin() + n);
    });
    ToDevices(frame);
}

void PlayedBus::SendSearch() {
    SendFrame([](TxFrame::Bytes& b) { return BuildSearchFrame(b, std::nullopt); });
}

void PlayedBus::SendReadConfig(std::uint8_t address) {
    SendFrame([&](TxFrame::Bytes& b) { return BuildReadConfigFrame(b, address); });
}

void PlayedBus::StartAutoAssign(AddressChooser chooser) {
    m_chooser = std::move(chooser);
    SendFrame([](TxFrame::Bytes& b) { return BuildAutoAssignFrame(b); });
}

void PlayedBus::StopAutoAssign() {
    m_chooser = nullptr;
}

void PlayedBus::Inject(const std::vector<std::uint8_t>& frame) {
    m_sim.HandleFrame(frame, m_now);
    // What the devices answer goes to nobody.
    while (const auto due = m_sim.NextDue()) {
        m_now = std::max(m_now, *due);
        m_sim.TakeDue(m_now);
    }
}

const SimDeviceState* PlayedBus::Device(DeviceModel model, const SimIdentity& id) const {
    for (const SimDeviceState& d : m_sim.Devices()) {
        if (d.model == model && d.identity == id) {
            return &d;
        }
    }
    return nullptr;
}

std::size_t PlayedBus::SentWith(std::uint8_t command, std::uint8_t destination) const {
    return static_cast<std::size_t>(std::count_if(m_sent.begin(), m_sent.end(), [&](const auto& s) {
        const std::vector<std::uint8_t> f = Hex(s);
        return f.size() >= kFrameLength && f[kPosCommand] == command &&
               f[kPosDestination] == destination;
    }));
}

void PlayedBus::Deliver(ProjectRun& run, const std::vector<std::uint8_t>& reply) {
    if (reply.size() == kLongReplyLength) {
        TarvoConfigBlock block;
        std::copy_n(reply.begin() + kFrameLength, block.bytes.size(), block.bytes.begin());
        run.OnConfig(reply[kPosSource], block, m_now);
        return;
    }
    if (reply.size() != kFrameLength) {
        return;
    }
    if (reply[kPosCommand] == kCmdAddressRequest && m_chooser) {
        // The session's dispatch: the chooser's answer goes out, then the run hears of it.
        const std::uint8_t address = m_chooser(reply.data());
        std::vector<std::uint8_t> answer;
        m_tx.WithLock([&](TxFrame::Bytes& b) {
            const unsigned n = BuildAddressAnswer(b, reply.data(), address);
            answer.assign(b.begin(), b.begin() + n);
        });
        ToDevices(answer);
        run.OnAddressHandedOut(reply.data(), address, m_now);
    }
    run.OnFrame(reply.data(), m_now);
}

void PlayedBus::Play(ProjectRun& run, std::chrono::seconds limit,
                     const std::function<void(Time)>& each, std::chrono::milliseconds tick) {
    const Time end = m_now + limit;
    if (each) {
        each(m_now);
    }
    run.Start(m_now);
    while (!run.Done() && m_now < end) {
        std::optional<Time> next = run.WakeAt();
        if (const auto due = m_sim.NextDue(); due && (!next || *due < *next)) {
            next = due;
        }
        if (!next) {
            break;  // nothing will ever happen again
        }
        if (tick.count() > 0 && *next > m_now + tick) {
            next = m_now + tick;
        }
        m_now = std::max(m_now, *next);
        if (each) {
            each(m_now);
            if (run.Done()) {
                break;
            }
        }
        for (const SimBus::Reply& reply : m_sim.TakeDue(m_now)) {
            Deliver(run, reply.bytes);
        }
        run.OnTime(m_now);
    }
}
