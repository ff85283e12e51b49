#include "platform/tty_device.h"

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
#include "platform/manual_reset_event.h"

namespace {

std::mutex g_probeMutex;
OutputQueueProbe g_outputQueueProbe;  // guarded by g_probeMutex

}  // namespace

OutputQueueProbe SetOutputQueueProbe(OutputQueueProbe probe) {
    std::lock_guard lock(g_probeMutex);
    return std::exchange(g_outputQueueProbe, std::move(probe));
}

TtyDevice::~TtyDevice() {
    Close();
}

bool TtyDevice::Open(const std::string& path) {
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
    m_fd = fd;
    m_begin = m_end = 0;
    return true;
}

void TtyDevice::Close() {
    if (m_fd < 0) {
        return;
    }
    (void)::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    m_begin = m_end = 0;
}

bool TtyDevice::IsHangUp(int errorNumber) {
    return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV;
}

bool TtyDevice::GetLineSettings(LineSettings* settings) const {
    return GetTtyLineSettings(m_fd, settings);
}

bool TtyDevice::SetLineSettings(const LineSettings& settings) {
    return SetTtyLineSettings(m_fd, settings);
}

bool TtyDevice::Purge() {
    m_begin = m_end = 0;
    if (::tcflush(m_fd, TCIFLUSH) != 0) {
        return false;
    }
    // Output is discarded only while the device itself counts some as unsent. A
    // pseudo-terminal counts none, yet flushing its output throws away what the other end has
    // not read yet: bytes that have already left this side. A write followed at once by the
    // next request's purge would lose the tail of the first request.
    int unsent = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &unsent) != 0) {
        return false;
    }
    return unsent <= 0 || ::tcflush(m_fd, TCOFLUSH) == 0;
}

bool TtyDevice::QueuedInput(std::size_t* count) {
    if (m_end > m_begin) {
        *count = m_end - m_begin;
        return true;
    }
    int queued = 0;
    if (::ioctl(m_fd, FIONREAD, &queued) != 0) {
        *count = 0;
        return false;
    }
    *count = queued > 0 ? static_cast<std::size_t>(queued) : 0;
    return true;
}

TtyDevice::ReadStatus TtyDevice::ReadByte(std::uint8_t* byte) {
    if (m_begin == m_end) {
        ssize_t n;
        do {
            n = ::read(m_fd, m_buffer.data(), m_buffer.size());
        } while (n < 0 && errno == EINTR);
        if (n == 0) {
            // VMIN=1 on a non-blocking tty: an idle line gives EAGAIN, so 0 is a hang-up.
            errno = EIO;
            return ReadStatus::Gone;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return ReadStatus::Empty;
            }
            return IsHangUp(errno) ? ReadStatus::Gone : ReadStatus::Failed;
        }
        m_begin = 0;
        m_end = static_cast<std::size_t>(n);
    }
    *byte = m_buffer[m_begin++];
    return ReadStatus::Byte;
}

long TtyDevice::Write(const std::uint8_t* bytes, std::size_t count, const ManualResetEvent* abort) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, bytes + done, count - done);
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
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {abort ? abort->Fd() : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return -1;
        }
        if (fds[1].revents != 0) {
            break;
        }
    }
    return static_cast<long>(done);
}

bool TtyDevice::QueuedOutput(std::size_t* count) const {
    int queued = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
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
        *count = probe(m_fd);
    }
    return true;
}

TtyDevice::DrainStatus TtyDevice::WaitUntilSent(const ManualResetEvent* abort) {
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
        pollfd fd = {abort ? abort->Fd() : -1, POLLIN, 0};
        const int n = ::poll(&fd, 1, kDrainPollMs);
        if (n < 0 && errno != EINTR) {
            return DrainStatus::Failed;
        }
        if (n > 0) {
            return DrainStatus::Aborted;
        }
    }
}
