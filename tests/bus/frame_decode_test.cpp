// Frames in words: what the builders send must read back as what was meant, device replies read
// as what they say, and no byte string, however short or broken, is read past its end.

#include "bus/frame_decode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bus/commands.h"
#include "bus/frame.h"
#include "bus/tarvo_config.h"
#include "tests/bus/hex.h"

namespace {

// An outgoing frame as TxFrame starts it: FA, the given type, destination 1, source 0.
TxFrame::Bytes Fresh(std::uint8_t type = kTypeTarvo) {
    TxFrame::Bytes b{};
    b[kPosHead] = kFrameHead;
    b[kPosType] = type;
    b[kPosDestination] = kFirstDeviceAddress;
    return b;
}

// The bytes are copied to a buffer of exactly `count` bytes, so ASan sees any read past them.
std::string Sent(const TxFrame::Bytes& b, unsigned count) {
    const std::vector<std::uint8_t> exact(b.begin(), b.begin() + count);
    return DecodeFrame(exact.data(), exact.size(), FrameDirection::Sent);
}

std::string Received(const std::vector<std::uint8_t>& bytes) {
    return DecodeFrame(bytes.data(), bytes.size(), FrameDirection::Received);
}

TEST(FrameDecode, SearchAndAddressAssignment) {
    auto b = Fresh();
    unsigned n = BuildSearchFrame(b, kTypeMirell);
    EXPECT_EQ(Sent(b, n), "MIRELL 0→0 搜索MIRELL设备");
    EXPECT_EQ(FrameCommand(b.data(), n), kSearchCommand);

    n = BuildAutoAssignFrame(b);
    EXPECT_EQ(Sent(b, n), "MIRELL 0→全部 自动分配地址通告");
    EXPECT_EQ(Received(Hex("FA 09 00 05 20 00 54 A0 00 01")),
              "TARVO 5→0 进入自动分配，状态 54 A0 00 01");

    const auto request = Hex("FA 08 00 07 21 00 11 22 33 44");
    EXPECT_EQ(Received(request), "MIRELL 7→0 请求分配地址，状态 11 22 33 44");
    n = BuildAddressAnswer(b, request.data(), 9);
    EXPECT_EQ(Sent(b, n), "MIRELL 0→7 分配地址：新地址 9，状态 11 22 33 44");
    EXPECT_EQ(FrameDeviceAddress(b.data(), n, FrameDirection::Sent), 7);
    EXPECT_EQ(Received(Hex("FA 08 00 09 22 09 11 22 33 44")),
              "MIRELL 9→0 地址分配确认：地址 9，状态 11 22 33 44");

    n = BuildMirellAddressWrite(b, 7, 12, {1, 2, 3, 4});
    EXPECT_EQ(Sent(b, n), "MIRELL 0→7 分配地址：新地址 12，状态 01 02 03 04");

    const auto found = Hex("FA 09 00 01 FE 00 54 A0 00 01");
    EXPECT_EQ(Received(found), "TARVO 1→0 找到设备，状态 54 A0 00 01");
    EXPECT_EQ(FrameCommand(found.data(), found.size()), kCmdFound);
    EXPECT_EQ(FrameDeviceAddress(found.data(), found.size(), FrameDirection::Received), 1);
}

TEST(FrameDecode, ConfigurationReadAndItsLongReply) {
    auto b = Fresh();
    EXPECT_EQ(Sent(b, BuildReadConfigFrame(b, 5)), "TARVO 0→5 读取配置");

    TarvoConfig config;
    config.baud = 19200;
    config.dataBitsIndex = 1;
    config.stopBitsIndex = 2;
    config.parityIndex = 2;
    config.keyMode = 1;
    config.longPressMs = 1500;
    config.pressCodes = {0x01, 0x0A};
    const TarvoConfigBlock block = EncodeTarvoConfig(config);
    auto reply = Hex("FA 09 00 05 23 00 00 00 00 00");
    reply.insert(reply.end(), block.bytes.begin(), block.bytes.end());
    ASSERT_EQ(reply.size(), kLongReplyLength);
    EXPECT_EQ(Received(reply),
              "TARVO 5→0 配置：波特率 19200，格式 7-E-2，长短按模式，长按时间 1500 ms，"
              "短按功能码 01 0A，长按功能码 无");

    reply.resize(kLongReplyLength - 1);
    EXPECT_EQ(Received(reply), "TARVO 5→0 配置回复（不完整，159 字节）");
}

TEST(FrameDecode, KeyConfigurationCommandsAndConfirmations) {
    auto b = Fresh();
    // Only the low 16 bits of the time are sent.
    EXPECT_EQ(Sent(b, BuildKeyModeFrame(b, 5, true, 0x10000 + 1200)),
              "TARVO 0→5 按键模式：长短按模式，长按时间 1200 ms");
    EXPECT_EQ(Sent(b, BuildKeyModeFrame(b, 5, false, 300)),
              "TARVO 0→5 按键模式：按下弹起模式，长按时间 300 ms");
    EXPECT_EQ(Received(Hex("FA 09 00 05 26 00 00 00 00 00")),
              "TARVO 5→0 按键模式和长按时间设置成功");

    const std::uint8_t codes[] = {0x31, 0x32, 0xFF};
    unsigned n = BuildFunctionCodesFrame(b, 5, true, codes, 3);
    EXPECT_EQ(Sent(b, n), "TARVO 0→5 第一组功能码 3 个：31 32 FF");
    // A frame cut short says how many codes it still holds.
    EXPECT_EQ(Sent(b, n - 2), "TARVO 0→5 第一组功能码 3 个（帧不完整，只有 1 个）");
    n = BuildFunctionCodesFrame(b, 5, false, codes, 0);
    EXPECT_EQ(Sent(b, n), "TARVO 0→5 第二组功能码 0 个：无");
    EXPECT_EQ(Received(Hex("FA 09 00 05 27 00 00 00 00 00")), "TARVO 5→0 按键功能码设置成功");

    n = BuildSerialFormatFrame(b, 115200, 1, 2, 2);
    EXPECT_EQ(Sent(b, n), "TARVO 0→5 串口格式：波特率 115200，格式 7-E-2");
    n = BuildSerialFormatFrame(b, 9600, 0, 0, 4);
    EXPECT_EQ(Sent(b, n), "TARVO 0→5 串口格式：波特率 9600，格式 8-S-1");
    // Indices outside the tables (stop bits 3, parity 7) show as "?".
    b[8] = 0x7C;
    EXPECT_EQ(Sent(b, n), "TARVO 0→5 串口格式：波特率 9600，格式 8-?-?");
}

TEST(FrameDecode, LedTests) {
    auto b = Fresh();
    EXPECT_EQ(Sent(b, BuildLedTestFrame(b, kCmdLed1, 5, kLedOff)), "TARVO 0→5 LED1 测试：关");
    EXPECT_EQ(Sent(b, BuildLedTestFrame(b, kCmdLed1, 5, kLedOn)), "TARVO 0→5 LED1 测试：开");
    EXPECT_EQ(Sent(b, BuildLedTestFrame(b, kCmdLed2, 5, kLedFlash)), "TARVO 0→5 LED2 测试：闪");
    EXPECT_EQ(Sent(b, BuildLedTestFrame(b, kCmdLed2, 5, 7)), "TARVO 0→5 LED2 测试：状态 0x07");
}

TEST(FrameDecode, EveryMirellFunctionAndValue) {
    const std::vector<std::tuple<std::uint8_t, std::uint8_t, std::string>> cases = {
        {kMirellScreen, 0x01, "SCREEN UP"},
        {kMirellScreen, 0x02, "SCREEN DOWN"},
        {kMirellScreen, 0x00, "SCREEN STOP"},
        {kMirellLifter, 0x02, "LIFTER UP"},
        {kMirellLifter, 0x01, "LIFTER DOWN"},
        {kMirellLifter, 0x00, "LIFTER STOP"},
        {kMirellProjector, 0x01, "PROJECTOR ON"},
        {kMirellProjector, 0x00, "PROJECTOR OFF"},
        {kMirellSequence, 0x01, "SEQ.SW ON"},
        {kMirellSequence, 0x02, "SEQ.SW OFF"},
        {kMirellSequence, 0x00, "SEQ.SW 启用"},
        {kMirellScreen, 0x03, "SCREEN 值 0x03"},
        {kMirellProjector, 0x02, "PROJECTOR 值 0x02"},
        {0x07, 0x01, "功能 0x07，值 0x01"},
    };
    auto b = Fresh();
    for (const auto& [function, value, text] : cases) {
        EXPECT_EQ(Sent(b, BuildMirellCommandFrame(b, 5, function, value)), "MIRELL 0→5 " + text)
            << int(function) << " " << int(value);
    }
}

TEST(FrameDecode, EveryOskanChannelAndFeedback) {
    auto b = Fresh();
    for (unsigned i = 0; i < 8; ++i) {
        for (const bool on : {true, false}) {
            const std::string expected =
                "OSKAN 0→3 通道" + std::to_string(i + 1) + (on ? " 开" : " 关");
            EXPECT_EQ(Sent(b, BuildOskanChannelFrame(b, 3, i, on)), expected);
        }
    }
    EXPECT_EQ(Sent(b, BuildOskanFeedbackFrame(b, 3, true)), "OSKAN 0→3 反馈 开");
    // The "off" code 0x03 is also the LED1 test command; for OSKAN it is the feedback.
    EXPECT_EQ(Sent(b, BuildOskanFeedbackFrame(b, 3, false)), "OSKAN 0→3 反馈 关");
    EXPECT_EQ(Sent(b, BuildOskanAddressWrite(b, 3, 9)),
              "OSKAN 0→3 分配地址：新地址 9，状态 22 00 00 00");
}

TEST(FrameDecode, DropReasonsOfEachParserState) {
    EXPECT_EQ(DropReason(1, 0x55), "不是帧头 0xFA");
    EXPECT_EQ(DropReason(2, 0x0A), "类型 0x0A 不在 6..9");
    EXPECT_EQ(DropReason(3, 0x05), "目的地址 0x05 不是 0");
    EXPECT_EQ(DropReason(4, 0x00), "源地址为 0");
    EXPECT_EQ(DropReason(5, 0xFF), "命令 0xFF 不被接受");
}

TEST(FrameDecode, ShortAndBrokenInput) {
    EXPECT_EQ(Received({}), "");
    EXPECT_EQ(Received(Hex("55 FA 09")), "不是帧（帧头 0x55）");
    EXPECT_EQ(Received(Hex("FA 09 00")), "帧不完整（3 字节）");
    EXPECT_EQ(Received(Hex("FA 09 00 05")), "TARVO 5→0 帧不完整（4 字节）");
    EXPECT_EQ(Received(Hex("FA 0A 00 05 FE 00 00")), "类型 0x0A 5→0 帧不完整（7 字节）");
    EXPECT_EQ(FrameCommand(Hex("FA 09 00 05 FE").data(), 5), kNoCommand);
    EXPECT_EQ(FrameDeviceAddress(Hex("FA 09").data(), 2, FrameDirection::Sent), -1);
    EXPECT_EQ(CommandName(kCmdReadConfig), "读取配置 (0x23)");
    EXPECT_EQ(CommandName(kSearchCommand), "搜索");
}

// Every prefix of every kind of frame, and random bytes behind a frame head, in both directions:
// each is decoded from a buffer of exactly its size (ASan reports any read past it).
TEST(FrameDecode, NoPrefixOrGarbageIsReadPastItsEnd) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (const std::uint8_t type : {kTypeOskan, kTypeMirell, kTypeTarvo}) {
        for (int command = 0; command <= 0xFF; ++command) {
            auto frame = Hex("FA 00 00 05 00 45 45 01 01 55");
            frame[kPosType] = type;
            frame[kPosCommand] = static_cast<std::uint8_t>(command);
            frame[6] = 200;  // a function-code count beyond the frame
            frames.push_back(frame);
        }
    }
    std::mt19937 random(12);
    for (int i = 0; i < 200; ++i) {
        std::vector<std::uint8_t> frame(random() % 170);
        for (auto& byte : frame) {
            byte = static_cast<std::uint8_t>(random());
        }
        if (!frame.empty()) {
            frame[kPosHead] = kFrameHead;
        }
        frames.push_back(frame);
    }
    for (const auto& frame : frames) {
        for (std::size_t count = 0; count <= frame.size(); ++count) {
            const std::vector<std::uint8_t> exact(frame.begin(), frame.begin() + count);
            for (const auto direction : {FrameDirection::Sent, FrameDirection::Received}) {
                const std::string text = DecodeFrame(exact.data(), count, direction);
                EXPECT_EQ(text.empty(), count == 0);
                FrameCommand(exact.data(), count);
                FrameDeviceAddress(exact.data(), count, direction);
            }
        }
    }
}

}  // namespace
