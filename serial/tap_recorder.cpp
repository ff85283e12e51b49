#include "serial/tap_recorder.h"

#include <utility>

void CTapRecorder::OnPortOpened(unsigned /*portNumber*/) {
    // Kept whether recording or not: times are counted from the opening of the port.
    const auto steady = std::chrono::steady_clock::now();
    const auto wall = std::chrono::system_clock::now();
    std::lock_guard lock(m_mutex);
    m_openedAt = steady;
    m_openedAtWall = wall;
}

void CTapRecorder::OnWritten(const std::uint8_t* bytes, std::size_t count) {
    if (Recording()) {
        Add({TapEvent::Kind::Written, std::chrono::steady_clock::now(), {bytes, bytes + count}, 0});
    }
}

void CTapRecorder::OnReplaced(const std::uint8_t* bytes, std::size_t count) {
    if (Recording()) {
        Add({TapEvent::Kind::Replaced,
             std::chrono::steady_clock::now(),
             {bytes, bytes + count},
             0});
    }
}

void CTapRecorder::OnPurged(std::size_t unreadBytes) {
    if (Recording()) {
        Add({TapEvent::Kind::Purged, std::chrono::steady_clock::now(), {}, unreadBytes});
    }
}

void CTapRecorder::OnFailure(const char* operation, int errorNumber, bool gone) {
    std::lock_guard lock(m_mutex);
    if (!m_failure) {
        m_failure = TapFailure{operation, errorNumber, gone};
    }
}

std::optional<TapFailure> CTapRecorder::TakeFailure() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_failure, std::nullopt);
}

void CTapRecorder::Add(TapEvent event) {
    std::lock_guard lock(m_mutex);
    if (m_events.size() >= kMaxPending) {
        m_events.pop_front();
        ++m_lost;
    }
    m_events.push_back(std::move(event));
}

std::deque<TapEvent> CTapRecorder::Take(std::size_t* lost) {
    std::deque<TapEvent> taken;
    std::lock_guard lock(m_mutex);
    taken.swap(m_events);
    if (lost) {
        *lost = m_lost;
    }
    m_lost = 0;
    return taken;
}

std::chrono::steady_clock::time_point CTapRecorder::OpenedAt() const {
    std::lock_guard lock(m_mutex);
    return m_openedAt;
}

std::chrono::system_clock::time_point CTapRecorder::OpenedAtWall() const {
    std::lock_guard lock(m_mutex);
    return m_openedAtWall;
}
