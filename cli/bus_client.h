#pragma once
// The tool's connection to the bus: a BusSession whose owner thread is the tool's main thread
// (a PlainMessageOwner in calling-thread mode), so received bytes are handled only while the
// tool waits for something. What the bus brings is kept for the subcommands to report: found
// devices, the addresses handed out, confirmations, the configuration reply, the bytes that
// formed no frame. A tap on the engine counts the frames actually written (so the tool never
// sends a frame before the one before it went out, and never closes the port on a frame still
// waiting), tells when bytes arrived (so a reply with a silence inside it is known to be cut)
// and tells a failed port at once.
//
// Every wait ends early when the port failed or the user interrupted the tool (cli/interrupt.h):
// Stopped() then says so.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/line_settings.h"
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

// A configuration reply as it arrived.
struct ConfigReply {
    std::uint8_t source = 0;
    TarvoConfigBlock block;
    // The longest silence inside the reply beyond what its own bytes took on the line: a reply
    // that stopped and went on later is cut, and its block holds bytes of whatever came next.
    std::chrono::milliseconds longestSilence{0};
};

// Hears what the bus brings as it arrives, on the tool's thread, after BusClient kept it (the
// commissioning project's runs take it from here).
class IBusListener {
public:
    virtual ~IBusListener() = default;
    virtual void OnFrame(const std::uint8_t* frame /*10 bytes*/) = 0;
    virtual void OnConfig(std::uint8_t source, const TarvoConfigBlock& block) = 0;
    virtual void OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) = 0;
};

class BusClient : private ISessionView, private ISerialTap {
public:
    using Clock = std::chrono::steady_clock;

    BusClient();
    ~BusClient() override;
    BusClient(const BusClient&) = delete;
    BusClient& operator=(const BusClient&) = delete;

    // Opens `port` with `line`. On failure *reason says why (the open-failure hint). Settings
    // the port refused while opening are kept in Warnings(); the port is open all the same.
    bool Open(const SerialPortEntry& port, const LineSettings& line, std::string* reason);
    // Closes the port (a frame not yet written is dropped: send with SendAndWait).
    void Close();

    BusSession& Session() { return m_session; }
    // The bus commands go to `model`'s device type from now on.
    void UseModel(DeviceModel model) { m_session.UseModel(model); }

    // Handles received bytes for `duration`, or until Stopped().
    void Pump(std::chrono::milliseconds duration);
    // Handles received bytes until pred() holds, `timeout` passes or Stopped(); returns pred().
    bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // Sends with `send` (a session call) and handles received bytes until the engine has
    // written that frame. False when it was not written within `timeout` (or Stopped()).
    bool SendAndWait(const std::function<void()>& send,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // The port failed (the device hung up, or a read or write failed) or the user interrupted
    // the tool: nothing more is to be done on the bus.
    bool Stopped() const;
    // Why the port failed, in the tool's words with the system's reason; nothing while it works.
    std::optional<std::string> Failure() const;
    // What the port said while opening (line settings it refused), in the tool's words.
    const std::vector<std::string>& Warnings() const { return m_warnings; }

    // The frames the engine wrote, in order, and how many.
    std::vector<std::vector<std::uint8_t>> WrittenFrames() const;
    std::size_t WrittenCount() const { return m_writtenCount.load(); }
    // Tells `listener` (nullptr: nobody) of what arrives from now on.
    void SetListener(IBusListener* listener) { m_listener = listener; }
    // The time a character takes on the line at the rate the port was opened with.
    std::chrono::microseconds CharacterTime() const { return m_charTime; }

    // --- What the bus brought.
    const std::vector<FoundDevice>& Found() const { return m_found; }
    void ClearFound() { m_found.clear(); }
    const std::vector<HandedOutAddress>& HandedOut() const { return m_handedOut; }
    // Address requests left unanswered (an address chooser that gave none).
    std::size_t UnansweredRequests() const { return m_unanswered; }
    // Every complete ten-byte frame, in arrival order.
    const std::vector<std::array<std::uint8_t, 10>>& Frames() const { return m_frames; }
    // Every configuration reply, in arrival order.
    const std::vector<ConfigReply>& ConfigReplies() const { return m_configs; }
    // When the last complete frame arrived.
    Clock::time_point LastFrameTime() const { return m_lastFrame; }
    // Received bytes that were no part of any frame (the look of wrong line settings).
    std::size_t BytesInNoFrame() const;
    std::size_t BytesReceived() const { return m_handled; }

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
    void OnAddressRequestUnanswered(const std::uint8_t*) override { ++m_unanswered; }

    // ISerialTap: called on the engine's threads.
    void OnPortOpened(unsigned) override {}
    void OnWritten(const std::uint8_t* bytes, std::size_t count) override;
    void OnReplaced(const std::uint8_t*, std::size_t) override {}
    void OnPurged(std::size_t) override {}
    void OnReceived(std::size_t count) override;
    void OnFailure(const char* operation, int errorNumber, bool gone) override;

    void HandleMessage(const WindowMessage& message);
    // When the byte handled next arrived, and whether it began a batch read after a silence.
    Clock::time_point ArrivalOfNextByte(bool* batchStart, std::size_t* batchSize);

    PlainMessageOwner m_owner;
    BusSession m_session{*this};
    std::chrono::microseconds m_charTime{1042};
    bool m_opening = false;
    std::vector<std::string> m_warnings;

    std::atomic<std::size_t> m_writtenCount{0};
    std::atomic<bool> m_failed{false};
    mutable std::mutex m_mutex;
    std::vector<std::vector<std::uint8_t>> m_written;  // guarded by m_mutex
    std::string m_failure;                             // guarded by m_mutex
    // Batches of received bytes as the monitor read them: the running total after the batch,
    // its size, and when. Guarded by m_mutex.
    struct Batch {
        std::size_t end;
        std::size_t size;
        Clock::time_point time;
    };
    std::deque<Batch> m_arrivals;
    std::size_t m_read = 0;  // guarded by m_mutex

    std::size_t m_handled = 0;  // bytes handled so far
    std::size_t m_inFrames = 0;
    Clock::time_point m_lastArrival{};
    std::chrono::microseconds m_replySilence{0};  // the current frame's longest silence

    std::vector<FoundDevice> m_found;
    std::vector<HandedOutAddress> m_handedOut;
    std::size_t m_unanswered = 0;
    std::vector<std::array<std::uint8_t, 10>> m_frames;
    std::vector<ConfigReply> m_configs;
    Clock::time_point m_lastFrame{};
    IBusListener* m_listener = nullptr;
};
