#include "platform/qt_message_owner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <semaphore>
#include <utility>

namespace {

QEvent::Type RunEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A run of messages posted from another thread. The sender waits on `done`; it is released
// when the event is destroyed, whether the owner handled it or Qt discarded it because the
// owner went away, so a sender can never be left blocked.
class RunEvent : public QEvent {
public:
    RunEvent(const WindowMessage* messages, std::size_t count, std::binary_semaphore* done)
        : QEvent(RunEventType()), messages(messages), count(count), m_done(done) {}
    ~RunEvent() override { m_done->release(); }

    const WindowMessage* const messages;  // the sender's array, valid while it waits
    const std::size_t count;

private:
    std::binary_semaphore* const m_done;
};

}  // namespace

QtMessageOwner::QtMessageOwner(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

QtMessageOwner::~QtMessageOwner() {
    Detach();
}

void QtMessageOwner::Detach() {
    {
        std::lock_guard lock(m_mutex);
        m_detached.store(true, std::memory_order_release);
    }
    // Deleting the queued runs releases their senders.
    QCoreApplication::removePostedEvents(this, RunEventType());
}

void QtMessageOwner::SendMessages(const WindowMessage* messages, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (QThread::currentThread() == thread()) {
        Deliver(messages, count);
        return;
    }
    std::binary_semaphore done(0);
    {
        std::lock_guard lock(m_mutex);
        if (m_detached.load(std::memory_order_relaxed)) {
            return;
        }
        QCoreApplication::postEvent(this, new RunEvent(messages, count, &done));
    }
    done.acquire();
}

void QtMessageOwner::PumpPendingMessages() {
    QCoreApplication::sendPostedEvents();
}

bool QtMessageOwner::event(QEvent* e) {
    {
        // Pairs with the lock under which a sender posted its run: what the run carries is
        // then ordered before this thread reads it, also for a thread checker that cannot see
        // inside the event queue.
        std::lock_guard lock(m_mutex);
    }
    if (e->type() == RunEventType()) {
        const auto* run = static_cast<RunEvent*>(e);
        Deliver(run->messages, run->count);
        return true;
    }
    return QObject::event(e);
}

void QtMessageOwner::Deliver(const WindowMessage* messages, std::size_t count) {
    // A handler may detach the owner: the messages after it are then dropped.
    for (std::size_t i = 0; i < count; ++i) {
        if (m_detached.load(std::memory_order_acquire)) {
            return;
        }
        if (m_handler) {
            m_handler(messages[i].message, messages[i].wParam, messages[i].lParam);
        }
    }
    if (m_runEnd && !m_detached.load(std::memory_order_acquire)) {
        m_runEnd();
    }
}
