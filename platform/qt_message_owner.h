#pragma once
// The owner of an engine's messages on the Qt side. Messages sent from another thread travel
// as ONE posted event per run and the sender blocks until the owner's thread has handled every
// message of the run, each on its own and in order; sent on the owner's thread they are handled
// at once. PumpPendingMessages lets the owner's thread, while it waits for another thread,
// handle what that thread has posted and is blocked on (a run of messages, or a message box
// that must be shown on the UI thread). After the last message of a run the run-end handler,
// when set, is called once: the owner brings up to date there what it let wait during the run.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/window_message.h"

using LRESULT = std::intptr_t;

class QtMessageOwner : public QObject, public IMessageOwner {
    Q_OBJECT
public:
    using Handler = std::function<LRESULT(std::uint32_t message, WPARAM wParam, LPARAM lParam)>;
    using RunEndHandler = std::function<void()>;

    // The owner lives on the thread that constructs it (the UI thread) and hands every message
    // to `handler` there.
    explicit QtMessageOwner(Handler handler, QObject* parent = nullptr);
    // Releases every sender still waiting; later sends return at once without being handled.
    ~QtMessageOwner() override;

    // Called on the owner's thread after each run has been handled (not after a dropped one).
    void SetRunEndHandler(RunEndHandler handler) { m_runEnd = std::move(handler); }

    void SendMessages(const WindowMessage* messages, std::size_t count) override;
    void PumpPendingMessages() override;

    // Stops delivering: runs not yet handled are dropped and their senders released. Used by the
    // owner window as it goes away.
    void Detach();

protected:
    bool event(QEvent* e) override;

private:
    void Deliver(const WindowMessage* messages, std::size_t count);

    Handler m_handler;
    RunEndHandler m_runEnd;
    // Held while a run is posted and while the owner detaches, so that no run is posted after
    // Detach removed the queued ones. Delivery reads m_detached per message without it.
    std::mutex m_mutex;
    std::atomic<bool> m_detached{false};
};
