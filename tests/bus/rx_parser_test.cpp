// The receive parser on byte streams: which bytes form frames, which are dropped, and what is
// reported for each.

#include "bus/rx_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/bus/hex.h"

namespace {

// Records every report as text: "S 21" (status at the command byte), "F <10 bytes>", "L".
class RecordingSink : public IRxSink {
public:
    void ShowBusStatus(std::uint8_t command) override {
        events.push_back("S " + ToHex(std::vector<std::uint8_t>{command}));
    }
    void DispatchFrame(const std::uint8_t* frame) override {
        events.push_back("F " + ToHex(frame, frame + 10));
    }
    void OnLongReply(const TarvoConfigBlock& block) override {
        events.push_back("L");
        blocks.push_back(block);
    }
    std::vector<std::string> events;
    std::vector<TarvoConfigBlock> blocks;
};

class RxParserTest : public ::testing::Test {
protected:
    void SetUp() override { g_longReplyRemaining = kLongReplyBlockBytes; }
    void Feed(const std::vector<std::uint8_t>& bytes) {
        parser.Feed(bytes.data(), bytes.size(), sink);
    }
    void Feed(const std::string& hex) { Feed(Hex(hex)); }

    RxParser parser;
    RecordingSink sink;
};

using Events = std::vector<std::string>;

// A 160-byte long reply whose block bytes are 0x80 + i (with a 0xFA and a complete-looking
// 0xFE frame inside), so that every position is recognisable.
std::vector<std::uint8_t> LongReply() {
    std::vector<std::uint8_t> bytes = Hex("FA 09 00 03 23 00 00 00 00 00");
    for (int i = 0; i < 150; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(0x80 + i));
    }
    const auto inner = Hex("FA 08 00 05 FE 00 11 22 33 44");
    std::copy(inner.begin(), inner.end(), bytes.begin() + 40);
    return bytes;
}

TEST_F(RxParserTest, CompleteFrameReportsStatusAtCommandByteThenFrame) {
    Feed("FA 08 00 05 FE");
    EXPECT_EQ(sink.events, (Events{"S FE"}));
    EXPECT_EQ(parser.State(), 6);
    Feed("00 11 22 33 44");
    EXPECT_EQ(sink.events, (Events{"S FE", "F FA 08 00 05 FE 00 11 22 33 44"}));
    EXPECT_EQ(parser.State(), 1);
    EXPECT_EQ(parser.Count(), 0);
}

TEST_F(RxParserTest, EveryTypeFromSixToNineIsAccepted) {
    Feed("FA 06 00 01 30 00 00 00 00 00 FA 07 00 03 FE 00 00 00 00 00");
    Feed("FA 08 00 FF 00 00 00 00 00 00 FA 09 00 02 FE 01 02 03 04 05");
    int frames = 0;
    for (const auto& e : sink.events) {
        frames += e[0] == 'F';
    }
    EXPECT_EQ(frames, 4);
}

// Each prefix ends with the offending byte; the parser must drop it and be back in state 1,
// and the next frame must still be received whole.
TEST_F(RxParserTest, OffendingByteIsDroppedAndParserStartsOver) {
    const char* cases[] = {
        "FA 05",           // type below 6
        "FA 0A",           // type above 9
        "FA 09 01",        // destination not the PC
        "FA 09 00 00",     // source 0
        "FA 09 00 07 FF",  // command 0xFF
        "12 34 00",        // junk while waiting for a head
    };
    for (const char* prefix : cases) {
        SCOPED_TRACE(prefix);
        sink.events.clear();
        Feed(prefix);
        EXPECT_EQ(parser.State(), 1);
        EXPECT_EQ(parser.Count(), 0);
        EXPECT_TRUE(sink.events.empty());
        Feed("FA 09 00 03 22 01 02 03 04 05");
        EXPECT_EQ(sink.events, (Events{"S 22", "F FA 09 00 03 22 01 02 03 04 05"}));
    }
}

TEST_F(RxParserTest, DroppedHeadByteDoesNotStartAFrame) {
    // The second 0xFA is rejected as a type and dropped; the rest finds no head.
    Feed("FA FA 09 00 03 FE 00 00 00 00 00");
    EXPECT_TRUE(sink.events.empty());
    // The same where the destination is expected.
    Feed("FA 09 FA 09 00 03 FE 00 00 00 00 00");
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(parser.State(), 1);
}

TEST_F(RxParserTest, HeadByteAmongDataIsData) {
    Feed("FA 09 00 03 26 FA FA FA FA FA");
    EXPECT_EQ(sink.events, (Events{"S 26", "F FA 09 00 03 26 FA FA FA FA FA"}));
}

TEST_F(RxParserTest, BufferKeepsEarlierBytesBetweenFrames) {
    Feed("FA 09 00 03 26 01 02 03 04 05 FA 08");
    const auto& buf = parser.Buffer();
    EXPECT_EQ(ToHex(buf.begin(), buf.begin() + 10), "FA 08 00 03 26 01 02 03 04 05");
}

TEST_F(RxParserTest, LongReplyHandsOverFrameBytes10To159Once) {
    const auto reply = LongReply();
    Feed(reply);
    ASSERT_EQ(sink.events, (Events{"S 23", "L"}));
    // The block is frame bytes 10..159, the last byte included.
    EXPECT_EQ(ToHex(sink.blocks[0].bytes.begin(), sink.blocks[0].bytes.end()),
              ToHex(reply.begin() + 10, reply.end()));
    EXPECT_EQ(parser.State(), 1);
    EXPECT_EQ(g_longReplyRemaining, kLongReplyBlockBytes);

    // Normal frames follow, and a second long reply is received the same way.
    Feed("FA 09 00 03 FE 00 00 00 00 01");
    Feed(reply);
    EXPECT_EQ(sink.events,
              (Events{"S 23", "L", "S FE", "F FA 09 00 03 FE 00 00 00 00 01", "S 23", "L"}));
    EXPECT_EQ(sink.blocks[1].bytes, sink.blocks[0].bytes);
}

TEST_F(RxParserTest, LongReplyOneByteShortWaitsForItsLastByte) {
    auto reply = LongReply();
    reply.pop_back();
    Feed(reply);
    EXPECT_EQ(sink.events, (Events{"S 23"}));
    EXPECT_EQ(parser.State(), 10);
    // Whatever comes next is the last byte, even a head byte.
    Feed("FA");
    EXPECT_EQ(sink.events, (Events{"S 23", "L"}));
    EXPECT_EQ(sink.blocks[0].bytes[149], 0xFA);
}

}  // namespace
