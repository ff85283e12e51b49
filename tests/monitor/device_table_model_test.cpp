// The bus monitor's device table from rows in time order: which requests count for which
// device, which answers belong to them, the answer delays, and the frames the parser dropped.

#include "app/device_table_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/frame_table_model.h"
#include "bus/frame.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class DeviceTableModelTest : public ::testing::Test {
protected:
    void At(std::chrono::milliseconds ms) { now = start + ms; }
    void Row(MonitorRow::Kind kind, Bytes bytes) {
        MonitorRow row;
        row.kind = kind;
        row.time = now;
        row.bytes = std::move(bytes);
        model.Note(row);
    }
    void Sent(Bytes bytes) { Row(MonitorRow::Kind::Sent, std::move(bytes)); }
    void Received(Bytes bytes) { Row(MonitorRow::Kind::Received, std::move(bytes)); }
    static Bytes Found(std::uint8_t address, std::uint8_t last) {
        return {0xFA, kTypeTarvo, 0x00, address, kCmdFound, 0x00, 0x54, 0xA0, 0x00, last};
    }
    static Bytes Short(std::uint8_t dest, std::uint8_t source, std::uint8_t command) {
        return {0xFA, kTypeTarvo, dest, source, command, 0x00, 0x01, 0x02, 0x00, 0x00};
    }
    static Bytes ConfigReply(std::uint8_t source) {
        Bytes reply = Short(0x00, source, kCmdReadConfig);
        reply.resize(kLongReplyLength, 0x00);
        return reply;
    }
    QString Cell(int row, int column) const {
        return model.Text(model.Devices().at(static_cast<std::size_t>(row)), column);
    }
    // "请求/应答 最短 中位 最长 丢弃帧" of a row.
    std::string Stats(int row) const {
        return (Cell(row, CDeviceTableModel::kRequests) + "/" +
                Cell(row, CDeviceTableModel::kAnswered) + " " +
                Cell(row, CDeviceTableModel::kMinDelay) + " " +
                Cell(row, CDeviceTableModel::kMedianDelay) + " " +
                Cell(row, CDeviceTableModel::kMaxDelay) + " " +
                Cell(row, CDeviceTableModel::kDropped))
            .toStdString();
    }

    CDeviceTableModel model;
    const std::chrono::steady_clock::time_point start{std::chrono::hours(1)};
    std::chrono::steady_clock::time_point now = start;
};

TEST_F(DeviceTableModelTest, ASearchCountsForEveryDeviceOfItsTypeAndEachAnswerOnce) {
    Sent({0xFA, kTypeTarvo, 0x00, 0x00});
    At(15ms);
    Received(Found(1, 1));
    At(23ms);
    Received(Found(1, 2));
    At(30ms);
    Received(Found(1, 2));  // the same reply again: one answer per search
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(Stats(0), "1/1 15.0 15.0 15.0 0");
    EXPECT_EQ(Stats(1), "1/1 23.0 23.0 23.0 0");

    // The second search goes to both; only the first answers. A MIRELL search asks neither.
    At(1000ms);
    Sent({0xFA, kTypeTarvo, 0x00, 0x00});
    Sent({0xFA, kTypeMirell, 0x00, 0x00});
    At(1040ms);
    Received(Found(1, 1));
    // A third search; the answer comes after the answer window: not counted as an answer.
    At(5000ms);
    Sent({0xFA, kTypeTarvo, 0x00, 0x00});
    At(5000ms + std::chrono::milliseconds(CDeviceTableModel::kAnswerWindowMs + 1));
    Received(Found(1, 1));
    EXPECT_EQ(Stats(0), "3/2 15.0 27.5 40.0 0");
    EXPECT_EQ(Stats(1), "3/1 23.0 23.0 23.0 0");
}

TEST_F(DeviceTableModelTest, AddressedRequestsAreAnsweredByTheSameCommandFromThatDevice) {
    Sent({0xFA, kTypeTarvo, 0x00, 0x00});
    At(10ms);
    Received(Found(3, 1));
    // Key mode: answered after 20 ms. Function codes twice: the second replaces the first,
    // which is never answered. Configuration read: answered by the long reply only.
    At(100ms);
    Sent(Short(3, 0, kCmdKeyMode));
    At(120ms);
    Received(Short(0, 3, kCmdKeyMode));
    At(200ms);
    Sent(Short(3, 0, kCmdFunctionCodes));
    At(300ms);
    Sent(Short(3, 0, kCmdFunctionCodes));
    At(330ms);
    Received(Short(0, 3, kCmdFunctionCodes));
    Received(Short(0, 3, kCmdFunctionCodes));  // no request left for it
    At(400ms);
    Sent(Short(3, 0, kCmdReadConfig));
    At(450ms);
    Received(ConfigReply(3));
    // A LED command has no answer in the protocol; a request to an address nobody has is
    // counted for no row.
    Sent(Short(3, 0, kCmdLed1));
    Sent(Short(9, 0, kCmdKeyMode));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(Stats(0), "5/4 10.0 25.0 50.0 0");
}

TEST_F(DeviceTableModelTest, AConfigurationReadOfADeviceNotYetSeenCountsOnceAnswered) {
    Sent(Short(4, 0, kCmdReadConfig));
    At(40ms);
    Received(ConfigReply(4));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(Stats(0), "1/1 40.0 40.0 40.0 0");
}

TEST_F(DeviceTableModelTest, DroppedFramesCountForTheLatestDeviceOfTheirSender) {
    Received(Found(5, 1));
    MonitorRow dropped;
    dropped.kind = MonitorRow::Kind::Dropped;
    dropped.bytes = {0xFA, kTypeTarvo, 0x00, 0x05, 0xFF, 0xFA, kTypeTarvo, 0x00, 0x05, 0xFF};
    dropped.brokenFrom = {{kTypeTarvo, 5}, {kTypeTarvo, 5}, {kTypeMirell, 5}};
    model.Note(dropped);
    EXPECT_EQ(Cell(0, CDeviceTableModel::kDropped), "2");
    EXPECT_EQ(Cell(0, CDeviceTableModel::kFrames), "1") << "a dropped frame is no frame";
    EXPECT_EQ(model.rowCount(), 1) << "a sender never seen adds no row";
}

}  // namespace
