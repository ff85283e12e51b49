// The "写入" sequence: the four frames as they reach the line, the checks before anything is
// sent, one sequence at a time, frames built under the outgoing frame's lock, and stopping.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <atomic>

#include "res/resource.h"
#include "tarvo_test_host.h"

using namespace tarvo_test;
using namespace std::chrono_literals;

namespace {

constexpr std::uint8_t kLeft = 0x5A;  // byte 5 as an earlier sender left it

class KeyConfigWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_host = std::make_unique<TestHost>();
        m_host->SetDevices({5, 7}, 0);
        m_host->TxFrameBytes().WithLock([](TxFrame::Bytes& b) { b[5] = kLeft; });
        SetCodes("01 02 0a", "41 42");
    }
    void TearDown() override { m_host.reset(); }

    TestHost& Host() { return *m_host; }
    void SetCodes(const QString& press, const QString& release) {
        Host().C<QPlainTextEdit>(IDC_PRESS_CODES)->setPlainText(press);
        Host().C<QPlainTextEdit>(IDC_RELEASE_CODES)->setPlainText(release);
    }
    void SetLongPress(const QString& text) {
        Host().C<QLineEdit>(IDC_LONG_PRESS_MS)->setText(text);
    }
    void ClickWrite() { Click(Host().WriteButton()); }
    // Clicks "写入" and waits until the sequence has ended; returns the frames it sent.
    std::vector<Bytes> Write() {
        const std::size_t before = Host().Bus().Frames().size();
        ClickWrite();
        EXPECT_TRUE(WaitFor([&] { return !Host().Writer().Running(); }));
        const bool four = Host().Bus().WaitFrames(before + 4, 3000);
        const std::vector<Bytes> all = Host().Bus().FrameBytes();
        if (!four) {
            std::string seen;
            for (const Bytes& b : all) {
                seen += Hex(b) + "\n";
            }
            ADD_FAILURE() << "four more frames did not come; the line had:\n" << seen;
        }
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end()};
    }
    // Clicks "写入" and expects that nothing at all goes out.
    void ExpectNothingSent() {
        const std::size_t before = Host().Bus().Frames().size();
        ClickWrite();
        EXPECT_FALSE(Host().Writer().Running());
        Settle(250);
        EXPECT_EQ(Host().Bus().Frames().size(), before);
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<TestHost> m_host;
};

Bytes Sequence(int from, int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) {
        b.push_back(static_cast<std::uint8_t>(from + i));
    }
    return b;
}

}  // namespace

TEST_F(KeyConfigWriteTest, SendsTheFourFramesWithTheBytesEarlierFramesLeft) {
    const auto start = Clock::now();
    ClickWrite();
    ASSERT_TRUE(Host().Bus().WaitFrames(4));
    ASSERT_TRUE(WaitFor([&] { return !Host().Writer().Running(); }));
    const auto frames = Host().Bus().Frames();
    ASSERT_EQ(frames.size(), 4u);
    const std::vector<Bytes> expected = {
        {0xFA, 0x09, 0x05, 0x00, 0x26, kLeft, 0x01, 0x20, 0x03, 0x00},
        {0xFA, 0x09, 0x05, 0x00, 0x27, kLeft, 0x03, 0x01, 0x03, 0x00, 0x01, 0x02, 0x0A},
        {0xFA, 0x09, 0x05, 0x00, 0x27, kLeft, 0x02, 0x00, 0x03, 0x00, 0x41, 0x42},
        {0xFA, 0x09, 0x05, 0x00, 0x25, kLeft, 0x60, 0x00, 0x00, 0x00},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(frames[i].bytes, expected[i]) << i << ": " << Hex(frames[i].bytes);
        // 100 ms between frames. Measured from the click: a busy machine can only make a frame
        // arrive later, so this holds however late the reader wakes.
        EXPECT_GE(frames[i].at - start, i * 90ms) << i;
    }
    // A little over 400 ms in all: the sequence waits its last 100 ms too.
    EXPECT_GE(Clock::now() - start, 390ms);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(KeyConfigWriteTest, LongPressTimeMustLieBetween600And10000) {
    for (const char* text : {"599", "10001", "0"}) {
        SetLongPress(text);
        ExpectNothingSent();
    }
    ASSERT_EQ(m_boxes.Boxes().size(), 3u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "长按时间有效值为600ms-10000ms之间!");
    EXPECT_EQ(m_boxes.Boxes()[0].caption, "Ravlin");

    struct Case {
        const char* text;
        std::uint8_t low, high;
    };
    for (const Case c : {Case{"600", 0x58, 0x02}, Case{"10000", 0x10, 0x27}}) {
        SetLongPress(c.text);
        const auto frames = Write();
        ASSERT_EQ(frames.size(), 4u) << c.text;
        EXPECT_EQ(frames[0][7], c.low);
        EXPECT_EQ(frames[0][8], c.high);
        // Bytes 8 and 9 of the code frames are left from the key-mode frame.
        EXPECT_EQ(frames[1][8], c.high);
        EXPECT_EQ(frames[2][8], c.high);
    }
    EXPECT_EQ(m_boxes.Boxes().size(), 3u);
}

TEST_F(KeyConfigWriteTest, NonNumericLongPressIsPromptedAndThePreviousValueSent) {
    SetLongPress("1500");
    Write();
    SetLongPress("");
    const auto frames = Write();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0][7], 0xDC);
    EXPECT_EQ(frames[0][8], 0x05);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "请输入一个无符号整数。");
}

TEST_F(KeyConfigWriteTest, PressReleaseModeAndSeventyCodesInBothSets) {
    Click(Host().C(IDC_MODE_PRESS_RELEASE));
    // 70 bytes as hexadecimal text, and 70 plain characters.
    QString hex;
    for (int i = 0; i < 70; ++i) {
        hex += QString::asprintf("%02X ", i);
    }
    QString plain;
    for (int i = 0; i < 70; ++i) {
        plain += QChar(0x30 + i);
    }
    SetCodes(hex.trimmed(), plain);
    Click(Host().C(IDC_RELEASE_HEX));
    ASSERT_FALSE(Host().C<QCheckBox>(IDC_RELEASE_HEX)->isChecked());
    // Other serial-format choices travel in their own bit fields.
    Host().C<QComboBox>(IDC_DEV_BAUD)->setCurrentIndex(9);
    Host().C<QComboBox>(IDC_DEV_DATA_BITS)->setCurrentIndex(1);
    Host().C<QComboBox>(IDC_DEV_STOP_BITS)->setCurrentIndex(2);
    Host().C<QComboBox>(IDC_DEV_PARITY)->setCurrentIndex(2);

    const auto frames = Write();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0][6], 0x00);
    ASSERT_EQ(frames[1].size(), 74u);
    ASSERT_EQ(frames[2].size(), 74u);
    EXPECT_EQ(frames[1][6], 0x40);
    EXPECT_EQ(frames[1][7], 0x01);
    EXPECT_EQ(Bytes(frames[1].begin() + 10, frames[1].end()), Sequence(0, 64));
    EXPECT_EQ(frames[2][6], 0x40);
    EXPECT_EQ(frames[2][7], 0x00);
    EXPECT_EQ(Bytes(frames[2].begin() + 10, frames[2].end()), Sequence(0x30, 64));
    EXPECT_EQ(frames[3], (Bytes{0xFA, 0x09, 0x05, 0x00, 0x25, kLeft, 0x94, 0x07, 0x29, 0x00}))
        << Hex(frames[3]);
}

TEST_F(KeyConfigWriteTest, PlainCodesBeyondOneByteAreRefusedWholly) {
    Click(Host().C(IDC_PRESS_HEX));
    SetCodes(QStringLiteral("AB\u4E2D"), "41");
    ExpectNothingSent();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "功能码含有无法按单字节发送的字符!");

    // The same in the second set, plain too; a character up to U+00FF is one byte.
    Click(Host().C(IDC_PRESS_HEX));
    Click(Host().C(IDC_RELEASE_HEX));
    SetCodes("01", QStringLiteral("\u00FF\U0001F600"));
    ExpectNothingSent();
    EXPECT_EQ(m_boxes.Boxes().size(), 2u);

    SetCodes("01", QStringLiteral("\u00FF\u00E9"));
    const auto frames = Write();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[2],
              (Bytes{0xFA, 0x09, 0x05, 0x00, 0x27, kLeft, 0x02, 0x00, 0x03, 0x00, 0xFF, 0xE9}))
        << Hex(frames[2]);
}

TEST_F(KeyConfigWriteTest, ChecksBeforeAnythingIsSent) {
    Host().Select(-1);
    ExpectNothingSent();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "请选择一个设备!");

    // Another tab: nothing happens, and nobody is told.
    Host().Select(0);
    Host().SetCurrentTab(1);
    ExpectNothingSent();
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);

    // A read-back whose rate the list doesn't have leaves no serial format to send.
    Host().SetCurrentTab(0);
    TarvoConfigBlock block;
    block.bytes[0] = 0x00;  // 57600 = 0xE100
    block.bytes[1] = 0xE1;
    block.bytes[12] = 0x20;
    block.bytes[13] = 0x03;
    Host().Page().LoadDeviceConfig(block);
    ASSERT_EQ(Host().C<QComboBox>(IDC_DEV_BAUD)->currentIndex(), -1);
    ExpectNothingSent();
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    EXPECT_EQ(m_boxes.Boxes()[1].text, "请选择设备串口配置的波特率、数据位、停止位和校验!");

    Host().C<QComboBox>(IDC_DEV_BAUD)->setCurrentIndex(3);
    EXPECT_EQ(Write().size(), 4u);
}

TEST_F(KeyConfigWriteTest, OneSequenceAtATime) {
    ClickWrite();
    ASSERT_TRUE(Host().Writer().Running());
    ClickWrite();  // ignored while the first runs
    ASSERT_TRUE(Host().Bus().WaitFrames(1));
    ClickWrite();
    ASSERT_TRUE(WaitFor([&] { return !Host().Writer().Running(); }));
    ASSERT_TRUE(Host().Bus().WaitFrames(4));
    Settle(250);
    EXPECT_EQ(Host().Bus().Frames().size(), 4u);
    // Once it has ended, the next click runs again.
    EXPECT_EQ(Write().size(), 4u);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(KeyConfigWriteTest, FramesAreBuiltAndHandedOverUnderTheFrameLock) {
    // Another sender holds the outgoing frame while the sequence is due to send its first frame.
    std::atomic<bool> locked{false};
    Clock::time_point released;
    std::thread other([&] {
        Host().TxFrameBytes().WithLock([&](TxFrame::Bytes& b) {
            locked = true;
            b[6] = 0xEE;
            std::this_thread::sleep_for(300ms);
            released = Clock::now();
        });
    });
    while (!locked) {
        std::this_thread::yield();
    }
    ClickWrite();
    // The window keeps working meanwhile; the first frame waits for the lock.
    Settle(100);
    EXPECT_TRUE(Host().Bus().Frames().empty());
    ASSERT_TRUE(Host().Bus().WaitFrames(4));
    other.join();
    const auto frames = Host().Bus().Frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_GE(frames[0].at, released);
    EXPECT_EQ(frames[0].bytes,
              (Bytes{0xFA, 0x09, 0x05, 0x00, 0x26, kLeft, 0x01, 0x20, 0x03, 0x00}));
}

TEST_F(KeyConfigWriteTest, FollowsTheSelectionAndStopsWhenItIsGone) {
    ClickWrite();
    ASSERT_TRUE(Host().Bus().WaitFrames(1));
    Host().Select(1);  // the next frames address the device now selected
    ASSERT_TRUE(WaitFor([&] { return !Host().Writer().Running(); }));
    ASSERT_TRUE(Host().Bus().WaitFrames(4));
    auto frames = Host().Bus().FrameBytes();
    EXPECT_EQ(frames[0][2], 5);
    EXPECT_EQ(frames[1][2], 7);
    EXPECT_EQ(frames[2][2], 7);
    EXPECT_EQ(frames[3][2], 7);

    // A new search empties the list mid-sequence: nothing more goes out (and nothing to 0xFF).
    ClickWrite();
    ASSERT_TRUE(Host().Bus().WaitFrames(5));
    Host().Select(-1);
    ASSERT_TRUE(WaitFor([&] { return !Host().Writer().Running(); }));
    Settle(250);
    EXPECT_EQ(Host().Bus().Frames().size(), 5u);
}

TEST_F(KeyConfigWriteTest, StopEndsARunningSequenceWithoutTheEventLoop) {
    ClickWrite();
    ASSERT_TRUE(Host().Bus().WaitFrames(1));
    // The worker now waits on the UI thread for the selection or sleeps; Stop must not need
    // the event loop to get it out.
    const auto start = Clock::now();
    Host().Writer().Stop();
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_FALSE(Host().Writer().Running());
    // Usually only the first frame went out. On a busy machine the reader can see it late,
    // when the worker has asked for the next one already; the whole sequence is four frames,
    // and nothing follows once Stop has returned.
    Settle(300);
    const std::size_t sent = Host().Bus().Frames().size();
    EXPECT_LT(sent, 4u);
    Settle(300);
    EXPECT_EQ(Host().Bus().Frames().size(), sent);

    // Destroying the host right after a click, before the worker got its first answer.
    ClickWrite();
    ASSERT_TRUE(Host().Writer().Running());
    const auto gone = Clock::now();
    m_host.reset();
    EXPECT_LT(Clock::now() - gone, 1s);
    Settle(100);  // the call it left queued for the UI thread finds the sequence stopped
}

TEST(KeyConfigWriteNoPort, RunsToItsEndWithoutAnOpenPort) {
    MessageBoxRecorder boxes;
    TestHost host(false);
    host.SetDevices({5}, 0);
    Click(host.WriteButton());
    ASSERT_TRUE(host.Writer().Running());
    EXPECT_TRUE(WaitFor([&] { return !host.Writer().Running(); }));
    EXPECT_TRUE(boxes.Boxes().empty());
}
