#pragma once
// Splits the byte stream that the PC writes into frames, as a device on the bus hears them.
//
// The PC sends ten-byte frames, the function-code frame 0x27 (ten bytes plus n code bytes, n in
// byte 6) and the four-byte search FA tt 00 00. A search and a ten-byte frame to address 0 start
// alike; a search is told apart by what follows it: the line stays quiet (the PC writes every
// frame in one go and pauses between frames) or the next frame's head 0xFA comes right after.
// A frame that stalls half-way for the quiet time is dropped, so a truncated frame never swallows
// the next good one. Bytes that cannot start or continue a PC frame (a wrong head, a type byte
// 0xFA, a source other than the PC, a code count above 64) are dropped, and reading starts
// again at the next 0xFA.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class PcFrameReader {
public:
    using Clock = std::chrono::steady_clock;

    struct Event {
        enum class Kind { Frame, Dropped };
        Kind kind;
        std::vector<std::uint8_t> bytes;
    };

    explicit PcFrameReader(std::chrono::milliseconds quiet) : m_quiet(quiet) {}

    // Takes bytes that arrived at `now`; returns the frames completed and the bytes dropped,
    // in stream order.
    std::vector<Event> Feed(const std::uint8_t* data, std::size_t size, Clock::time_point now);
    // Concludes a frame on which the line has been quiet for the quiet time.
    std::vector<Event> Poll(Clock::time_point now);
    // When Poll has work to do, if ever.
    std::optional<Clock::time_point> Deadline() const;
    // Forgets a partly read frame (a new client has opened the line).
    void Reset();

private:
    void Push(std::uint8_t b, std::vector<Event>& out);
    void Check(std::vector<Event>& out);
    void Resync(std::vector<Event>& out);
    void Conclude(std::vector<Event>& out);
    void Emit(std::size_t length, std::vector<Event>& out);
    void Drop(const std::uint8_t* data, std::size_t size, std::vector<Event>& out);

    std::chrono::milliseconds m_quiet;
    std::vector<std::uint8_t> m_pending;
    Clock::time_point m_lastByte{};
};
