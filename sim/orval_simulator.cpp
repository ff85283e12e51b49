#include "sim/orval_simulator.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <stdexcept>

#include "platform/pseudo_terminal.h"
#include "platform/line_settings_linux.h"
#include "sim/frame_trace.h"
#include "sim/line_rate.h"
#include "sim/pc_frame_reader.h"

namespace {

// Replies queued beyond this while nobody reads the line are dropped instead of piling up.
constexpr std::size_t kMaxBacklog = 64 * 1024;

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int MillisecondsUntil(std::optional<std::chrono::steady_clock::time_point> deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left = *deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) {
        return 0;
    }
    // Round up so that the deadline has passed when poll returns.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

std::optional<std::chrono::steady_clock::time_point> Earlier(
    std::optional<std::chrono::steady_clock::time_point> a,
    std::optional<std::chrono::steady_clock::time_point> b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    return std::min(*a, *b);
}

}  // namespace

OrvalSimulator::OrvalSimulator(const std::vector<SimDeviceSpec>& devices, SimTiming timing)
    : m_timing(timing), m_trace(PrintLine), m_bus(std::make_unique<SimBus>(timing)) {
    for (const SimDeviceSpec& entry : devices) {
        m_bus->AddDevice(entry);
    }
}

OrvalSimulator::~OrvalSimulator() {
    Stop();
}

void OrvalSimulator::SetTraceSink(TraceSink sink) {
    std::lock_guard lock(m_mutex);
    m_trace = std::move(sink);
}

void OrvalSimulator::SetDeviceBaud(unsigned baud) {
    std::lock_guard lock(m_mutex);
    m_deviceBaud = baud;
}

std::pair<unsigned, int> OrvalSimulator::PcLine() const {
    // The client's settings live on the terminal, so our own slave descriptor reads them.
    LineSettings line;
    if (!GetTtyLineSettings(m_slaveFd, &line)) {
        return {m_deviceBaud, 1};
    }
    return {line.baud, line.stopBits == StopBits::Two ? 2 : 1};
}

void OrvalSimulator::Start(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (m_running) {
        throw std::runtime_error("the simulator is already running");
    }
    // The pair's own slave descriptor keeps the line up between clients and lets us flush it
    // and clear its exclusive flag.
    auto pty = std::make_unique<PseudoTerminal>(true);
    const int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (stopFd < 0) {
        if (watchFd >= 0) {
            ::close(watchFd);
        }
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    }
    // Without the watch the bus still works; only the clean-up between clients is lost.
    if (watchFd >= 0 &&
        ::inotify_add_watch(watchFd, pty->SlavePath().c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(watchFd);
        m_watchFd = -1;
    } else {
        m_watchFd = watchFd;
    }
    try {
        m_portPath = pty->Publish(name);
    } catch (...) {
        ::close(stopFd);
        if (m_watchFd >= 0) {
            ::close(m_watchFd);
            m_watchFd = -1;
        }
        throw;
    }
    m_slavePath = pty->SlavePath();
    m_pty = std::move(pty);
    m_slaveFd = m_pty->SlaveFd();
    m_stopFd = stopFd;
    m_start = Clock::now();
    m_running = true;
    m_thread = std::thread(&OrvalSimulator::Run, this);
}

void OrvalSimulator::Stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running) {
            return;
        }
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
    m_thread.join();

    std::lock_guard lock(m_mutex);
    m_running = false;
    m_pty.reset();  // removes the published link and closes both ends
    m_slaveFd = -1;
    for (int* fd : {&m_stopFd, &m_watchFd}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    m_portPath.clear();
    m_slavePath.clear();
}

bool OrvalSimulator::Running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

std::string OrvalSimulator::PortPath() const {
    std::lock_guard lock(m_mutex);
    return m_portPath;
}

std::string OrvalSimulator::SlavePath() const {
    std::lock_guard lock(m_mutex);
    return m_slavePath;
}

std::vector<SimDeviceState> OrvalSimulator::Devices() const {
    std::lock_guard lock(m_mutex);
    return m_bus->Devices();
}

SimDeviceState OrvalSimulator::Device(std::size_t index) const {
    std::lock_guard lock(m_mutex);
    return m_bus->Devices().at(index);
}

std::size_t OrvalSimulator::AddDevice(const SimDeviceSpec& entry) {
    std::lock_guard lock(m_mutex);
    const std::size_t index = m_bus->AddDevice(entry);
    m_changed.notify_all();
    return index;
}

bool OrvalSimulator::WaitUntil(const std::function<bool(const std::vector<SimDeviceState>&)>& done,
                               std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(m_bus->Devices()); });
}

void OrvalSimulator::Trace(std::vector<std::string>& lines, const char* direction,
                           const std::string& text) {
    const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    char head[48];
    std::snprintf(head, sizeof head, "%9.3f  %-7s ", seconds, direction);
    lines.push_back(head + text);
}

void OrvalSimulator::EmitTrace(const std::vector<std::string>& lines) {
    TraceSink sink;
    {
        std::lock_guard lock(m_mutex);
        sink = m_trace;
    }
    if (sink) {
        for (const std::string& line : lines) {
            sink(line);
        }
    }
}

void OrvalSimulator::Run() {
    const int master = m_pty->MasterFd();
    PcFrameReader reader(m_timing.quiet);
    std::vector<std::uint8_t> backlog;  // replies on their way to the line, whole frames
    // With a line rate: replies still on the line, each with when its last byte arrives, and
    // when the line is free again.
    struct OnLine {
        Clock::time_point end;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<OnLine> onLine;
    Clock::time_point lineFree{};
    const auto lineTime = [&](std::size_t bytes) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(
            static_cast<long long>(bytes) * 10 * 1000000000LL / m_timing.lineRate));
    };
    // When a frame of `bytes` that the line takes from `from` on has passed.
    const auto carry = [&](std::size_t bytes, Clock::time_point from) {
        lineFree = std::max(lineFree, from) + lineTime(bytes);
        return lineFree;
    };
    std::vector<std::string> notes;
    {
        std::lock_guard lock(m_mutex);
        m_bus->SetNoteSink([&notes](const std::string& text) { notes.push_back(text); });
    }
    std::vector<std::string> lines;
    Trace(lines, "start", "simulated bus on " + m_slavePath + ", published as " + m_portPath);
    unsigned deviceBaud = 0;
    {
        std::lock_guard lock(m_mutex);
        deviceBaud = m_deviceBaud;
    }
    if (deviceBaud != 0) {
        Trace(lines, "start", "devices at " + std::to_string(deviceBaud) + " baud");
    }
    EmitTrace(lines);
    // The PC's rate as last seen, to say once when the two rates part or meet again.
    unsigned pcBaudSeen = deviceBaud;
    const auto pcLine = [&] {
        const std::pair<unsigned, int> line = PcLine();
        if (deviceBaud != 0 && line.first != pcBaudSeen) {
            pcBaudSeen = line.first;
            Trace(lines, "note",
                  line.first == deviceBaud
                      ? "the PC's line rate is the devices' again (" + std::to_string(line.first) +
                            " baud)"
                      : "the PC's line is at " + std::to_string(line.first) +
                            " baud, the devices' at " + std::to_string(deviceBaud) +
                            ": each side hears the other at its own rate");
        }
        return line;
    };

    for (;;) {
        lines.clear();
        std::optional<Clock::time_point> deadline = reader.Deadline();
        {
            std::lock_guard lock(m_mutex);
            deadline = Earlier(deadline, m_bus->NextDue());
        }
        if (!onLine.empty()) {
            deadline = Earlier(deadline, onLine.front().end);
        }
        pollfd fds[3] = {
            {m_stopFd, POLLIN, 0},
            {master, static_cast<short>(POLLIN | (backlog.empty() ? 0 : POLLOUT)), 0},
            {m_watchFd, POLLIN, 0},
        };
        const int ready = ::poll(fds, m_watchFd >= 0 ? 3 : 2, MillisecondsUntil(deadline));
        if (ready < 0 && errno != EINTR) {
            Trace(lines, "error", std::string("poll: ") + std::strerror(errno));
            EmitTrace(lines);
            break;
        }
        if (fds[0].revents & POLLIN) {
            break;
        }

        if (m_watchFd >= 0 && (fds[2].revents & POLLIN)) {
            alignas(inotify_event) char buffer[4096];
            const ssize_t n = ::read(m_watchFd, buffer, sizeof buffer);
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                at += static_cast<ssize_t>(sizeof event + event.len);
                if (event.mask & IN_OPEN) {
                    // A new client knows nothing of replies meant for the previous one.
                    std::lock_guard lock(m_mutex);
                    m_bus->ResetConversation();
                    reader.Reset();
                    backlog.clear();
                    onLine.clear();
                    tcflush(m_slaveFd, TCIFLUSH);
                    Trace(lines, "client", "opened the port");
                }
                if (event.mask & IN_CLOSE) {
                    ::ioctl(m_slaveFd, TIOCNXCL);
                    Trace(lines, "client", "closed the port");
                }
            }
        }

        bool changed = false;
        auto takeNotes = [&] {
            for (const std::string& note : notes) {
                Trace(lines, "note", note);
            }
            notes.clear();
        };
        auto handle = [&](const std::vector<PcFrameReader::Event>& events) {
            for (const PcFrameReader::Event& e : events) {
                if (e.kind == PcFrameReader::Event::Kind::Dropped) {
                    Trace(lines, "PC->bus", HexBytes(e.bytes) + "  | ignored, not a frame");
                    continue;
                }
                Trace(lines, "PC->bus", HexBytes(e.bytes) + "  | " + DescribePcFrame(e.bytes));
                const Clock::time_point heard =
                    m_timing.lineRate == 0 ? Clock::now() : carry(e.bytes.size(), Clock::now());
                std::lock_guard lock(m_mutex);
                m_bus->HandleFrame(e.bytes, heard);
                takeNotes();
                changed = true;
            }
        };

        bool lineLost =
            (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) && !(fds[1].revents & POLLIN);
        if (fds[1].revents & POLLIN) {
            for (;;) {
                std::uint8_t buffer[4096];
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n > 0) {
                    const auto size = static_cast<std::size_t>(n);
                    if (deviceBaud == 0) {
                        handle(reader.Feed(buffer, size, Clock::now()));
                        continue;
                    }
                    // The devices hear the PC's bytes at their own rate.
                    const auto [pcBaud, pcStopBits] = pcLine();
                    const std::vector<std::uint8_t> heard =
                        HeardAtRate(buffer, size, pcBaud, deviceBaud, pcStopBits);
                    handle(reader.Feed(heard.data(), heard.size(), Clock::now()));
                    continue;
                }
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                // EAGAIN: all read. End of file or an error: the terminal is gone.
                lineLost = !(n < 0 && errno == EAGAIN);
                break;
            }
        }
        if (lineLost) {
            // Cannot happen while our own slave descriptor is open; stop rather than spin.
            Trace(lines, "error", "the pseudo-terminal failed; the bus stops");
            EmitTrace(lines);
            break;
        }
        handle(reader.Poll(Clock::now()));

        std::vector<SimBus::Reply> due;
        {
            std::lock_guard lock(m_mutex);
            due = m_bus->TakeDue(Clock::now());
            takeNotes();
        }
        if (m_timing.lineRate != 0) {
            // Each reply reaches the PC once the line has carried it, after the one before.
            for (SimBus::Reply& reply : due) {
                const Clock::time_point end = carry(reply.bytes.size(), reply.due);
                onLine.push_back({end, std::move(reply.bytes)});
            }
            due.clear();
            while (!onLine.empty() && onLine.front().end <= Clock::now()) {
                due.push_back({onLine.front().end, std::move(onLine.front().bytes)});
                onLine.pop_front();
            }
        }
        for (SimBus::Reply& reply : due) {
            if (backlog.size() + reply.bytes.size() > kMaxBacklog) {
                Trace(lines, "bus->PC",
                      HexBytes(reply.bytes) + "  | dropped, nobody reads the line");
                continue;
            }
            Trace(lines, "bus->PC",
                  HexBytes(reply.bytes) + "  | " + DescribeDeviceFrame(reply.bytes));
            if (deviceBaud != 0) {
                // The PC hears the reply at its own rate.
                const unsigned pcBaud = pcLine().first;
                if (pcBaud != deviceBaud) {
                    reply.bytes =
                        HeardAtRate(reply.bytes.data(), reply.bytes.size(), deviceBaud, pcBaud);
                    Trace(lines, "bus->PC",
                          HexBytes(reply.bytes) + "  | as the PC hears it at " +
                              std::to_string(pcBaud) + " baud");
                }
            }
            backlog.insert(backlog.end(), reply.bytes.begin(), reply.bytes.end());
        }
        while (!backlog.empty()) {
            const ssize_t n = ::write(master, backlog.data(), backlog.size());
            if (n > 0) {
                backlog.erase(backlog.begin(), backlog.begin() + n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;  // the line is full; poll tells when it takes more
            }
        }

        if (changed) {
            std::lock_guard lock(m_mutex);
            m_changed.notify_all();
        }
        EmitTrace(lines);
    }

    std::lock_guard lock(m_mutex);
    m_bus->SetNoteSink(nullptr);
}
