#pragma once
// The devices on the simulated bus and how they answer the PC. Pure logic driven by a clock
// the caller passes in: frames from the PC go in, replies come out when they are due. Not
// thread-safe by itself; OrvalSimulator serialises every call.
//
// Devices answer one after another: the first reply comes firstReply after the PC's frame (the
// PC purges its input before it writes, so an instant answer could be lost), each further one
// replyGap after the previous one, so that replies never overlap on the line.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_device.h"

struct SimTiming {
    std::chrono::milliseconds firstReply{15};
    std::chrono::milliseconds replyGap{8};
    // Line silence that ends a search frame (and drops a stalled partial frame).
    std::chrono::milliseconds quiet{20};
    // How long a device waits for the PC to answer its address request.
    std::chrono::milliseconds assignAnswerTimeout{1000};
    // Pause between one device's address confirmation and the next device's request.
    std::chrono::milliseconds assignNextRequest{50};
    // The rate of the line in bit/s, 10 bits a byte: what the devices send reaches the PC no
    // sooner than the line would carry it, one frame after the other, and the PC's frames take
    // their time on the line before the devices act on them. 0: at once, as a pseudo-terminal
    // carries it (no line rate at all).
    unsigned lineRate = 0;
};

class SimBus {
public:
    using Clock = std::chrono::steady_clock;
    // Receives one line per notable event that is not a frame (a device gives up waiting...).
    using NoteSink = std::function<void(const std::string&)>;

    struct Reply {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };

    explicit SimBus(SimTiming timing = {}) : m_timing(timing) {}

    void SetNoteSink(NoteSink sink) { m_note = std::move(sink); }
    std::size_t AddDevice(const SimDeviceSpec& entry);
    const std::vector<SimDeviceState>& Devices() const { return m_devices; }

    // A complete frame from the PC (4, 10 or 10 + n bytes) received at `now`.
    void HandleFrame(const std::vector<std::uint8_t>& frame, Clock::time_point now);
    // Runs what is due by `now` (the next address request, giving up on a silent PC) and takes
    // the next reply if it is due; the one after it is then held back by at least replyGap.
    std::vector<Reply> TakeDue(Clock::time_point now);
    // When TakeDue has work next, if ever.
    std::optional<Clock::time_point> NextDue() const;
    // Drops replies not yet sent and ends an automatic assignment in progress (a new client
    // opened the line and knows nothing of them).
    void ResetConversation();

private:
    struct Assignment {
        std::uint8_t type = 0;
        std::deque<std::size_t> waiting;     // devices still to ask, in bus order
        std::optional<std::size_t> asking;   // the device whose request is out
        Clock::time_point nextRequest{};     // when the next device asks
        Clock::time_point answerDeadline{};  // when the asking device gives up
    };

    void Schedule(std::vector<std::uint8_t> bytes, Clock::time_point earliest);
    std::vector<std::size_t> Addressed(std::uint8_t type, std::uint8_t address) const;
    std::vector<std::uint8_t> ShortFrame(const SimDeviceState& d, std::uint8_t command,
                                         std::array<std::uint8_t, 5> data) const;
    // A frame from `d` with `byte5` and its identity in bytes 6..9.
    std::vector<std::uint8_t> IdentityFrame(const SimDeviceState& d, std::uint8_t command,
                                            std::uint8_t byte5 = 0) const;
    void Note(const std::string& text) const;

    void OnSearch(std::uint8_t type, Clock::time_point now);
    void OnAutoAssign(std::uint8_t type, Clock::time_point now);
    void OnAddress(const std::vector<std::uint8_t>& f, Clock::time_point now);
    void OnTarvo(SimDeviceState& d, const std::vector<std::uint8_t>& f, Clock::time_point now);
    void OnMirell(SimDeviceState& d, const std::vector<std::uint8_t>& f);
    void OnOskan(SimDeviceState& d, const std::vector<std::uint8_t>& f);
    void RunAssignment(Clock::time_point now);

    SimTiming m_timing;
    NoteSink m_note;
    std::vector<SimDeviceState> m_devices;
    std::deque<Reply> m_replies;
    Clock::time_point m_lastDue{};
    std::optional<Assignment> m_assignment;
};
