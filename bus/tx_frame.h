#pragma once
// The outgoing frame m_txFrame: 260 bytes shared by every sender. Each sender writes only the
// bytes its command defines; the others go out as the previous sender left them. The UI thread
// and the key-configuration write worker both build frames here, so building a frame and
// handing it over happen under one lock (recursive, so SendTxFrame may be called inside).

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

class TxFrame {
public:
    static constexpr std::size_t kSize = 260;
    using Bytes = std::array<std::uint8_t, kSize>;

    // FA 09 01 00: head, TARVO type, destination 1, source 0; the rest zero.
    TxFrame() : m_bytes{} {
        m_bytes[0] = 0xFA;
        m_bytes[1] = 0x09;
        m_bytes[2] = 0x01;
        m_bytes[3] = 0x00;
    }

    // Runs f(bytes) with the frame locked and returns its result.
    template <class F>
    decltype(auto) WithLock(F&& f) {
        std::lock_guard lock(m_mutex);
        return f(m_bytes);
    }

    Bytes Snapshot() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    mutable std::recursive_mutex m_mutex;
    Bytes m_bytes;
};
