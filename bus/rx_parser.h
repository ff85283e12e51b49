#pragma once
// The byte-wise receive parser. Bytes arrive one at a time in arrival order; a frame is
// assembled in m_rxBuffer from position 0 and checked byte by byte:
//   1 head 0xFA   2 type 6..9   3 destination 0   4 source 1..255   5 command 0..0xFE
//   6..9 data (any)   10 last byte, or the 150-byte block of a 0x23 long reply.
// A byte that breaks the rules is dropped and the parser starts over in state 1; the dropped
// byte is not examined again, so a 0xFA there does not start a new frame. The buffer is not
// cleared between frames.

#include <array>
#include <cstddef>
#include <cstdint>

#include "bus/frame.h"
#include "bus/tarvo_config.h"

// Long-reply bytes still to store; 150 at the start of every long reply.
extern std::int32_t g_longReplyRemaining;
inline constexpr auto kLongReplyBlockBytes = static_cast<std::int32_t>(kConfigBlockSize);

// What the parser reports.
class IRxSink {
public:
    virtual ~IRxSink() = default;
    // At the command byte of every frame that reaches it (state 5).
    virtual void ShowBusStatus(std::uint8_t command) = 0;
    // For every complete ten-byte frame except the long reply.
    virtual void DispatchFrame(const std::uint8_t* frame /*10 bytes*/) = 0;
    // At the end of a long reply: frame bytes 10..159.
    virtual void OnLongReply(const TarvoConfigBlock& block) = 0;
};

class RxParser;

// Watches the parser byte by byte (the bus monitor): called after each byte was handled, with
// the state and byte count it met the byte in. The parser's buffer then still holds the frame
// a byte completed, or the partial frame a byte broke.
class IRxObserver {
public:
    virtual ~IRxObserver() = default;
    virtual void OnParsed(std::uint8_t byte, int stateBefore, int countBefore,
                          const RxParser& parser) = 0;
};

class RxParser {
public:
    static constexpr std::size_t kBufferSize = kFrameBufferSize;

    void Feed(std::uint8_t b, IRxSink& sink);
    void Feed(const std::uint8_t* bytes, std::size_t count, IRxSink& sink) {
        for (std::size_t i = 0; i < count; ++i) {
            Feed(bytes[i], sink);
        }
    }

    int State() const { return m_rxState; }
    int Count() const { return m_rxCount; }
    const std::array<std::uint8_t, kBufferSize>& Buffer() const { return m_rxBuffer; }

    // An observer for every byte from now on; nullptr for none (the parser then costs nothing
    // more than the check).
    void SetObserver(IRxObserver* observer) { m_observer = observer; }

private:
    // One byte through the state table.
    void Step(std::uint8_t b, IRxSink& sink);
    void Store(std::uint8_t b);
    void Reset();

    std::array<std::uint8_t, kBufferSize> m_rxBuffer{};
    int m_rxState = 1;
    int m_rxCount = 0;
    IRxObserver* m_observer = nullptr;
};
