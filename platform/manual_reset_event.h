#pragma once
// A manual-reset event on an eventfd: once set it stays signalled (and its descriptor stays
// readable for poll) until it is reset. Set and Reset may be called from any thread. IsSet is
// a plain memory read, so testing the event with time-out 0 costs no system call.

#include <atomic>
#include <mutex>

class ManualResetEvent {
public:
    // Creates the event, not signalled. Valid() is false when the system refused the eventfd.
    ManualResetEvent();
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    bool Valid() const { return m_fd >= 0; }
    void Set();
    void Reset();
    bool IsSet() const { return m_signalled.load(std::memory_order_acquire); }
    // Readable (POLLIN) exactly while the event is signalled.
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
    std::mutex m_mutex;  // keeps the flag and the eventfd counter in step
    std::atomic<bool> m_signalled{false};
};
