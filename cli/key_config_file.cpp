#include "cli/key_config_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <set>
#include <sstream>

#include "bus/function_codes.h"
// The TARVO page's lists of rates, data bits, stop bits and parities.
#include "bus/line_settings.h"

namespace {

std::string Trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return {};
    }
    const std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// UTF-8 to UTF-16; nothing for text that is not UTF-8.
std::optional<std::u16string> Utf16(const std::string& utf8) {
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

// Hexadecimal code text the page's conversion reads as it is written: bytes of two hex digits,
// each with at most one space before it, and at most one space at the end. (The conversion
// reads any other character, a second space among them, as the digit F.)
bool WellFormedHex(const std::string& text) {
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            if (i == text.size()) {
                return true;
            }
        }
        if (i + 1 >= text.size() || !hex(text[i]) || !hex(text[i + 1])) {
            return false;
        }
        i += 2;
    }
    return true;
}

// An unquoted value ends where a ';' or '#' follows a blank: the rest is a comment.
std::string WithoutComment(const std::string& value) {
    for (std::size_t i = 1; i < value.size(); ++i) {
        if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
            return value.substr(0, i);
        }
    }
    return value;
}

struct Entry {
    std::string value;
    int line = 0;
};

const std::map<std::string, std::set<std::string>>& KnownKeys() {
    static const std::map<std::string, std::set<std::string>> keys = {
        {"key", {"mode", "long_press_ms"}},
        {"press", {"codes", "hex"}},
        {"release", {"codes", "hex"}},
        {"serial", {"baud", "data_bits", "stop_bits", "parity"}},
    };
    return keys;
}

}  // namespace

std::string DataBitsWord(unsigned index) {
    return index < kDataBits.size() ? std::to_string(kDataBits[index]) : std::string();
}

std::string StopBitsWord(unsigned index) {
    return index < kStopBitsTexts.size() ? kStopBitsTexts[index] : std::string();
}

std::string ParityWord(unsigned index) {
    return index < kParityTexts.size() ? Lower(kParityTexts[index]) : std::string();
}

std::optional<KeyConfigSettings> ParseKeyConfig(const std::string& text, KeyConfigError* error) {
    const auto fail = [&](int line, std::string key, std::string message) {
        if (error) {
            *error = {line, std::move(key), std::move(message)};
        }
        return std::nullopt;
    };

    std::map<std::string, Entry> entries;  // "section.key"
    std::string section;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return fail(lineNumber, {}, "a section header ends in ']'");
            }
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (!KnownKeys().count(section)) {
                return fail(lineNumber, section,
                            "unknown section; the sections are [key], [press], [release] and "
                            "[serial]");
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            return fail(lineNumber, {}, "expected 'key = value'");
        }
        const std::string name = Lower(Trim(line.substr(0, eq)));
        std::string value = Trim(line.substr(eq + 1));
        if (section.empty()) {
            return fail(lineNumber, name, "key before the first section");
        }
        const std::string full = section + "." + name;
        if (!KnownKeys().at(section).count(name)) {
            return fail(lineNumber, full, "unknown key");
        }
        if (entries.count(full)) {
            return fail(lineNumber, full,
                        "given twice (first on line " + std::to_string(entries[full].line) + ")");
        }
        if (!value.empty() && value.front() == '"') {
            const std::size_t close = value.find('"', 1);
            if (close == std::string::npos) {
                return fail(lineNumber, full, "the quoted value has no closing '\"'");
            }
            const std::string rest = Trim(value.substr(close + 1));
            if (!rest.empty() && rest[0] != ';' && rest[0] != '#') {
                return fail(lineNumber, full, "text after the closing '\"'");
            }
            value = value.substr(1, close - 1);
        } else {
            value = Trim(WithoutComment(value));
        }
        entries[full] = {value, lineNumber};
    }

    KeyConfigSettings s;
    const auto at = [&](const std::string& key) -> const Entry& { return entries.at(key); };

    // [key]
    if (entries.count("key.mode")) {
        const Entry& e = at("key.mode");
        const std::string mode = Lower(e.value);
        if (mode == "short-long") {
            s.shortLong = true;
        } else if (mode == "press-release") {
            s.shortLong = false;
        } else {
            return fail(e.line, "key.mode", "'" + e.value + "' is not short-long or press-release");
        }
    }
    if (entries.count("key.long_press_ms")) {
        const Entry& e = at("key.long_press_ms");
        if (e.value.empty() || e.value.size() > 9 ||
            e.value.find_first_not_of("0123456789") != std::string::npos) {
            return fail(e.line, "key.long_press_ms", "'" + e.value + "' is no unsigned integer");
        }
        s.longPressMs = static_cast<std::uint32_t>(std::stoul(e.value));
        if (s.longPressMs < 600 || s.longPressMs > 10000) {
            return fail(e.line, "key.long_press_ms",
                        e.value + " is outside 600..10000 ms (长按时间有效值为600ms-10000ms之间)");
        }
    }

    // [press] and [release]
    struct Set {
        const char* section;
        std::string* text;
        bool* hex;
        std::vector<std::uint8_t>* codes;
    };
    for (const Set& set : {Set{"press", &s.pressText, &s.pressHex, &s.pressCodes},
                           Set{"release", &s.releaseText, &s.releaseHex, &s.releaseCodes}}) {
        const std::string hexKey = std::string(set.section) + ".hex";
        const std::string codesKey = std::string(set.section) + ".codes";
        if (entries.count(hexKey)) {
            const Entry& e = at(hexKey);
            const std::string v = Lower(e.value);
            if (v == "yes" || v == "true" || v == "1") {
                *set.hex = true;
            } else if (v == "no" || v == "false" || v == "0") {
                *set.hex = false;
            } else {
                return fail(e.line, hexKey, "'" + e.value + "' is not yes or no");
            }
        }
        if (!entries.count(codesKey)) {
            continue;
        }
        const Entry& e = at(codesKey);
        *set.text = e.value;
        const std::optional<std::u16string> text16 = Utf16(e.value);
        if (!text16) {
            return fail(e.line, codesKey, "the text is not UTF-8");
        }
        if (*set.hex && !WellFormedHex(e.value)) {
            return fail(e.line, codesKey,
                        "'" + e.value + "' is not hexadecimal bytes such as 01 02 0A");
        }
        std::array<std::uint8_t, kFrameBufferSize> bytes{};
        const int n = CodeTextToBytes(*text16, *set.hex, bytes);
        if (n == kCodeTextUnencodable) {
            return fail(e.line, codesKey,
                        "a character has no single-byte form (功能码含有无法按单字节发送的字符)");
        }
        // The conversion keeps the first 64 codes; a longer set would lose codes unseen.
        std::array<std::uint8_t, kFrameBufferSize> all{};
        const std::size_t given =
            *set.hex ? static_cast<std::size_t>(ParseHexCodes(*text16, all.data(), all.size()))
                     : text16->size();
        if (given > kMaxFunctionCodes) {
            return fail(e.line, codesKey, std::to_string(given) + " codes; a set holds at most 64");
        }
        set.codes->assign(bytes.begin(), bytes.begin() + n);
    }

    // [serial]
    if (entries.count("serial.baud")) {
        const Entry& e = at("serial.baud");
        const auto it = std::find_if(kBaudRates.begin(), kBaudRates.end(),
                                     [&](std::uint32_t b) { return std::to_string(b) == e.value; });
        if (it == kBaudRates.end()) {
            std::string rates;
            for (std::uint32_t b : kBaudRates) {
                rates += (rates.empty() ? "" : ", ") + std::to_string(b);
            }
            return fail(e.line, "serial.baud", "'" + e.value + "' is none of " + rates);
        }
        s.baud = *it;
    }
    struct Choice {
        const char* key;
        unsigned* index;
        std::string (*word)(unsigned);
        const char* words;
    };
    for (const Choice& c :
         {Choice{"serial.data_bits", &s.dataBitsIndex, DataBitsWord, "8, 7, 6, 5"},
          Choice{"serial.stop_bits", &s.stopBitsIndex, StopBitsWord, "1, 1.5, 2"},
          Choice{"serial.parity", &s.parityIndex, ParityWord, "none, odd, even, mark, space"}}) {
        if (!entries.count(c.key)) {
            continue;
        }
        const Entry& e = at(c.key);
        const std::string v = Lower(e.value);
        bool found = false;
        for (unsigned i = 0; !c.word(i).empty(); ++i) {
            if (c.word(i) == v) {
                *c.index = i;
                found = true;
                break;
            }
        }
        if (!found) {
            return fail(e.line, c.key, "'" + e.value + "' is none of " + c.words);
        }
    }
    // Values are checked first, so a wrong value is told with its line even when a key is
    // missing as well.
    for (const char* required : {"key.mode", "key.long_press_ms", "serial.baud", "serial.data_bits",
                                 "serial.stop_bits", "serial.parity"}) {
        if (!entries.count(required)) {
            return fail(0, required, "missing");
        }
    }
    return s;
}

namespace {

std::string CodesLine(const std::vector<std::uint8_t>& codes) {
    return codes.empty() ? "codes =\n" : "codes = " + FormatCodes(codes) + "\n";
}

}  // namespace

std::string FormatKeyConfig(const TarvoConfig& config) {
    std::ostringstream out;
    const auto listed = [](const std::string& word, unsigned index) {
        return word.empty() ? std::to_string(index) + "   ; index " + std::to_string(index) +
                                  " is not in the page's list"
                            : word;
    };
    const bool rateListed = std::find(kBaudRates.begin(), kBaudRates.end(),
                                      static_cast<std::uint32_t>(config.baud)) != kBaudRates.end();
    out << "[key]\n"
        << "mode = " << (config.keyMode != 0 ? "short-long" : "press-release") << "\n"
        << "long_press_ms = " << config.longPressMs << "\n"
        << "\n[press]\n"
        << CodesLine(config.pressCodes) << "hex = yes\n"
        << "\n[release]\n"
        << CodesLine(config.releaseCodes) << "hex = yes\n"
        << "\n[serial]\n"
        << "baud = " << config.baud << (rateListed ? "" : "   ; not in the page's list") << "\n"
        << "data_bits = " << listed(DataBitsWord(config.dataBitsIndex), config.dataBitsIndex)
        << "\n"
        << "stop_bits = " << listed(StopBitsWord(config.stopBitsIndex), config.stopBitsIndex)
        << "\n"
        << "parity = " << listed(ParityWord(config.parityIndex), config.parityIndex) << "\n";
    return out.str();
}
