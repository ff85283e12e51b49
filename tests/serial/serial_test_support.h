#pragma once
// Helpers shared by the serial tests and benchmarks: a watchdog against hangs, recorders for the
// owner's messages and for message boxes, and a published pseudo-terminal with the number the
// engine lists it under. No test framework in here, so a benchmark can use it too.

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "platform/pseudo_terminal.h"
#include "platform/window_message.h"
#include "serial/serial_port.h"

namespace serial_test {

using namespace std::chrono_literals;

// Aborts the test program when a step that should finish doesn't (a deadlock), instead of
// leaving it to the runner's time-out.
class Watchdog {
public:
    explicit Watchdog(const char* what, std::chrono::seconds limit = std::chrono::seconds(60))
        : m_thread([this, what, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_cv.wait_for(lock, limit, [&] { return m_disarmed; })) {
                  std::fprintf(stderr, "watchdog: '%s' did not finish\n", what);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_disarmed = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_disarmed = false;
    std::thread m_thread;
};

// Polls pred until it holds or the time-out passes.
inline bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return pred();
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The messages an owner received, readable from any thread.
class MessageLog {
public:
    void Add(const WindowMessage& m) {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(m);
    }
    std::vector<WindowMessage> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<std::uint8_t> Bytes() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::uint8_t> bytes;
        for (const auto& m : m_messages) {
            if (m.message == WM_SERIAL_RXBYTE) {
                bytes.push_back(static_cast<std::uint8_t>(m.wParam));
            }
        }
        return bytes;
    }
    std::size_t ByteCount() const { return Bytes().size(); }

private:
    mutable std::mutex m_mutex;
    std::vector<WindowMessage> m_messages;
};

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned flags;
};

// Replaces the message box for the lifetime of the object and records every box.
class BoxRecorder {
public:
    BoxRecorder()
        : m_previous(SetMessageBoxHandler(
              [this](const std::string& text, const std::string& caption, unsigned flags) {
                  std::lock_guard lock(m_mutex);
                  m_boxes.push_back({text, caption, flags});
              })) {}
    ~BoxRecorder() { SetMessageBoxHandler(m_previous); }
    std::vector<RecordedBox> Boxes() const {
        std::lock_guard lock(m_mutex);
        return m_boxes;
    }
    std::size_t Count() const { return Boxes().size(); }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_boxes.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedBox> m_boxes;
    MessageBoxHandler m_previous;
};

// Each test program gets its own published-ports folder from the runner; a program started by
// hand gets one of its own in /tmp, so it never sees a running simulator.
inline void UsePrivatePortFolder() {
    const char* dir = std::getenv("RAVLIN_PORT_DIR");
    if (dir == nullptr || *dir == '\0') {
        const std::string folder = "/tmp/ravlin-serial-test-" + std::to_string(::getpid());
        ::setenv("RAVLIN_PORT_DIR", folder.c_str(), 1);
    }
}

// Publishes the pseudo-terminal and lists ports on the engine; returns the pseudo-terminal's
// port number (0 when it isn't listed).
inline unsigned PublishAndList(PseudoTerminal& pty, CSerialPort& port, const std::string& name) {
    UsePrivatePortFolder();
    pty.Publish(name);
    port.EnumeratePorts();
    for (const SerialPortEntry& entry : port.Ports()) {
        if (entry.name == name) {
            return entry.number;
        }
    }
    return 0;
}

// Bytes in the input queue of the pseudo-terminal's slave (what the engine hasn't read yet).
inline int SlaveQueued(const PseudoTerminal& pty) {
    int n = 0;
    ::ioctl(pty.SlaveFd(), FIONREAD, &n);
    return n;
}

}  // namespace serial_test
