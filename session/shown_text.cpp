#include "session/shown_text.h"

#include <cstdio>

#include "bus/utf8.h"

namespace {

// Characters that change how the rest of a line shows: line and paragraph separators and the
// bidirectional embeddings, overrides and isolates.
bool ReordersTheLine(char32_t c) {
    return c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[12];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
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
        char32_t c = 0;
        const std::size_t n = DecodeUtf8(text, i, &c);
        if (n == 0) {
            AppendEscape(out, "\\x%02X", static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    AppendEscape(out, "\\x%02X", static_cast<unsigned>(c));
                } else if ((c >= 0x80 && c <= 0x9F) || ReordersTheLine(c)) {
                    AppendEscape(out, "\\u%04X", static_cast<unsigned>(c));
                } else {
                    out.append(text.substr(i, n));
                }
        }
        i += n;
    }
    return out;
}

std::string Quoted(std::string_view text) {
    return "'" + Shown(text) + "'";
}
