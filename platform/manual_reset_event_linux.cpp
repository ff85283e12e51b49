#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "platform/manual_reset_event.h"
#include "platform/native_handles_linux.h"

ManualResetEvent::ManualResetEvent() : m_native(std::make_unique<Native>()) {
    m_native->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ManualResetEvent::~ManualResetEvent() {
    if (m_native->fd >= 0) {
        ::close(m_native->fd);
    }
}

bool ManualResetEvent::Valid() const {
    return m_native->fd >= 0;
}

void ManualResetEvent::Set() {
    std::lock_guard lock(m_mutex);
    if (m_signalled.load(std::memory_order_relaxed) || m_native->fd < 0) {
        return;
    }
    const std::uint64_t one = 1;
    // The counter of a fresh or drained eventfd cannot overflow, so this write succeeds.
    [[maybe_unused]] const ssize_t n = ::write(m_native->fd, &one, sizeof one);
    m_signalled.store(true, std::memory_order_release);
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(m_mutex);
    if (!m_signalled.load(std::memory_order_relaxed) || m_native->fd < 0) {
        return;
    }
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_native->fd, &value, sizeof value);
    m_signalled.store(false, std::memory_order_release);
}
