#include "bus/function_codes.h"

#include <algorithm>

#include "bus/frame.h"
#include "bus/utf8.h"

namespace {

constexpr char16_t kEndOfText = 0;

// Digit value of a character; anything that is not a hex digit counts as 15.
std::uint8_t HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return static_cast<std::uint8_t>(c - u'0');
    }
    if (c >= u'A' && c <= u'F') {
        return static_cast<std::uint8_t>(c - u'A' + 10);
    }
    if (c >= u'a' && c <= u'f') {
        return static_cast<std::uint8_t>(c - u'a' + 10);
    }
    return 15;
}

}  // namespace

int ParseHexCodes(std::u16string_view text, std::uint8_t* out, std::size_t outSize) {
    const std::size_t length = text.size();
    // Reading just past the last character yields the end-of-text marker (a non-digit).
    auto at = [&](std::size_t i) { return i < length ? text[i] : kEndOfText; };

    std::size_t i = 0;
    std::size_t count = 0;
    while (i < length) {
        if (at(i) == u' ') {
            ++i;
            // A space after the last complete byte (or a lone space) ends the text.
            if (i == length) {
                break;
            }
        }
        const std::uint8_t high = HexDigit(at(i));
        ++i;
        if (i == length) {
            return 0;  // the text ends inside a byte
        }
        if (at(i) == u' ') {
            ++i;
        }
        const std::uint8_t low = HexDigit(at(i));
        ++i;
        // Keep scanning past a full buffer: a text that ends inside a byte still gives 0.
        if (count < outSize) {
            out[count] = static_cast<std::uint8_t>(high * 16 + low);
        }
        ++count;
    }
    return static_cast<int>(std::min(count, outSize));
}

int CodeTextToBytes(std::u16string_view text, bool hex,
                    std::array<std::uint8_t, kFrameBufferSize>& out) {
    out.fill(0);
    int n = 0;
    if (hex) {
        n = ParseHexCodes(text, out.data(), out.size());
    } else {
        if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; })) {
            return kCodeTextUnencodable;
        }
        const std::size_t count = std::min(text.size(), out.size());
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = static_cast<std::uint8_t>(text[i]);
        }
        n = static_cast<int>(count);
    }
    return std::min(n, static_cast<int>(kMaxFunctionCodes));
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t n = DecodeUtf8(utf8, i, &cp);
        if (n == 0) {
            return std::nullopt;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
    return out;
}
