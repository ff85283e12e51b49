// Function-code text to bytes, as tables of text in and bytes out.

#include "bus/function_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/bus/hex.h"

namespace {

std::string Convert(std::u16string_view text, bool hex) {
    std::array<std::uint8_t, 260> out;
    out.fill(0x77);
    const int n = CodeTextToBytes(text, hex, out);
    if (n < 0) {
        return "refused";
    }
    return ToHex(out.begin(), out.begin() + n);
}

TEST(FunctionCodes, HexText) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"01 02 0a", "01 02 0A"},
        {u"0102", "01 02"},
        {u"1 2", "12"},
        {u"GZ", "FF"},
        {u"12\r\n34", "12 FF 34"},
        {u"123", ""},     // ends after a high digit
        {u"12  34", ""},  // the second space is a high digit F: ends inside a byte
        {u"", ""},
        {u" 12", "12"},
        {u"1 ", "1F"},  // the end of the text stands in for the low digit
        // A space after the last complete byte, or a lone space, is ignored.
        {u"12 ", "12"},
        {u"12 34 ", "12 34"},
        {u" ", ""},
    };
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(Convert(text, true), bytes) << std::string(text.begin(), text.end());
    }
}

TEST(FunctionCodes, PlainText) {
    EXPECT_EQ(Convert(u"AB", false), "41 42");
    EXPECT_EQ(Convert(u"A\r\nB", false), "41 0D 0A 42");
    EXPECT_EQ(Convert(u"\u00E9\u00FF", false), "E9 FF");
    // No single-byte form: refused, so that nothing is sent.
    EXPECT_EQ(Convert(u"A\u4E2D", false), "refused");
    EXPECT_EQ(Convert(u"\u0100", false), "refused");
}

TEST(FunctionCodes, ResultIsCutTo64) {
    std::u16string hex;
    std::u16string plain;
    for (int i = 0; i < 70; ++i) {
        hex += u"AB ";
        plain += u'x';
    }
    EXPECT_EQ(Convert(hex, true).size(), 64u * 3 - 1);
    EXPECT_EQ(Convert(plain, false).size(), 64u * 3 - 1);
}

TEST(FunctionCodes, HexTextLongerThanTheBuffer) {
    std::u16string text;
    for (int i = 0; i < 300; ++i) {
        text += u"5A";
    }
    std::array<std::uint8_t, 8> out;
    out.fill(0);
    EXPECT_EQ(ParseHexCodes(text, out.data(), 4), 4);
    EXPECT_EQ(ToHex(out.begin(), out.end()), "5A 5A 5A 5A 00 00 00 00");
    EXPECT_EQ(ParseHexCodes(text + u"1", out.data(), 4), 0);  // still ends inside a byte
    EXPECT_EQ(Convert(text, true).size(), 64u * 3 - 1);
}

}  // namespace
