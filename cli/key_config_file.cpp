#include "cli/key_config_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "bus/function_codes.h"
#include "bus/line_settings.h"
#include "session/key_config_words.h"

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

// An unquoted value ends where a ';' or '#' follows a blank: the rest is a comment.
std::string WithoutComment(const std::string& value) {
    for (std::size_t i = 1; i < value.size(); ++i) {
        if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
            return value.substr(0, i);
        }
    }
    return value;
}

// The text with a leading byte-order mark dropped and every line end (CR LF, LF, or CR alone)
// made a LF, so that files from any editor read the same.
std::string UnixLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
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

std::optional<KeyConfigSettings> ParseKeyConfig(const std::string& text, KeyConfigError* error) {
    const auto fail = [&](int line, std::string key, std::string message) {
        if (error) {
            *error = {line, std::move(key), std::move(message)};
        }
        return std::nullopt;
    };

    std::map<std::string, Entry> entries;  // "section.key"
    std::string section;
    std::istringstream in(UnixLines(text));
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            continue;
        }
        if (line.front() == '[') {
            const std::string header = Trim(WithoutComment(line));
            if (header.back() != ']') {
                return fail(lineNumber, {}, "a section header ends in ']'");
            }
            section = Lower(Trim(header.substr(1, header.size() - 2)));
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
    std::u16string text16;
    // Each value as the window's page would take it, in this order (a set's flag before its
    // codes); the first one refused is told with its line.
    const std::pair<const char*, std::function<Refusal(const std::string&)>> takes[] = {
        {"key.mode", [&](const std::string& v) { return TakeKeyMode(v, &s.shortLong); }},
        {"key.long_press_ms",
         [&](const std::string& v) { return TakeLongPressMs(v, &s.longPressMs); }},
        {"press.hex", [&](const std::string& v) { return TakeYesNo(v, &s.pressHex); }},
        {"press.codes",
         [&](const std::string& v) {
             s.pressText = v;
             return TakeCodes(v, s.pressHex, &text16, &s.pressCodes);
         }},
        {"release.hex", [&](const std::string& v) { return TakeYesNo(v, &s.releaseHex); }},
        {"release.codes",
         [&](const std::string& v) {
             s.releaseText = v;
             return TakeCodes(v, s.releaseHex, &text16, &s.releaseCodes);
         }},
        {"serial.baud", [&](const std::string& v) { return TakeBaud(v, &s.serial.baud); }},
        {"serial.data_bits",
         [&](const std::string& v) { return TakeDataBits(v, &s.serial.dataBitsIndex); }},
        {"serial.stop_bits",
         [&](const std::string& v) { return TakeStopBits(v, &s.serial.stopBitsIndex); }},
        {"serial.parity",
         [&](const std::string& v) { return TakeParity(v, &s.serial.parityIndex); }},
    };
    for (const auto& [key, store] : takes) {
        const auto it = entries.find(key);
        if (it == entries.end()) {
            continue;
        }
        if (const Refusal why = store(it->second.value)) {
            return fail(it->second.line, key, *why);
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
    const auto listed = ListedWord;
    const bool rateListed = BaudListed(config.baud);
    out << "[key]\n"
        << "mode = " << KeyModeWord(config.keyMode != 0) << "\n"
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
