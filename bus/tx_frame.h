#pragma once
// The outgoing frame m_txFrame: 260 bytes shared by every sender. Each sender writes only the
// bytes its command defines; the others go out as the previous sender left them. The UI thread
// and the key-configuration write worker both build frames here, so building a frame and
// handing it over happen under one lock (recursive, so SendTxFrame may be called inside).

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "bus/frame.h"

class TxFrame {
public:
    static constexpr std::size_t kSize = kFrameBufferSize;
    using Bytes = std::array<std::uint8_t, kSize>;

    // FA 09 01 00: head, TARVO type, destination 1, source 0; the rest zero.
    TxFrame() : m_bytes{} {
        m_bytes[kPosHead] = kFrameHead;
        m_bytes[kPosType] = kTypeTarvo;
        m_bytes[kPosDestination] = kFirstDeviceAddress;
        m_bytes[kPosSource] = kPcAddress;
    }

    // Runs f(bytes) with the frame locked and returns its result.
    template <class F>
    decltype(auto) WithLock(F&& f) {
        std::lock_guard lock(m_mutex);
        return f(m_bytes);
    }

    // Builds a frame and hands it over under one lock, so that it never mixes with a frame
    // another thread builds: build(bytes) writes the frame and returns how many bytes go out,
    // send(count) hands the first `count` bytes to the engine.
    template <class Build, class Send>
    void BuildAndSend(Build&& build, Send&& send) {
        WithLock([&](Bytes& bytes) { send(build(bytes)); });
    }

    Bytes Snapshot() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    mutable std::recursive_mutex m_mutex;
    Bytes m_bytes;
};
