#include "tarvo_test_host.h"

#include <poll.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "platform/qt_dialog_builder.h"

namespace tarvo_test {

namespace {

// One QApplication for the whole program.
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_app = new QApplication(m_argc, m_argv); }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    int m_argc = 1;
    char m_arg0[16] = "tarvo-page-test";
    char* m_argv[2] = {m_arg0, nullptr};
    QApplication* m_app = nullptr;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

// A pause this long on the line ends a frame: the engine writes a frame in one go and the
// senders leave 100 ms between frames.
constexpr auto kFrameGap = std::chrono::milliseconds(30);

}  // namespace

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
    return true;
}

void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
}

void Click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

std::string Hex(const Bytes& bytes) {
    std::string s;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    return s;
}

BoxRecorder::BoxRecorder() {
    m_previous =
        SetMessageBoxHandler([this](const std::string& text, const std::string& caption, unsigned) {
            std::lock_guard lock(m_mutex);
            m_boxes.push_back({text, caption});
        });
}

BoxRecorder::~BoxRecorder() {
    SetMessageBoxHandler(std::move(m_previous));
}

std::vector<BoxRecorder::Box> BoxRecorder::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
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

TestHost::TestHost(bool openPort) : m_owner([](const WindowMessage&) {}), m_tab(this) {
    if (openPort) {
        m_pty = std::make_unique<PseudoTerminal>();
        m_pty->Publish("tarvo-bus");
        m_port.EnumeratePorts();
        unsigned number = 0;
        for (std::size_t i = 0; i < m_port.m_portNames.size(); ++i) {
            if (m_port.m_portNames[i] == "tarvo-bus") {
                number = m_port.m_portNumbers[i];
            }
        }
        EXPECT_NE(number, 0u);
        EXPECT_TRUE(m_port.OpenPort(&m_owner, number, 9600, 'N', 8, 0));
        EXPECT_TRUE(m_port.StartMonitor());
        m_bus = std::make_unique<BusRecorder>(*m_pty);
    }
    resize(800, 420);
    m_tab.setGeometry(0, 0, 800, 380);
    EXPECT_TRUE(m_page.Create(&m_tab));
    m_page.show();
    m_writeButton = new QPushButton(QStringLiteral("写入"), this);
    m_writeButton->setProperty(kControlIdProperty, 1);
    m_writeButton->setGeometry(700, 385, 90, 30);
    QObject::connect(m_writeButton, &QPushButton::clicked, this,
                     [this] { m_writer.OnWriteKeyConfig(*this, m_page, m_currentTab); });
    // The main dialog enables the LED tests while the port is open.
    m_page.EnableDlgItem(1036, true);
    m_page.EnableDlgItem(1034, true);
}

TestHost::~TestHost() {
    m_writer.Stop();
    m_bus.reset();
    m_port.ClosePort();
}

std::uint32_t TestHost::DeviceListItemData(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_items.size() ? m_items[index]
                                                                          : 0xFFFFFFFFu;
}

void TestHost::SendTxFrame(unsigned count) {
    m_txFrame.WithLock([&](TxFrame::Bytes& bytes) {
        m_port.SendBytes(bytes.data(), std::min<unsigned>(count, TxFrame::kSize));
    });
}

}  // namespace tarvo_test
