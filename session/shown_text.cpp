#include "session/shown_text.h"

#include <cstdio>

namespace {

// The length of the valid UTF-8 sequence at `i`, or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t n = lead < 0x80             ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 0;
    if (n == 0 || i + n > text.size()) {
        return 0;
    }
    unsigned long cp = n == 1 ? lead : lead & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (c & 0x3Fu);
    }
    constexpr unsigned long kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        return 0;
    }
    return n;
}

}  // namespace

std::string Shown(std::string_view text, std::size_t maxChars) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (chars == maxChars) {
            return out + "…";
        }
        ++chars;
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = Utf8Length(text, i);
        if (n > 1) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        ++i;
        switch (c) {
            case '\n':
                out += "\\n";
                continue;
            case '\t':
                out += "\\t";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            default:
                break;
        }
        if (n == 1 && c >= 0x20 && c != 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out;
}

std::string Quoted(std::string_view text) {
    return "'" + Shown(text) + "'";
}
