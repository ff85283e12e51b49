#pragma once
// Watches for serial ports appearing and going while the program runs, so that the port list
// can follow the system: the system's serial devices (an adapter plugged in or pulled out) and
// the published-ports folder (a simulator publishing or withdrawing its port, the folder itself
// being created, removed or changed).
//
// A watcher only says that something may have changed; the caller lists the ports again. The
// Linux implementation (port_watcher_linux.h) follows udev's monitor and an inotify watch; a
// window is woken through QtPortNotifier (qt_port_notifier.h), other callers wait with
// WaitForEvents. Not thread-safe: one thread uses a watcher.

#include <memory>
#include <string>

class IPortWatcher {
public:
    virtual ~IPortWatcher() = default;
    // False when nothing at all could be watched.
    virtual bool Watching() const = 0;
    // Whether the system's own devices are followed (false in containers and tests without
    // udev, where only the published folder is).
    virtual bool WatchesSystemDevices() const = 0;
    // Waits up to timeoutMs (< 0: without time-out) until events wait. True when they do.
    virtual bool WaitForEvents(int timeoutMs) = 0;
    // Takes every waiting event without blocking. True when any of them may have changed the
    // list of ports.
    virtual bool TakeEvents() = 0;
};

// systemDevices: also watch the system's serial devices (tests that only publish ports leave it
// off).
std::unique_ptr<IPortWatcher> CreatePortWatcher(std::string publishedDir,
                                                bool systemDevices = true);
