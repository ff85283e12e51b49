// The configuration block of the 0x23 reply: decoding, the code-count limit, and the block a
// simulated device sends.

#include "bus/tarvo_config.h"

#include <gtest/gtest.h>

#include "tests/bus/hex.h"

namespace {

TEST(TarvoConfig, DecodesExampleBlock) {
    TarvoConfigBlock block;
    const auto head = Hex("80 25 00 00 00 02 01 00 00 02 03 00 DC 05 41 42");
    std::copy(head.begin(), head.end(), block.bytes.begin());
    block.bytes[78] = 0x01;
    block.bytes[79] = 0x02;
    block.bytes[80] = 0x0A;

    const TarvoConfig c = DecodeTarvoConfig(block);
    EXPECT_EQ(c.baud, 9600);
    EXPECT_EQ(c.dataBitsIndex, 0);
    EXPECT_EQ(c.stopBitsIndex, 2);
    EXPECT_EQ(c.parityIndex, 1);
    EXPECT_EQ(c.keyMode, 0);
    EXPECT_EQ(c.longPressMs, 1500);
    EXPECT_EQ(FormatCodes(c.pressCodes), "01 02 0A");
    EXPECT_EQ(FormatCodes(c.releaseCodes), "41 42");
    EXPECT_EQ(FormatCodes({}), "");
}

TEST(TarvoConfig, CountsAbove64StayInsideTheBlock) {
    TarvoConfigBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(i);
    }
    block.bytes[9] = 0xFF;
    block.bytes[10] = 65;
    block.bytes[0] = block.bytes[1] = block.bytes[2] = block.bytes[3] = 0xFF;
    const TarvoConfig c = DecodeTarvoConfig(block);
    EXPECT_EQ(c.baud, -1);
    ASSERT_EQ(c.releaseCodes.size(), 64u);
    ASSERT_EQ(c.pressCodes.size(), 64u);
    EXPECT_EQ(c.releaseCodes.front(), 14);
    EXPECT_EQ(c.releaseCodes.back(), 77);
    EXPECT_EQ(c.pressCodes.front(), 78);
    EXPECT_EQ(c.pressCodes.back(), 141);
}

TEST(TarvoConfig, EncodeDecodeRoundTrip) {
    TarvoConfig c;
    c.baud = 194000;
    c.dataBitsIndex = 3;
    c.stopBitsIndex = 1;
    c.parityIndex = 4;
    c.keyMode = 1;
    c.longPressMs = 10000;
    c.pressCodes = {0xFA, 0x00, 0x7F};
    c.releaseCodes.assign(64, 0x42);

    const TarvoConfigBlock block = EncodeTarvoConfig(c);
    EXPECT_EQ(ToHex(block.bytes.begin(), block.bytes.begin() + 14),
              "D0 F5 02 00 03 01 04 00 01 40 03 00 10 27");
    const TarvoConfig back = DecodeTarvoConfig(block);
    EXPECT_EQ(back.baud, c.baud);
    EXPECT_EQ(back.dataBitsIndex, c.dataBitsIndex);
    EXPECT_EQ(back.stopBitsIndex, c.stopBitsIndex);
    EXPECT_EQ(back.parityIndex, c.parityIndex);
    EXPECT_EQ(back.keyMode, c.keyMode);
    EXPECT_EQ(back.longPressMs, c.longPressMs);
    EXPECT_EQ(back.pressCodes, c.pressCodes);
    EXPECT_EQ(back.releaseCodes, c.releaseCodes);

    c.pressCodes.assign(100, 1);  // more than a block holds
    EXPECT_EQ(DecodeTarvoConfig(EncodeTarvoConfig(c)).pressCodes.size(), 64u);
}

}  // namespace
