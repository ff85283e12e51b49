#include "platform/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/bus_terminal.h"
#include "platform/published_ports.h"

namespace {

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

}  // namespace

PseudoTerminal::PseudoTerminal(bool keepSlaveOpen) {
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    }
    m_slavePath = name;
    MakeRaw(m_master);
    MakeRaw(m_slave);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (!keepSlaveOpen) {
        CloseSlave();
    }
}

PseudoTerminal::~PseudoTerminal() {
    Unpublish();
    CloseMaster();
    CloseSlave();
}

std::string PseudoTerminal::Publish(const std::string& name) {
    Unpublish();
    const std::filesystem::path folder = PublishedPortsFolder();
    std::string reason;
    if (!CreatePublishedPortsFolder(folder, &reason)) {
        throw std::runtime_error("cannot publish in " + folder.string() + ": " + reason);
    }
    std::error_code ec;
    const std::filesystem::path link = folder / name;
    // A name that a live bus already publishes stays its own; a link left behind by one that
    // ended (leading nowhere, or to a terminal that is someone's now) is taken over.
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec)) &&
        ClassifyBusTerminal(link.string()) == BusTerminal::Free) {
        throw std::runtime_error("cannot publish " + link.string() +
                                 ": a running bus already publishes that name");
    }
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(m_slavePath, link, ec);
    if (ec) {
        throw std::runtime_error("cannot publish " + link.string() + ": " + ec.message());
    }
    m_linkPath = link.string();
    return m_linkPath;
}

void PseudoTerminal::Unpublish() {
    if (!m_linkPath.empty()) {
        // Only the link that leads to this terminal: another's of the same name stays.
        std::error_code ec;
        if (std::filesystem::read_symlink(m_linkPath, ec) == m_slavePath && !ec) {
            std::filesystem::remove(m_linkPath, ec);
        }
        m_linkPath.clear();
    }
}

void PseudoTerminal::Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            throw std::runtime_error(std::string("pty write: ") + std::strerror(errno));
        }
    }
}

std::vector<std::uint8_t> PseudoTerminal::Read(std::size_t count, int timeoutMs, int quietMs) {
    using Clock = std::chrono::steady_clock;
    std::vector<std::uint8_t> out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
        const auto now = Clock::now();
        int wait =
            out.empty()
                ? static_cast<int>(
                      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count())
                : quietMs;
        if (wait <= 0) {
            break;
        }
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, wait) <= 0 || !(p.revents & POLLIN)) {
            break;
        }
        std::uint8_t buf[4096];
        const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - out.size()));
        if (n <= 0) {
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

std::vector<std::uint8_t> PseudoTerminal::ReadAvailable() {
    std::vector<std::uint8_t> out;
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

void PseudoTerminal::CloseMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PseudoTerminal::CloseSlave() {
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
}
