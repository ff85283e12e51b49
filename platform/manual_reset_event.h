#pragma once
// A manual-reset event: once set it stays signalled until it is reset. Set and Reset may be
// called from any thread. IsSet is a plain memory read, so testing the event with time-out 0
// costs no system call. The platform's waits (WaitForSlots, SerialDevice::Write) wait on it
// through its system object (Native: an eventfd on Linux, see native_handles_linux.h).

#include <atomic>
#include <memory>
#include <mutex>

class ManualResetEvent {
public:
    // Creates the event, not signalled. Valid() is false when the system refused its object.
    ManualResetEvent();
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    bool Valid() const;
    void Set();
    void Reset();
    bool IsSet() const { return m_signalled.load(std::memory_order_acquire); }

    // The system's object, for the platform's own waits (defined by the implementation).
    struct Native;
    const Native& GetNative() const { return *m_native; }

private:
    std::unique_ptr<Native> m_native;
    std::mutex m_mutex;  // keeps the flag and the system's object in step
    std::atomic<bool> m_signalled{false};
};
