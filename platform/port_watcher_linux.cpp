#include "platform/port_watcher_linux.h"

#include <libudev.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

namespace {

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                        IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                        IN_DONT_FOLLOW;
// In the parent only the folder's own entry matters: created, removed, renamed, re-moded.
constexpr std::uint32_t kParentEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR;

void AddToEpoll(int epoll, int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

}  // namespace

std::unique_ptr<IPortWatcher> CreatePortWatcher(std::string publishedDir, bool systemDevices) {
    return std::make_unique<LinuxPortWatcher>(std::move(publishedDir), systemDevices);
}

LinuxPortWatcher::LinuxPortWatcher(std::string publishedDir, bool systemDevices)
    : m_folder(std::move(publishedDir)) {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll < 0) {
        return;
    }
    if (!m_folder.empty()) {
        m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify >= 0) {
            const std::filesystem::path folder(m_folder);
            m_folderName = folder.filename().string();
            if (folder.has_parent_path()) {
                m_parentWatch = ::inotify_add_watch(
                    m_inotify, folder.parent_path().string().c_str(), kParentEvents);
            }
            WatchFolder();
            AddToEpoll(m_epoll, m_inotify);
        }
    }
    if (systemDevices) {
        m_udev = ::udev_new();
        if (m_udev) {
            // "udev" events come after udev has made the device node and its by-id links.
            m_monitor = ::udev_monitor_new_from_netlink(m_udev, "udev");
        }
        if (m_monitor &&
            (::udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0 ||
             ::udev_monitor_enable_receiving(m_monitor) < 0)) {
            ::udev_monitor_unref(m_monitor);
            m_monitor = nullptr;
        }
        if (m_monitor) {
            AddToEpoll(m_epoll, ::udev_monitor_get_fd(m_monitor));
        }
    }
}

LinuxPortWatcher::~LinuxPortWatcher() {
    if (m_monitor) {
        ::udev_monitor_unref(m_monitor);
    }
    if (m_udev) {
        ::udev_unref(m_udev);
    }
    if (m_inotify >= 0) {
        ::close(m_inotify);
    }
    if (m_epoll >= 0) {
        ::close(m_epoll);
    }
}

void LinuxPortWatcher::WatchFolder() {
    // Adding a watch that exists already gives the same one back; a missing folder gives -1
    // and is watched for through its parent.
    m_folderWatch = ::inotify_add_watch(m_inotify, m_folder.c_str(), kFolderEvents);
}

bool LinuxPortWatcher::WaitForEvents(int timeoutMs) {
    if (m_epoll < 0) {
        return false;
    }
    pollfd fd{m_epoll, POLLIN, 0};
    int n;
    do {
        n = ::poll(&fd, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

bool LinuxPortWatcher::TakeEvents() {
    const bool folder = TakeFolderEvents();
    const bool devices = TakeDeviceEvents();
    return folder || devices;
}

bool LinuxPortWatcher::TakeFolderEvents() {
    if (m_inotify < 0) {
        return false;
    }
    bool changed = false;
    bool rewatch = false;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // EAGAIN: all taken
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changed = rewatch = true;  // events were lost: list again to be sure
            } else if (event->wd == m_folderWatch && m_folderWatch >= 0) {
                changed = true;
                if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                    rewatch = true;
                }
            } else if (event->wd == m_parentWatch && event->len > 0 &&
                       m_folderName == event->name) {
                changed = rewatch = true;
            }
        }
    }
    if (rewatch) {
        if (m_folderWatch >= 0) {
            ::inotify_rm_watch(m_inotify, m_folderWatch);
        }
        WatchFolder();
    }
    return changed;
}

bool LinuxPortWatcher::TakeDeviceEvents() {
    if (!m_monitor) {
        return false;
    }
    bool changed = false;
    while (udev_device* device = ::udev_monitor_receive_device(m_monitor)) {
        const char* action = ::udev_device_get_action(device);
        if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
            changed = true;
        }
        ::udev_device_unref(device);
    }
    return changed;
}
