#pragma once
// The port watcher on Linux: udev's monitor for the kernel's tty devices (an adapter plugged in
// or pulled out) and inotify on the published-ports folder and on its parent (the folder itself
// created, removed, renamed or re-moded), both behind one epoll descriptor that is readable while
// events wait, so an event loop can poll it (QtPortNotifier does). Only platform's Linux sources
// (and tests) include this header.

#include <string>

#include "platform/port_watcher.h"

struct udev;
struct udev_monitor;

class LinuxPortWatcher : public IPortWatcher {
public:
    // systemDevices: also watch udev's tty events.
    explicit LinuxPortWatcher(std::string publishedDir, bool systemDevices = true);
    ~LinuxPortWatcher() override;
    LinuxPortWatcher(const LinuxPortWatcher&) = delete;
    LinuxPortWatcher& operator=(const LinuxPortWatcher&) = delete;

    // Readable while events wait; -1 when nothing at all could be watched.
    int Fd() const { return m_epoll; }

    bool Watching() const override { return m_epoll >= 0; }
    bool WatchesSystemDevices() const override { return m_monitor != nullptr; }
    bool WaitForEvents(int timeoutMs) override;
    bool TakeEvents() override;

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
