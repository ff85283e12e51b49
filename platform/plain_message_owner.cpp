#include "platform/plain_message_owner.h"

#include <algorithm>

PlainMessageOwner::PlainMessageOwner(Handler handler, Mode mode) : m_handler(std::move(handler)) {
    if (mode == Mode::CallingThread) {
        m_ownerThreadId = std::this_thread::get_id();
        return;
    }
    std::unique_lock lock(m_mutex);
    m_thread = std::thread([this] { ThreadMain(); });
    m_ownerThreadId = m_thread.get_id();
}

PlainMessageOwner::~PlainMessageOwner() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
}

void PlainMessageOwner::HandleRun(const WindowMessage* messages, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        m_handler(messages[i]);
    }
}

void PlainMessageOwner::SendMessages(const WindowMessage* messages, std::size_t count) {
    if (OnOwnerThread()) {
        HandleRun(messages, count);
        return;
    }
    Run run{messages, count};
    std::unique_lock lock(m_mutex);
    m_runs.push_back(&run);
    m_wake.notify_all();
    m_done.wait(lock, [&] { return run.done; });
}

void PlainMessageOwner::PumpPendingMessages() {
    std::unique_lock lock(m_mutex);
    while (!m_runs.empty()) {
        Run* run = m_runs.front();
        m_runs.pop_front();
        lock.unlock();
        HandleRun(run->messages, run->count);
        lock.lock();
        run->done = true;
        m_done.notify_all();
    }
}

void PlainMessageOwner::Invoke(const std::function<void()>& f) {
    if (OnOwnerThread()) {
        f();
        return;
    }
    Task task{&f};
    std::unique_lock lock(m_mutex);
    m_tasks.push_back(&task);
    m_wake.notify_all();
    m_done.wait(lock, [&] { return task.done; });
}

bool PlainMessageOwner::PumpUntil(const std::function<bool()>& pred,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        PumpPendingMessages();
        if (pred()) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        // pred may also change without a message (another thread's work): look again now and
        // then, at most every few milliseconds.
        std::unique_lock lock(m_mutex);
        m_wake.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(5)),
                          [&] { return !m_runs.empty(); });
    }
}

std::size_t PlainMessageOwner::PendingRuns() const {
    std::lock_guard lock(m_mutex);
    return m_runs.size();
}

void PlainMessageOwner::ThreadMain() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || !m_runs.empty() || !m_tasks.empty(); });
        if (!m_runs.empty()) {
            lock.unlock();
            PumpPendingMessages();
            lock.lock();
            continue;
        }
        if (!m_tasks.empty()) {
            Task* task = m_tasks.front();
            m_tasks.pop_front();
            lock.unlock();
            (*task->f)();
            lock.lock();
            task->done = true;
            m_done.notify_all();
            continue;
        }
        if (m_stop) {
            return;
        }
    }
}
