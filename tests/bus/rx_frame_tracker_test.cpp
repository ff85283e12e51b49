// The frame tracker as the real parser's observer: complete frames, and runs of dropped bytes
// with their reasons, in arrival order.

#include "bus/rx_frame_tracker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/bus/hex.h"

namespace {

class NullSink : public IRxSink {
public:
    void ShowBusStatus(std::uint8_t) override {}
    void DispatchFrame(const std::uint8_t*) override {}
    void OnLongReply(const TarvoConfigBlock&) override {}
};

class RxFrameTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_longReplyRemaining = kLongReplyBlockBytes;
        parser.SetObserver(&tracker);
        // Time stands still unless a test moves it.
        tracker.SetClock([this] { return now; });
    }
    // Lets the line stay quiet long enough to end an open run.
    void Quiet() { now += RxFrameTracker::kRunQuiet; }
    // Each Feed is one arrival, as a run handed over by the engine.
    void Feed(const std::vector<std::uint8_t>& bytes) {
        parser.Feed(bytes.data(), bytes.size(), sink);
        tracker.TimeMoved();
    }
    void Feed(const std::string& hex) { Feed(Hex(hex)); }

    // "F <bytes>" for a frame, "D <bytes> | <reason>" for a dropped run.
    std::vector<std::string> Take() {
        std::vector<std::string> texts;
        for (const RxRecord& r : tracker.Take()) {
            texts.push_back(r.kind == RxRecord::Kind::Frame
                                ? "F " + ToHex(r.bytes)
                                : "D " + ToHex(r.bytes) + " | " + r.reason);
        }
        return texts;
    }

    RxParser parser;
    NullSink sink;
    RxFrameTracker tracker;
    RxFrameTracker::Clock::time_point now{std::chrono::seconds(1000)};
};

using Texts = std::vector<std::string>;

TEST_F(RxFrameTrackerTest, FramesAndTheDroppedBytesBetweenThem) {
    Feed("FA 08 00 05 FE 00 11 22 33 44");
    // A frame broken at each check: type, destination, source, command; and stray bytes.
    Feed("55 FA 0A 66 FA 09 05 FA 09 00 00 FA 09 00 05 FF");
    Feed("FA 06 00 03 02 02 00 00 00 00");
    EXPECT_EQ(Take(), (Texts{"F FA 08 00 05 FE 00 11 22 33 44",
                             "D 55 FA 0A 66 FA 09 05 FA 09 00 00 FA 09 00 05 FF | "
                             "类型 0x0A 不在 6..9；目的地址 0x05 不是 0；源地址为 0；"
                             "命令 0xFF 不被接受；另 2 字节不是帧头",
                             "F FA 06 00 03 02 02 00 00 00 00"}));
    EXPECT_TRUE(Take().empty());
}

TEST_F(RxFrameTrackerTest, RunEndsWhenTheLineFallsQuietAndReasonsAreCountedBeyondFour) {
    Feed("55");
    now += RxFrameTracker::kRunQuiet - std::chrono::milliseconds(1);
    Feed("56");
    EXPECT_TRUE(Take().empty()) << "the line has not been quiet for long enough";
    now += RxFrameTracker::kRunQuiet - std::chrono::milliseconds(1);
    EXPECT_TRUE(Take().empty()) << "looking often does not end the run";
    now += std::chrono::milliseconds(1);
    EXPECT_EQ(Take(), (Texts{"D 55 56 | 不是帧头 0xFA"}));

    // Bytes dropped after a quiet spell start a run of their own, even when nobody looked.
    Feed("57");
    Quiet();
    Feed("58");
    Quiet();
    EXPECT_EQ(Take(), (Texts{"D 57 | 不是帧头 0xFA", "D 58 | 不是帧头 0xFA"}));

    Feed("FA 00 FA 01 FA 02 FA 03 FA 04 FA 09 00 00");
    Feed("FA 00");  // a reason already listed
    Quiet();
    EXPECT_EQ(Take(), (Texts{"D FA 00 FA 01 FA 02 FA 03 FA 04 FA 09 00 00 FA 00 | "
                             "类型 0x00 不在 6..9；类型 0x01 不在 6..9；类型 0x02 不在 6..9；"
                             "类型 0x03 不在 6..9；另有 2 种"}));
}

TEST_F(RxFrameTrackerTest, LongRunIsCutAt256Bytes) {
    Feed(std::vector<std::uint8_t>(300, 0x55));
    Feed("FA 09 00 05 FE 00 00 00 00 00");
    const auto records = tracker.Take();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].bytes.size(), RxFrameTracker::kMaxRunBytes);
    EXPECT_EQ(records[1].bytes.size(), 300u - RxFrameTracker::kMaxRunBytes);
    EXPECT_EQ(records[1].reason, "不是帧头 0xFA");
    EXPECT_EQ(records[2].kind, RxRecord::Kind::Frame);

    // A run whose broken frames do not fit the rest of the record starts the next one whole.
    std::vector<std::uint8_t> bytes(254, 0x55);
    const auto broken = Hex("FA 09 00 05 FF");
    bytes.insert(bytes.end(), broken.begin(), broken.end());
    Feed(bytes);
    const auto ended = tracker.Take();  // the new run is still open
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].bytes.size(), 254u);
    Quiet();
    const auto cut = tracker.Take();
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(ToHex(cut[0].bytes), "FA 09 00 05 FF");
    EXPECT_EQ(cut[0].reason, "命令 0xFF 不被接受");
}

TEST_F(RxFrameTrackerTest, ABrokenFrameNamesItsSenderOnceTheSourceWasRead) {
    // Broken at the type, the destination and the source: no sender; at the command: TARVO 5
    // and MIRELL 7.
    Feed("FA 0A FA 09 05 FA 09 00 00 FA 09 00 05 FF 55 FA 08 00 07 FF");
    Quiet();
    const auto records = tracker.Take();
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].brokenFrom.size(), 2u);
    EXPECT_EQ(records[0].brokenFrom[0].type, kTypeTarvo);
    EXPECT_EQ(records[0].brokenFrom[0].source, 5);
    EXPECT_EQ(records[0].brokenFrom[1].type, kTypeMirell);
    EXPECT_EQ(records[0].brokenFrom[1].source, 7);
}

TEST_F(RxFrameTrackerTest, LongReplyIsOneFrameWithFrameLikeBytesInside) {
    auto reply = Hex("FA 09 00 03 23 00 00 00 00 00");
    for (int i = 0; i < 150; ++i) {
        reply.push_back(static_cast<std::uint8_t>(0x80 + i));
    }
    const auto inner = Hex("FA 08 00 05 FE 00 11 22 33 44");
    std::copy(inner.begin(), inner.end(), reply.begin() + 40);
    Feed(reply);
    Feed("FA 09 00 03 FE 00 00 00 00 00");
    const auto records = tracker.Take();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, RxRecord::Kind::Frame);
    EXPECT_EQ(records[0].bytes, reply);
    EXPECT_EQ(records[1].bytes.size(), kFrameLength);
}

TEST_F(RxFrameTrackerTest, ClearForgetsTheOpenRunAndUntakenRecords) {
    Feed("FA 09 00 05 FE 00 00 00 00 00 55");
    tracker.Clear();
    EXPECT_TRUE(Take().empty());
    Feed("56");
    Quiet();
    EXPECT_EQ(Take(), (Texts{"D 56 | 不是帧头 0xFA"}));
}

}  // namespace
