#include "tarvo_test_host.h"

#include <poll.h>

#include <cstdio>

#include "bus/frame.h"
#include "platform/qt_dialog_builder.h"
#include "res/resource.h"

namespace tarvo_test {

namespace {

// A pause this long on the line ends a frame: the engine writes a frame in one go and the
// senders leave 100 ms between frames.
constexpr auto kFrameGap = std::chrono::milliseconds(30);

// How long the PC frame that `b` begins is, once enough of it is there to tell: four bytes for
// a search followed at once by the next head, ten plus the code count for the function-code
// frame, ten for every other frame. Zero while it can't be told or `b` is no frame.
// Not the simulator's PcFrameReader: that one drops what a device would refuse and waits for
// quiet to end a search, where this recorder keeps every byte the line carried, as it came.
std::size_t PcFrameLength(const Bytes& b) {
    if (b.size() < 5 || b[0] != kFrameHead) {
        return 0;
    }
    if (b[4] == kFrameHead) {
        return 4;
    }
    if (b[4] != kCmdFunctionCodes) {
        return 10;
    }
    return b.size() < 7 ? 0 : 10 + std::size_t{b[6]};
}

}  // namespace

std::string Hex(const Bytes& bytes) {
    std::string s;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    return s;
}

BusRecorder::BusRecorder(PseudoTerminal& pty) : m_pty(pty), m_thread([this] { Run(); }) {}

BusRecorder::~BusRecorder() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_thread.join();
}

void BusRecorder::Run() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) {
                return;
            }
        }
        pollfd p{m_pty.MasterFd(), POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0) {
            continue;
        }
        const Bytes bytes = m_pty.ReadAvailable();
        if (bytes.empty()) {
            continue;
        }
        const auto now = Clock::now();
        std::lock_guard lock(m_mutex);
        if (m_frames.empty() || now - m_lastByte > kFrameGap) {
            m_frames.push_back({{}, now});
        }
        m_frames.back().bytes.insert(m_frames.back().bytes.end(), bytes.begin(), bytes.end());
        // A reader that was slow to wake finds several frames at once: split them where each
        // one ends, so that a busy machine never merges frames that went out 100 ms apart.
        for (std::size_t length; (length = PcFrameLength(m_frames.back().bytes)) != 0 &&
                                 length < m_frames.back().bytes.size();) {
            Bytes& whole = m_frames.back().bytes;
            Bytes rest(whole.begin() + static_cast<std::ptrdiff_t>(length), whole.end());
            whole.resize(length);
            m_frames.push_back({std::move(rest), now});
        }
        m_lastByte = now;
    }
}

std::vector<BusRecorder::Frame> BusRecorder::Frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

std::vector<Bytes> BusRecorder::FrameBytes() const {
    std::vector<Bytes> out;
    for (const Frame& f : Frames()) {
        out.push_back(f.bytes);
    }
    return out;
}

bool BusRecorder::WaitFrames(std::size_t count, int timeoutMs) const {
    return WaitFor(
        [&] {
            std::lock_guard lock(m_mutex);
            return m_frames.size() >= count && Clock::now() - m_lastByte > kFrameGap;
        },
        timeoutMs);
}

TestHost::TestHost(bool openPort) : TestPageHost(openPort) {
    if (openPort) {
        EXPECT_TRUE(PortReady());
        m_bus = std::make_unique<BusRecorder>(Line());
    }
    EXPECT_TRUE(m_page.Create(Tab()));
    m_page.show();
    resize(width(), Tab()->height() + 40);
    m_writeButton = new QPushButton(QStringLiteral("写入"), this);
    m_writeButton->setProperty(kControlIdProperty, 1);
    m_writeButton->setGeometry(width() - 100, Tab()->height() + 5, 90, 30);
    QObject::connect(m_writeButton, &QPushButton::clicked, this,
                     [this] { m_writer.OnWriteKeyConfig(*this, m_page, m_currentTab); });
    // The main dialog enables the LED tests while the port is open.
    m_page.EnableDlgItem(IDC_LED1, true);
    m_page.EnableDlgItem(IDC_LED2, true);
}

TestHost::~TestHost() {
    m_writer.Stop();
    m_bus.reset();
}

void TestHost::SetDevices(const std::vector<std::uint32_t>& addresses, int sel) {
    DeviceList()->clear();
    for (std::uint32_t address : addresses) {
        AddDevice(address);
    }
    Select(sel);
}

}  // namespace tarvo_test
