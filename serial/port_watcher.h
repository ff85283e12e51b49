#pragma once
// Watches for serial ports appearing and going while the program runs, so that the port list
// can follow the system: the kernel's tty devices through udev's monitor (an adapter plugged in
// or pulled out), and the published-ports folder through inotify (a simulator publishing or
// withdrawing its port, the folder itself being created, removed or changed).
//
// The watcher only says that something may have changed; the caller lists the ports again.
// One descriptor becomes readable when events wait, so any event loop can poll it.
// Not thread-safe: one thread uses it.

#include <string>

struct udev;
struct udev_monitor;

class PortWatcher {
public:
    // systemDevices: also watch udev's tty events (tests that only publish ports leave it off).
    explicit PortWatcher(std::string publishedDir, bool systemDevices = true);
    ~PortWatcher();
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    // Readable while events wait; -1 when nothing at all could be watched.
    int Fd() const { return m_epoll; }
    // Whether udev's monitor is running (false in containers and tests without it).
    bool WatchesSystemDevices() const { return m_monitor != nullptr; }

    // Takes every waiting event without blocking. True when any of them may have changed the
    // list of ports.
    bool TakeEvents();

private:
    void WatchFolder();
    bool TakeFolderEvents();
    bool TakeDeviceEvents();

    std::string m_folder;
    std::string m_folderName;  // the folder's own name, as its parent's events carry it
    int m_epoll = -1;
    int m_inotify = -1;
    int m_folderWatch = -1;
    int m_parentWatch = -1;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
};
