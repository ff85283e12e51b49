#pragma once
// The PC side of the simulated bus for tests: opens the published port as Ravlin does (raw,
// O_NOCTTY), writes frames in one go each, and reads the devices' frames whole.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/tx_frame.h"

class SimClient {
public:
    using Clock = std::chrono::steady_clock;

    struct Frame {
        std::vector<std::uint8_t> bytes;
        Clock::time_point arrived;  // when its first byte was read
    };

    explicit SimClient(const std::string& path);
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    int Fd() const { return m_fd; }
    void Write(const std::vector<std::uint8_t>& bytes);
    // The first `count` bytes of a frame built with the bus/commands.h builders.
    void Write(const TxFrame::Bytes& frame, unsigned count);

    // The next device frame (ten bytes, 160 for a 0x23 reply); nullopt when none is complete
    // within `timeout`. Bytes before a head byte are skipped.
    std::optional<Frame> ReadFrame(std::chrono::milliseconds timeout);
    // Frames until none arrives for `quiet`.
    std::vector<Frame> ReadFrames(std::chrono::milliseconds quiet);

private:
    int m_fd = -1;
    std::vector<std::uint8_t> m_buffer;
    Clock::time_point m_firstByte{};
    Clock::time_point m_lastRead{};
};
