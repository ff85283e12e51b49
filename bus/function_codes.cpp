#include "bus/function_codes.h"

#include <algorithm>

#include "bus/frame.h"

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
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t n = lead < 0x80             ? 1
                        : (lead & 0xE0) == 0xC0 ? 2
                        : (lead & 0xF0) == 0xE0 ? 3
                        : (lead & 0xF8) == 0xF0 ? 4
                                                : 0;
        if (n == 0 || i + n > utf8.size()) {
            return std::nullopt;
        }
        std::uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) {
                return std::nullopt;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
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
