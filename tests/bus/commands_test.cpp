// The command builders: exact bytes, and every byte a command does not define left as the
// previous frame left it.

#include "bus/commands.h"

#include <gtest/gtest.h>

#include <string>

#include "bus/device_models.h"
#include "bus/frame.h"
#include "bus/function_codes.h"
#include "tests/bus/hex.h"

namespace {

constexpr std::uint8_t kLeft = 0xEE;

// A frame whose bytes all read kLeft, as if an earlier sender had left them.
TxFrame::Bytes Used() {
    TxFrame::Bytes b;
    b.fill(kLeft);
    return b;
}

// `expected` lists bytes from position 0, ".." for a byte the builder must not touch; every
// byte after the listed ones must be untouched as well.
void ExpectFrame(const TxFrame::Bytes& b, const std::string& expected) {
    std::istringstream in(expected);
    std::string token;
    std::size_t i = 0;
    for (; in >> token; ++i) {
        const unsigned want = token == ".." ? kLeft : std::stoul(token, nullptr, 16);
        EXPECT_EQ(b[i], want) << "byte " << i << " of " << ToHex(b.begin(), b.begin() + 12);
    }
    for (; i < b.size(); ++i) {
        ASSERT_EQ(b[i], kLeft) << "byte " << i << " was written";
    }
}

TEST(Commands, BusManagementFrames) {
    auto b = Used();
    EXPECT_EQ(BuildSearchFrame(b, kTypeMirell), 4u);
    ExpectFrame(b, ".. 08 00 00");
    b = Used();
    EXPECT_EQ(BuildSearchFrame(b, TypeCodeForTab(7)), 4u);
    ExpectFrame(b, ".. .. 00 00");

    b = Used();
    EXPECT_EQ(BuildAutoAssignFrame(b), 10u);
    ExpectFrame(b, ".. .. FF .. 20");

    b = Used();
    EXPECT_EQ(BuildMirellAddressWrite(b, 7, 9, {1, 2, 3, 4}), 10u);
    ExpectFrame(b, ".. .. 07 00 22 09 01 02 03 04");
    b = Used();
    EXPECT_EQ(BuildOskanAddressWrite(b, 3, 9), 10u);
    ExpectFrame(b, ".. .. 03 00 22 09 22");

    b = Used();
    EXPECT_EQ(BuildReadConfigFrame(b, 0x42), 10u);
    ExpectFrame(b, ".. .. 42 00 23");

    b = Used();
    EXPECT_EQ(BuildLedTestFrame(b, kCmdLed2, 5, kLedFlash), 10u);
    ExpectFrame(b, ".. .. 05 00 04 .. 02");

    const auto request = Hex("FA 09 00 07 21 00 A1 B2 E3 D4");
    b = Used();
    EXPECT_EQ(BuildAddressAnswer(b, request.data(), 3), 10u);
    ExpectFrame(b, ".. .. 07 .. 22 03 A1 B2 E3 D4");
}

// The four frames of one key-configuration write, built in one frame one after the other, as
// the write sequence does: bytes left by earlier frames go out again.
TEST(Commands, KeyConfigurationSequence) {
    TxFrame tx;
    std::vector<std::string> sent;
    auto send = [&](unsigned n) {
        const auto b = tx.Snapshot();
        sent.push_back(ToHex(b.begin(), b.begin() + n));
    };
    std::array<std::uint8_t, 260> codes;
    tx.WithLock([&](TxFrame::Bytes& b) {
        b[5] = 0x5A;
        send(BuildKeyModeFrame(b, 5, true, 800));
        int n = CodeTextToBytes(u"01 02 0A", true, codes);
        send(BuildFunctionCodesFrame(b, 5, true, codes.data(), n));
        n = CodeTextToBytes(u"41 42", true, codes);
        send(BuildFunctionCodesFrame(b, 5, false, codes.data(), n));
        send(BuildSerialFormatFrame(b, 9600, 0, 0, 0));
    });
    EXPECT_EQ(sent, (std::vector<std::string>{
                        "FA 09 05 00 26 5A 01 20 03 00",
                        "FA 09 05 00 27 5A 03 01 03 00 01 02 0A",
                        "FA 09 05 00 27 5A 02 00 03 00 41 42",
                        "FA 09 05 00 25 5A 60 00 00 00",
                    }));
}

TEST(Commands, KeyModeAndSerialFormatValues) {
    auto b = Used();
    BuildKeyModeFrame(b, 1, false, 600);
    ExpectFrame(b, ".. .. 01 00 26 .. 00 58 02 00");
    BuildKeyModeFrame(b, 1, true, 0x12710);  // only the low 16 bits go out
    ExpectFrame(b, ".. .. 01 00 26 .. 01 10 27 00");

    const std::pair<std::uint32_t, std::string> bauds[] = {
        {9600, "60 00"}, {115200, "80 04"}, {194000, "94 07"}, {1200, "0C 00"}};
    for (const auto& [baud, bytes] : bauds) {
        b = Used();
        BuildSerialFormatFrame(b, baud, 0, 0, 0);
        ExpectFrame(b, ".. .. .. .. 25 .. " + bytes + " 00");
    }

    // Data bits in bits 0-1, stop bits in bits 2-3, parity in bits 4-6.
    EXPECT_EQ(SerialFormatByte(0, 0, 0), 0x00);
    EXPECT_EQ(SerialFormatByte(3, 0, 0), 0x03);
    EXPECT_EQ(SerialFormatByte(0, 2, 0), 0x08);
    EXPECT_EQ(SerialFormatByte(0, 0, 4), 0x40);
    EXPECT_EQ(SerialFormatByte(1, 2, 1), 0x19);
}

TEST(Commands, FunctionCodesAreCutTo64) {
    std::array<std::uint8_t, 70> codes;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        codes[i] = static_cast<std::uint8_t>(i);
    }
    auto b = Used();
    EXPECT_EQ(BuildFunctionCodesFrame(b, 2, false, codes.data(), codes.size()), 74u);
    EXPECT_EQ(b[6], 0x40);
    EXPECT_EQ(b[73], 63);
    EXPECT_EQ(b[74], kLeft);

    b = Used();
    EXPECT_EQ(BuildFunctionCodesFrame(b, 2, true, nullptr, 0), 10u);
    ExpectFrame(b, ".. .. 02 00 27 .. 00 01");
}

TEST(Commands, MirellFramesAreWrittenWhole) {
    auto b = Used();
    EXPECT_EQ(BuildMirellCommandFrame(b, 0x10, kMirellScreen, 0x01), 10u);
    ExpectFrame(b, "FA 08 10 00 00 00 45 04 01 55");
    BuildMirellCommandFrame(b, 0x10, kMirellLifter, 0x02);
    ExpectFrame(b, "FA 08 10 00 00 00 45 05 02 55");
    BuildMirellCommandFrame(b, 0x10, kMirellSequence, 0x00);
    ExpectFrame(b, "FA 08 10 00 00 00 45 02 00 55");
}

TEST(Commands, OskanFramesAreWrittenWhole) {
    for (unsigned k = 1; k <= 8; ++k) {
        EXPECT_EQ(g_channelCodes[k - 1].on.code, k);
        EXPECT_EQ(g_channelCodes[k - 1].on.complement, 0xFF - k);
        EXPECT_EQ(g_channelCodes[k - 1].off.code, 0x10 + k);
        EXPECT_EQ(g_channelCodes[k - 1].off.complement, 0xFF - 0x10 - k);
    }
    auto b = Used();
    EXPECT_EQ(BuildOskanChannelFrame(b, 0x0A, 0, true), 10u);
    ExpectFrame(b, "FA 06 0A 00 00 00 FE 01 00 00");
    BuildOskanChannelFrame(b, 0x0A, 7, false);
    ExpectFrame(b, "FA 06 0A 00 00 00 E7 18 00 00");
    BuildOskanChannelFrame(b, 0x02, 2, true);
    ExpectFrame(b, "FA 06 02 00 00 00 FC 03 00 00");
    BuildOskanFeedbackFrame(b, 0x0A, true);
    ExpectFrame(b, "FA 06 0A 00 02 02 00 00 00 00");
    BuildOskanFeedbackFrame(b, 0x0A, false);
    ExpectFrame(b, "FA 06 0A 00 03 03 00 00 00 00");

    b = Used();
    EXPECT_EQ(BuildOskanChannelFrame(b, 0x0A, 8, true), 0u);
    ExpectFrame(b, "");
}

}  // namespace
