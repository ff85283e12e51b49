#include "bus/rx_parser.h"

#include <algorithm>

#include "bus/frame.h"

std::int32_t g_longReplyRemaining = kLongReplyBlockBytes;

void RxParser::Store(std::uint8_t b) {
    // A frame never grows past the long reply (160 bytes); the bound only guards the buffer
    // should the long-reply count have been disturbed.
    if (m_rxCount < static_cast<int>(kBufferSize)) {
        m_rxBuffer[m_rxCount] = b;
    }
    ++m_rxCount;
}

void RxParser::Reset() {
    m_rxCount = 0;
    m_rxState = 1;
}

void RxParser::Feed(std::uint8_t b, IRxSink& sink) {
    if (m_observer == nullptr) [[likely]] {
        Step(b, sink);
        return;
    }
    const int state = m_rxState;
    const int count = m_rxCount;
    Step(b, sink);
    // Read again: what the byte set off may have ended the watching.
    if (m_observer != nullptr) {
        m_observer->OnParsed(b, state, count, *this);
    }
}

void RxParser::Step(std::uint8_t b, IRxSink& sink) {
    switch (m_rxState) {
        case 1:
            if (b == kFrameHead) {
                Store(b);
                m_rxState = 2;
            } else {
                Reset();
            }
            return;
        case 2:
            if (b >= kTypeMin && b <= kTypeMax) {
                Store(b);
                m_rxState = 3;
            } else {
                Reset();
            }
            return;
        case 3:
            if (b == kPcAddress) {
                Store(b);
                m_rxState = 4;
            } else {
                Reset();
            }
            return;
        case 4:
            if (b != kPcAddress) {
                Store(b);
                m_rxState = 5;
            } else {
                Reset();
            }
            return;
        case 5:
            if (b != kCmdNeverAccepted) {
                Store(b);
                m_rxState = 6;
                sink.ShowBusStatus(b);
            } else {
                Reset();
            }
            return;
        case 6:
        case 7:
        case 8:
        case 9:
            Store(b);
            ++m_rxState;
            return;
        default:
            break;
    }

    // State 10: the last byte of a frame, or the block of a long reply.
    if (m_rxBuffer[kPosCommand] != kCmdReadConfig) {
        Store(b);
        m_rxState = 1;
        sink.DispatchFrame(m_rxBuffer.data());
        m_rxCount = 0;
        return;
    }
    if (g_longReplyRemaining > 0) {
        // Frame bytes 9..158.
        Store(b);
        --g_longReplyRemaining;
        return;
    }
    // Frame byte 159 ends the reply. It is stored too, so the block is frame bytes 10..159.
    Store(b);
    TarvoConfigBlock block;
    std::copy_n(m_rxBuffer.begin() + kFrameLength, block.bytes.size(), block.bytes.begin());
    m_rxCount = 0;
    m_rxState = 1;
    g_longReplyRemaining = kLongReplyBlockBytes;
    sink.OnLongReply(block);
}
