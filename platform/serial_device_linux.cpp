// SerialDevice on a Linux tty: exclusive open (flock and TIOCEXCL), termios2 line settings,
// tcflush for the purge, FIONREAD and TIOCOUTQ for the queue counts, poll for the waits.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <utility>

#include "platform/line_settings_linux.h"
#include "platform/native_handles_linux.h"
#include "platform/serial_device.h"

namespace {

std::mutex g_probeMutex;
OutputQueueProbe g_outputQueueProbe;  // guarded by g_probeMutex

constexpr int kDrainPollMs = 2;

int EventFd(const ManualResetEvent* event) {
    return event ? event->GetNative().fd : -1;
}

}  // namespace

OutputQueueProbe SetOutputQueueProbe(OutputQueueProbe probe) {
    std::lock_guard lock(g_probeMutex);
    return std::exchange(g_outputQueueProbe, std::move(probe));
}

SerialDevice::SerialDevice() : m_native(std::make_unique<Native>()) {}

SerialDevice::~SerialDevice() {
    Close();
}

bool SerialDevice::IsOpen() const {
    return m_native->fd >= 0;
}

bool SerialDevice::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // flock holds against every other opener, root included; TIOCEXCL keeps other processes
    // from opening the tty at all (root excepted).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        errno = err;
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return false;
    }
    m_native->fd = fd;
    m_native->begin = m_native->end = 0;
    return true;
}

void SerialDevice::Close() {
    Native& n = *m_native;
    if (n.fd < 0) {
        return;
    }
    (void)::ioctl(n.fd, TIOCNXCL);
    ::close(n.fd);
    n.fd = -1;
    n.begin = n.end = 0;
}

bool SerialDevice::IsHangUp(int errorNumber) {
    return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV;
}

bool SerialDevice::GetLineSettings(LineSettings* settings) const {
    return GetTtyLineSettings(m_native->fd, settings);
}

bool SerialDevice::SetLineSettings(const LineSettings& settings) {
    return SetTtyLineSettings(m_native->fd, settings);
}

bool SerialDevice::Purge() {
    Native& n = *m_native;
    n.begin = n.end = 0;
    if (::tcflush(n.fd, TCIFLUSH) != 0) {
        return false;
    }
    // Output is discarded only while the device itself counts some as unsent. A
    // pseudo-terminal counts none, yet flushing its output throws away what the other end has
    // not read yet: bytes that have already left this side. A write followed at once by the
    // next request's purge would lose the tail of the first request.
    int unsent = 0;
    if (::ioctl(n.fd, TIOCOUTQ, &unsent) != 0) {
        return false;
    }
    return unsent <= 0 || ::tcflush(n.fd, TCOFLUSH) == 0;
}

bool SerialDevice::QueuedInput(std::size_t* count) {
    const Native& n = *m_native;
    if (n.end > n.begin) {
        *count = n.end - n.begin;
        return true;
    }
    int queued = 0;
    if (::ioctl(n.fd, FIONREAD, &queued) != 0) {
        *count = 0;
        return false;
    }
    *count = queued > 0 ? static_cast<std::size_t>(queued) : 0;
    return true;
}

SerialDevice::ReadStatus SerialDevice::ReadByte(std::uint8_t* byte) {
    Native& n = *m_native;
    if (n.begin == n.end) {
        ssize_t got;
        do {
            got = ::read(n.fd, n.buffer.data(), n.buffer.size());
        } while (got < 0 && errno == EINTR);
        if (got == 0) {
            // VMIN=1 on a non-blocking tty: an idle line gives EAGAIN, so 0 is a hang-up.
            errno = EIO;
            return ReadStatus::Gone;
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return ReadStatus::Empty;
            }
            return IsHangUp(errno) ? ReadStatus::Gone : ReadStatus::Failed;
        }
        n.begin = 0;
        n.end = static_cast<std::size_t>(got);
    }
    *byte = n.buffer[n.begin++];
    return ReadStatus::Byte;
}

long SerialDevice::Write(const std::uint8_t* bytes, std::size_t count,
                         const ManualResetEvent* abort) {
    const int fd = m_native->fd;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return -1;
        }
        // The output queue is full: wait for room, or for the caller to give up.
        pollfd fds[2] = {{fd, POLLOUT, 0}, {EventFd(abort), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return -1;
        }
        if (fds[1].revents != 0) {
            break;
        }
    }
    return static_cast<long>(done);
}

bool SerialDevice::QueuedOutput(std::size_t* count) const {
    int queued = 0;
    if (::ioctl(m_native->fd, TIOCOUTQ, &queued) != 0) {
        *count = 0;
        return false;
    }
    *count = queued > 0 ? static_cast<std::size_t>(queued) : 0;
    OutputQueueProbe probe;
    {
        std::lock_guard lock(g_probeMutex);
        probe = g_outputQueueProbe;
    }
    if (probe) {
        *count = probe();
    }
    return true;
}

SerialDevice::DrainStatus SerialDevice::WaitUntilSent(const ManualResetEvent* abort) {
    // tcdrain would block until the line is idle with no way to give up, so the queue is polled
    // instead, sleeping on the abort event between looks.
    for (;;) {
        std::size_t queued = 0;
        if (!QueuedOutput(&queued)) {
            return DrainStatus::Failed;
        }
        if (queued == 0) {
            return DrainStatus::Sent;
        }
        pollfd fd = {EventFd(abort), POLLIN, 0};
        const int n = ::poll(&fd, 1, kDrainPollMs);
        if (n < 0 && errno != EINTR) {
            return DrainStatus::Failed;
        }
        if (n > 0) {
            return DrainStatus::Aborted;
        }
    }
}
