#include "project/toml_unicode_guard.h"

#include <cstdint>

#include "bus/utf8.h"

namespace {

constexpr char32_t kShift = 0xF0000;

// The library's own arithmetic: the code points for which its lookup has no case.
bool Affected(char32_t c) {
    if (c <= 0xA0 || c >= 0xFEFF || c == 0x3000) {
        return false;
    }
    const std::uint64_t child = (static_cast<std::uint64_t>(c) - 0xA0) / 0x3FA;
    return ((1ULL << child) & 0x7FFFFFFFFFFFF75EULL) == 0 && child != 5 && child != 7;
}

void Encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

GuardedToml GuardForToml(std::string_view text) {
    GuardedToml g;
    g.text.reserve(text.size());
    int line = 1;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(text, i, &c);
        if (length == 0) {
            g.text += text[i++];
            continue;
        }
        if (c == '\n') {
            ++line;
        }
        if (Affected(c)) {
            Encode(kShift + c, g.text);
        } else {
            if (c >= kShift && Affected(c - kShift) && g.reservedLine == 0) {
                g.reservedLine = line;
            }
            g.text.append(text.substr(i, length));
        }
        i += length;
    }
    return g;
}

std::string Unguard(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(text, i, &c);
        if (length == 0) {
            out += text[i++];
            continue;
        }
        if (c >= kShift && Affected(c - kShift)) {
            Encode(c - kShift, out);
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}
