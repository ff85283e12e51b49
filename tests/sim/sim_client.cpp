#include "sim_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "bus/frame.h"

SimClient::SimClient(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        throw std::runtime_error("open " + path + ": " + std::strerror(errno));
    }
    termios t{};
    tcgetattr(m_fd, &t);
    cfmakeraw(&t);
    tcsetattr(m_fd, TCSANOW, &t);
}

SimClient::~SimClient() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void SimClient::Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            throw std::runtime_error(std::string("write: ") + std::strerror(errno));
        }
    }
}

void SimClient::Write(const TxFrame::Bytes& frame, unsigned count) {
    Write(std::vector<std::uint8_t>(frame.begin(), frame.begin() + count));
}

std::optional<SimClient::Frame> SimClient::ReadFrame(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto head = std::find(m_buffer.begin(), m_buffer.end(), kFrameHead);
        m_buffer.erase(m_buffer.begin(), head);
        if (m_buffer.size() > kPosCommand) {
            const std::size_t length =
                m_buffer[kPosCommand] == kCmdReadConfig ? kLongReplyLength : kFrameLength;
            if (m_buffer.size() >= length) {
                Frame frame{{m_buffer.begin(), m_buffer.begin() + length}, m_firstByte};
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + length);
                // What is left came with the latest read.
                m_firstByte = m_lastRead;
                return frame;
            }
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        std::uint8_t bytes[512];
        const ssize_t n = ::read(m_fd, bytes, sizeof bytes);
        if (n > 0) {
            m_lastRead = Clock::now();
            if (m_buffer.empty()) {
                m_firstByte = m_lastRead;
            }
            m_buffer.insert(m_buffer.end(), bytes, bytes + n);
        }
    }
}

std::vector<SimClient::Frame> SimClient::ReadFrames(std::chrono::milliseconds quiet) {
    std::vector<Frame> frames;
    while (auto frame = ReadFrame(quiet)) {
        frames.push_back(std::move(*frame));
    }
    return frames;
}
