// Received byte streams through the parser into the dispatcher: what the main dialog is asked
// to show, record and send.

#include "bus/bus_dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bus/bus_status.h"
#include "tests/bus/hex.h"

namespace {

class RecordingView : public IBusView {
public:
    explicit RecordingView(TxFrame& tx) : m_tx(tx) {}
    int CurrentTab() const override { return tab; }
    void AddStatusLine(const char* utf8) override { statusLines.emplace_back(utf8); }
    void ScrollStatusToLastLine() override { ++scrolls; }
    void AddDeviceToList(std::uint8_t address) override { devices.push_back(address); }
    void SetMirellRecord(const OrvalMirell& r) override { mirell.push_back(r); }
    void SetOskanRecord(const OrvalOskan& r) override { oskan.push_back(r); }
    void LoadTarvoConfig(const TarvoConfigBlock& b) override { configs.push_back(b); }
    void SendTxFrame(unsigned count) override {
        const auto bytes = m_tx.Snapshot();  // the lock is recursive: safe inside WithLock
        sent.push_back(ToHex(bytes.begin(), bytes.begin() + count));
    }

    int tab = 0;
    std::vector<std::string> statusLines;
    int scrolls = 0;
    std::vector<int> devices;
    std::vector<OrvalMirell> mirell;
    std::vector<OrvalOskan> oskan;
    std::vector<TarvoConfigBlock> configs;
    std::vector<std::string> sent;

private:
    TxFrame& m_tx;
};

class BusDispatchTest : public ::testing::Test {
protected:
    void SetUp() override { g_longReplyRemaining = kLongReplyBlockBytes; }
    void Feed(const std::vector<std::uint8_t>& bytes) {
        parser.Feed(bytes.data(), bytes.size(), dispatcher);
    }
    void Feed(const std::string& hex) { Feed(Hex(hex)); }
    std::vector<std::uint8_t> LongReply() {
        auto bytes = Hex("FA 09 00 03 23 00 00 00 00 00");
        for (int i = 0; i < 150; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(i));
        }
        return bytes;
    }

    TxFrame tx;
    RecordingView view{tx};
    BusDispatcher dispatcher{view, tx};
    RxParser parser;
};

const std::string kFound = "当前状态->找到设备";
const std::array<std::uint8_t, 4> kState = {0x11, 0x22, 0x33, 0x44};

TEST(BusStatusText, TextsAreExact) {
    EXPECT_STREQ(BusStatusText(0x20), "当前状态:设备自动分配地址模式");
    EXPECT_STREQ(BusStatusText(0x21), "当前状态：正在分配地址……");
    EXPECT_STREQ(BusStatusText(0x22), "当前状态->分配地址成功");
    EXPECT_STREQ(BusStatusText(0x26), "当前状态->设置按键模式和长按时间成功");
    EXPECT_STREQ(BusStatusText(0x27), "当前状态->设置按键功能码成功");
    EXPECT_EQ(BusStatusText(0xFE), kFound);
    for (int c : {0x00, 0x03, 0x23, 0x25, 0x30, 0xFF}) {
        EXPECT_EQ(BusStatusText(static_cast<std::uint8_t>(c)), nullptr) << c;
    }
}

TEST_F(BusDispatchTest, FoundDeviceIsListedAndRecordedOnItsTab) {
    const std::string frame = "FA 08 00 05 FE 00 11 22 33 44";
    Feed(frame);  // tab 0: listed, no record
    EXPECT_EQ(view.devices, (std::vector<int>{5}));
    EXPECT_EQ(view.statusLines, (std::vector<std::string>{kFound, kFound}));
    EXPECT_TRUE(view.mirell.empty() && view.oskan.empty());

    view.tab = 1;
    Feed(frame);
    ASSERT_EQ(view.mirell.size(), 1u);
    EXPECT_EQ(view.mirell[0].addr, 5);
    EXPECT_EQ(view.mirell[0].state, kState);

    view.tab = 2;
    Feed("FA 09 00 05 FE 00 11 22 33 44");  // the type byte is not compared with the tab
    ASSERT_EQ(view.oskan.size(), 1u);
    EXPECT_EQ(view.oskan[0].addr, 5);
    EXPECT_EQ(view.oskan[0].state, kState);
    EXPECT_EQ(view.devices, (std::vector<int>{5, 5, 5}));
    EXPECT_EQ(view.mirell.size(), 1u);
    EXPECT_TRUE(view.sent.empty());
}

TEST_F(BusDispatchTest, CommandWithoutTextStillScrolls) {
    Feed("FA 09 00 03 30 00 00 00 00 00");
    EXPECT_TRUE(view.statusLines.empty());
    EXPECT_EQ(view.scrolls, 2);
}

TEST_F(BusDispatchTest, AddressRequestIsAnsweredWithNextAddress) {
    tx.WithLock([](TxFrame::Bytes& b) { b[1] = 0x09; });
    dispatcher.StartAutoAssign(3);
    Feed("FA 09 00 07 21 00 A1 B2 E3 D4");
    EXPECT_EQ(view.sent, (std::vector<std::string>{"FA 09 07 00 22 03 A1 B2 E3 D4"}));
    EXPECT_EQ(dispatcher.NextAddress(), 4);
    const std::string assigning = BusStatusText(0x21);
    EXPECT_EQ(view.statusLines, (std::vector<std::string>{assigning, assigning}));
}

TEST_F(BusDispatchTest, AutoAssignCountsUpAndNeverHandsOutThePcAddress) {
    struct Case {
        int first;
        std::vector<int> handedOut;
    };
    const Case cases[] = {{5, {5, 6, 7}}, {254, {254, 255, 1, 2}}, {0, {1, 2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        view.sent.clear();
        dispatcher.StartAutoAssign(static_cast<std::uint8_t>(c.first));
        for (std::size_t i = 0; i < c.handedOut.size(); ++i) {
            Feed("FA 09 00 07 21 00 00 00 00 00");
        }
        ASSERT_EQ(view.sent.size(), c.handedOut.size());
        for (std::size_t i = 0; i < c.handedOut.size(); ++i) {
            EXPECT_EQ(Hex(view.sent[i])[5], c.handedOut[i]);
        }
    }
}

TEST_F(BusDispatchTest, UnstartedAssignmentHandsOutOne) {
    Feed("FA 09 00 07 21 00 00 00 00 00");
    ASSERT_EQ(view.sent.size(), 1u);
    EXPECT_EQ(Hex(view.sent[0])[5], 1);
}

TEST_F(BusDispatchTest, AChooserAnswersEachRequestAndLeavesTheCounterAlone) {
    tx.WithLock([](TxFrame::Bytes& b) { b[1] = 0x09; });
    dispatcher.StartAutoAssign(20);
    // The chooser picks by the requester's identity; nothing leaves the request unanswered.
    dispatcher.SetAddressChooser([](const std::uint8_t* request) -> std::optional<std::uint8_t> {
        if (request[9] == 0xD4) {
            return 7;
        }
        if (request[9] == 0x01) {
            return 9;
        }
        return std::nullopt;
    });
    Feed("FA 09 00 07 21 00 A1 B2 E3 D4");
    Feed("FA 09 00 07 21 00 00 00 00 01");
    EXPECT_TRUE(dispatcher.LastRequestAnswered());
    Feed("FA 09 00 07 21 00 00 00 00 02");
    EXPECT_FALSE(dispatcher.LastRequestAnswered());
    EXPECT_EQ(view.sent, (std::vector<std::string>{"FA 09 07 00 22 07 A1 B2 E3 D4",
                                                   "FA 09 07 00 22 09 00 00 00 01"}));
    EXPECT_EQ(dispatcher.NextAddress(), 20);

    // Without it the counter answers as before, from where it stood.
    dispatcher.SetAddressChooser(nullptr);
    Feed("FA 09 00 07 21 00 A1 B2 E3 D4");
    EXPECT_EQ(view.sent.back(), "FA 09 07 00 22 14 A1 B2 E3 D4");
    EXPECT_EQ(dispatcher.NextAddress(), 21);
}

TEST_F(BusDispatchTest, LongReplyReachesTarvoPageOnlyOnItsTab) {
    const auto reply = LongReply();
    Feed(reply);
    ASSERT_EQ(view.configs.size(), 1u);
    EXPECT_EQ(view.configs[0].bytes[0], 0);
    EXPECT_EQ(view.configs[0].bytes[149], 149);
    EXPECT_TRUE(view.statusLines.empty());  // 0x23 has no text, and no second status call
    EXPECT_EQ(view.scrolls, 1);

    view.tab = 1;
    Feed(reply);
    Feed("FA 08 00 09 FE 00 11 22 33 44");
    EXPECT_EQ(view.configs.size(), 1u);
    EXPECT_EQ(view.devices, (std::vector<int>{9}));
    EXPECT_EQ(view.mirell.size(), 1u);
}

}  // namespace
