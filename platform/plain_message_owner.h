#pragma once
// An owner window in plain C++ (no toolkit): a thread that handles the messages an engine sends
// it, one by one and in order. Tests and benchmarks use it in place of a dialog.
//
// Two ways to run it:
//  - OwnThread: the owner starts its own thread, which waits for messages and handles them.
//    Invoke(f) runs f on that thread (as a click handler would run), and while f waits in
//    PumpPendingMessages the messages other threads send are handled.
//  - CallingThread: the thread that constructs the owner is the owner thread. Messages from
//    other threads wait until that thread calls PumpPendingMessages or PumpUntil, so a test
//    decides exactly when a sender is released.
// An engine that sends to the owner must be closed before the owner is destroyed.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/window_message.h"

class PlainMessageOwner : public IMessageOwner {
public:
    using Handler = std::function<void(const WindowMessage&)>;
    enum class Mode { OwnThread, CallingThread };

    explicit PlainMessageOwner(Handler handler, Mode mode = Mode::OwnThread);
    ~PlainMessageOwner() override;
    PlainMessageOwner(const PlainMessageOwner&) = delete;
    PlainMessageOwner& operator=(const PlainMessageOwner&) = delete;

    void SendMessages(const WindowMessage* messages, std::size_t count) override;
    void PumpPendingMessages() override;

    // Runs f on the owner thread and returns when it has finished.
    void Invoke(const std::function<void()>& f);
    // On the owner thread: handles messages until pred() holds or the time-out passes; returns
    // pred(). Sleeps while there is nothing to handle.
    bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // How many runs of messages other threads are blocked on right now.
    std::size_t PendingRuns() const;
    bool OnOwnerThread() const { return std::this_thread::get_id() == m_ownerThreadId; }

private:
    struct Run {
        const WindowMessage* messages;
        std::size_t count;
        bool done = false;
    };
    struct Task {
        const std::function<void()>* f;
        bool done = false;
    };
    void HandleRun(const WindowMessage* messages, std::size_t count);
    void ThreadMain();

    Handler m_handler;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;  // owner side: a run or a task arrived, or stop
    std::condition_variable m_done;  // sender side: a run or a task was finished
    std::deque<Run*> m_runs;
    std::deque<Task*> m_tasks;
    bool m_stop = false;
    std::thread m_thread;
    std::thread::id m_ownerThreadId;
};
