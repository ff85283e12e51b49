// The device-side frame reader and the device list of the command line, without a terminal.

#include "sim/pc_frame_reader.h"

#include <gtest/gtest.h>

#include "sim/sim_device.h"

using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = PcFrameReader::Event::Kind;

class ReaderTest : public ::testing::Test {
protected:
    std::vector<PcFrameReader::Event> Feed(const Bytes& bytes) {
        return m_reader.Feed(bytes.data(), bytes.size(), m_now);
    }
    void Advance(std::chrono::milliseconds d) { m_now += d; }

    PcFrameReader::Clock::time_point m_now{};
    PcFrameReader m_reader{20ms};
};

TEST_F(ReaderTest, SearchEndsWithTheQuietLineNotBefore) {
    EXPECT_TRUE(Feed({0xFA, 0x08, 0x00, 0x00}).empty());
    ASSERT_TRUE(m_reader.Deadline());
    EXPECT_EQ(*m_reader.Deadline(), m_now + 20ms);
    Advance(19ms);
    EXPECT_TRUE(m_reader.Poll(m_now).empty());
    Advance(1ms);
    const auto events = m_reader.Poll(m_now);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::Frame);
    EXPECT_EQ(events[0].bytes, (Bytes{0xFA, 0x08, 0x00, 0x00}));
    EXPECT_FALSE(m_reader.Deadline());
}

TEST_F(ReaderTest, SearchPrefixThatContinuesAtOnceIsATenByteFrame) {
    const auto events = Feed({0xFA, 0x09, 0x00, 0x00, 0x30, 1, 2, 3, 4, 5});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes.size(), 10u);
}

TEST_F(ReaderTest, FunctionCodeFrameWaitsForItsCodesAndKeepsHeadBytesAsData) {
    EXPECT_TRUE(Feed({0xFA, 0x09, 0x05, 0x00, 0x27, 0xFA, 0x03, 0x01, 0xFA, 0x00, 0x01}).empty());
    Advance(5ms);
    const auto events = Feed({0xFA, 0x0A, 0xFA, 0x09, 0x05, 0x00, 0x27, 0x00, 0x00, 0x00, 0, 0});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].bytes, (Bytes{0xFA, 0x09, 0x05, 0x00, 0x27, 0xFA, 0x03, 0x01, 0xFA, 0x00,
                                      0x01, 0xFA, 0x0A}));
    EXPECT_EQ(events[1].bytes.size(), 10u);  // n = 0: ten bytes
}

TEST_F(ReaderTest, MalformedBytesAreDroppedAndReadingResumesAtTheNextHead) {
    // Noise; FA FA; a source other than the PC; a code count above 64; then a good frame.
    const auto events =
        Feed({0x11, 0x22, 0xFA, 0xFA, 0x09, 0x00, 0x03, 0xFA, 0x09, 0x02, 0x00, 0x27, 0x00, 0x41,
              0x01, 0x00, 0x00, 0xFA, 0x06, 0x02, 0x00, 0x02, 0x02, 0x00, 0x00, 0x00, 0x00});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, Kind::Dropped);
    EXPECT_EQ(events[0].bytes.size(), 17u);
    EXPECT_EQ(events[1].kind, Kind::Frame);
    EXPECT_EQ(events[1].bytes, (Bytes{0xFA, 0x06, 0x02, 0x00, 0x02, 0x02, 0, 0, 0, 0}));
}

TEST_F(ReaderTest, StalledFrameIsDroppedWhenTheNextBytesComeAfterAGap) {
    EXPECT_TRUE(Feed({0xFA, 0x09, 0x01, 0x00, 0x26}).empty());
    Advance(50ms);  // nobody polled in between
    const auto events = Feed({0xFA, 0x09, 0x01, 0x00, 0x23, 0, 0, 0, 0, 0});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, Kind::Dropped);
    EXPECT_EQ(events[1].kind, Kind::Frame);
    EXPECT_EQ(events[1].bytes[4], 0x23);

    // After a reset a partial frame is forgotten.
    EXPECT_TRUE(Feed({0xFA, 0x09, 0x01}).empty());
    m_reader.Reset();
    EXPECT_FALSE(m_reader.Deadline());
    EXPECT_EQ(Feed({0x00, 0x26, 0, 0, 0, 0, 0}).size(), 1u);  // dropped, not a frame
}

TEST(DeviceSpecTest, ParsesModelAddressAndIdentity) {
    std::string error;
    const auto entry = ParseDeviceSpec("Mirell:255:0aFf1234", &error);
    ASSERT_TRUE(entry) << error;
    EXPECT_EQ(entry->model, SimModel::Mirell);
    EXPECT_EQ(entry->address, 255);
    EXPECT_EQ(entry->identity, (SimIdentity{0x0A, 0xFF, 0x12, 0x34}));
    EXPECT_EQ(FormatDeviceSpec(*entry), "mirell:255:0AFF1234");

    for (const char* bad : {"", "tarvo", "tarvo:1", "tarvo:0:11223344", "tarvo:256:11223344",
                            "tarvo:1x:11223344", "lamp:1:11223344", "tarvo:1:1122334",
                            "tarvo:1:11223344:", "tarvo:1:1122334G", "oskan::11223344"}) {
        error.clear();
        EXPECT_FALSE(ParseDeviceSpec(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(DeviceSpecTest, DefaultBusHasTwoDevicesOfOneModelOnTheFactoryAddress) {
    const auto bus = DefaultBus();
    int tarvoAtOne = 0;
    bool mirell = false, oskan = false;
    for (const auto& d : bus) {
        tarvoAtOne += d.model == SimModel::Tarvo && d.address == 1;
        mirell |= d.model == SimModel::Mirell;
        oskan |= d.model == SimModel::Oskan;
    }
    EXPECT_EQ(tarvoAtOne, 2);
    EXPECT_TRUE(mirell && oskan);
}

}  // namespace
