#pragma once
// The tool's connection to the bus: a BusSession whose owner thread is the tool's main thread
// (a PlainMessageOwner in calling-thread mode), so received bytes are handled only while the
// tool waits for something. What the bus brings is kept for the subcommands to report: found
// devices, the addresses handed out, confirmations, the configuration reply. A tap on the
// engine counts the frames actually written, so the tool never sends a frame before the one
// before it went out, and never closes the port on a frame still waiting.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/plain_message_owner.h"
#include "serial/port_enumeration.h"
#include "serial/serial_tap.h"
#include "session/bus_session.h"

struct FoundDevice {
    std::uint8_t address;
    std::uint8_t type;  // frame byte 1
    std::array<std::uint8_t, 4> state;
};

struct HandedOutAddress {
    std::uint8_t address;
    std::array<std::uint8_t, 4> identity;  // bytes 6..9 of the device's request
    bool confirmed = false;                // the device answered 0x22 from its new address
};

class BusClient : private ISessionView, private ISerialTap {
public:
    using Clock = std::chrono::steady_clock;

    BusClient();
    ~BusClient() override;
    BusClient(const BusClient&) = delete;
    BusClient& operator=(const BusClient&) = delete;

    // Opens `port` with `line`. On failure *reason says why (the open-failure hint).
    bool Open(const SerialPortEntry& port, const LineSettings& line, std::string* reason);
    // Closes the port (a frame not yet written is dropped: send with SendAndWait).
    void Close();

    BusSession& Session() { return m_session; }
    // Makes `tab` current: the bus commands go to its device type from now on.
    void UseTab(int tab) { m_session.ChangeTab(tab); }

    // Handles received bytes for `duration`.
    void Pump(std::chrono::milliseconds duration);
    // Handles received bytes until pred() holds or `timeout` passes; returns pred().
    bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // Sends with `send` (a session call) and handles received bytes until the engine has
    // written that frame. False when it was not written within `timeout`.
    bool SendAndWait(const std::function<void()>& send,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // The frames the engine wrote, in order.
    std::vector<std::vector<std::uint8_t>> WrittenFrames() const;

    // --- What the bus brought.
    const std::vector<FoundDevice>& Found() const { return m_found; }
    void ClearFound() { m_found.clear(); }
    const std::vector<HandedOutAddress>& HandedOut() const { return m_handedOut; }
    // Every complete ten-byte frame, in arrival order.
    const std::vector<std::array<std::uint8_t, 10>>& Frames() const { return m_frames; }
    // The last configuration reply and the address it came from.
    const std::optional<TarvoConfigBlock>& Config() const { return m_config; }
    std::uint8_t ConfigSource() const { return m_configSource; }
    // When the last complete frame arrived.
    Clock::time_point LastFrameTime() const { return m_lastFrame; }

private:
    // ISessionView
    void AddStatusLine(const char*) override {}
    void ScrollStatusToLastLine() override {}
    void AddDeviceToList(std::uint8_t) override {}
    void SetMirellRecord(const OrvalMirell&) override {}
    void SetOskanRecord(const OrvalOskan&) override {}
    void LoadTarvoConfig(const TarvoConfigBlock& block) override;
    void OnFrame(const std::uint8_t* frame) override;
    void OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) override;

    // ISerialTap: called on the engine's threads.
    void OnPortOpened(unsigned) override {}
    void OnWritten(const std::uint8_t* bytes, std::size_t count) override;
    void OnReplaced(const std::uint8_t*, std::size_t) override {}
    void OnPurged(std::size_t) override {}

    void HandleMessage(const WindowMessage& message);

    PlainMessageOwner m_owner;
    BusSession m_session{*this};
    std::atomic<std::size_t> m_writtenCount{0};
    mutable std::mutex m_writtenMutex;
    std::vector<std::vector<std::uint8_t>> m_written;  // guarded by m_writtenMutex

    std::vector<FoundDevice> m_found;
    std::vector<HandedOutAddress> m_handedOut;
    std::vector<std::array<std::uint8_t, 10>> m_frames;
    std::optional<TarvoConfigBlock> m_config;
    std::uint8_t m_configSource = 0;
    Clock::time_point m_lastFrame{};
};
