#include <QSocketNotifier>

#include "platform/port_watcher_linux.h"
#include "platform/qt_port_notifier.h"

struct QtPortNotifier::Native {
    explicit Native(const std::string& publishedDir) : watcher(publishedDir) {}

    LinuxPortWatcher watcher;
    // After the watcher, so it goes first: it never outlives the descriptor it watches.
    std::unique_ptr<QSocketNotifier> notifier;
};

QtPortNotifier::QtPortNotifier(const std::string& publishedDir, QObject* parent)
    : QObject(parent), m_native(std::make_unique<Native>(publishedDir)) {
    if (m_native->watcher.Fd() < 0) {
        return;
    }
    m_native->notifier =
        std::make_unique<QSocketNotifier>(m_native->watcher.Fd(), QSocketNotifier::Read);
    connect(m_native->notifier.get(), &QSocketNotifier::activated, this, [this] {
        if (m_native->watcher.TakeEvents()) {
            emit PortsMayHaveChanged();
        }
    });
}

QtPortNotifier::~QtPortNotifier() = default;
