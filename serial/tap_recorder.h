#pragma once
// CTapRecorder: an ISerialTap that keeps what the engine reports, stamped with the time of the
// report, until the monitor's thread takes it. Any thread may report; the lock is held only to
// append or to swap the list, so a reporting thread never waits on the taker's work. While not
// recording, reports are ignored after one check. At most kMaxPending events are held; beyond
// that the oldest go and are counted.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/serial_tap.h"

struct TapEvent {
    enum class Kind { Written, Replaced, Purged };
    Kind kind = Kind::Written;
    std::chrono::steady_clock::time_point time;
    std::vector<std::uint8_t> bytes;  // Written, Replaced
    std::size_t unread = 0;           // Purged
};

// A failure the engine reported on the open port (it also shows its own box for it).
struct TapFailure {
    std::string operation;  // "WaitCommEvent()", "ReadFile()", ...
    int errorNumber = 0;
    bool gone = false;  // the device went away
};

class CTapRecorder : public ISerialTap {
public:
    static constexpr std::size_t kMaxPending = 100000;

    void OnPortOpened(unsigned portNumber) override;
    void OnWritten(const std::uint8_t* bytes, std::size_t count) override;
    void OnReplaced(const std::uint8_t* bytes, std::size_t count) override;
    void OnPurged(std::size_t unreadBytes) override;
    // Kept whether recording or not: whoever drives the bus must learn that the port failed.
    void OnFailure(const char* operation, int errorNumber, bool gone) override;

    void SetRecording(bool on) { m_recording.store(on, std::memory_order_relaxed); }
    bool Recording() const { return m_recording.load(std::memory_order_relaxed); }

    // The events since the last call, oldest first, and how many were lost to the bound.
    std::deque<TapEvent> Take(std::size_t* lost = nullptr);

    // The first failure reported since the last call, if any.
    std::optional<TapFailure> TakeFailure();
    // When the port was last opened (steady and wall clock); the recorder's creation before.
    std::chrono::steady_clock::time_point OpenedAt() const;
    std::chrono::system_clock::time_point OpenedAtWall() const;

private:
    void Add(TapEvent event);

    std::atomic<bool> m_recording{false};
    mutable std::mutex m_mutex;
    std::deque<TapEvent> m_events;
    std::size_t m_lost = 0;
    std::optional<TapFailure> m_failure;
    std::chrono::steady_clock::time_point m_openedAt = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point m_openedAtWall = std::chrono::system_clock::now();
};
