#include "session/key_config_words.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "bus/frame.h"
#include "bus/function_codes.h"
#include "bus/line_settings.h"
#include "session/shown_text.h"

namespace {

std::string Lower(std::string_view text) {
    std::string s(text);
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
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

// The index of `word` among a list's words (case-insensitive).
Refusal TakeListed(std::string_view word, std::string (*wordOf)(unsigned), const char* words,
                   unsigned* index) {
    const std::string v = Lower(word);
    for (unsigned i = 0; !wordOf(i).empty(); ++i) {
        if (wordOf(i) == v) {
            *index = i;
            return std::nullopt;
        }
    }
    return Quoted(word) + " is none of " + words;
}

}  // namespace

Refusal TakeKeyMode(std::string_view word, bool* shortLong) {
    const std::string mode = Lower(word);
    if (mode != "short-long" && mode != "press-release") {
        return Quoted(word) + " is not short-long or press-release";
    }
    *shortLong = mode == "short-long";
    return std::nullopt;
}

const char* KeyModeWord(bool shortLong) {
    return shortLong ? "short-long" : "press-release";
}

Refusal CheckLongPressMs(std::uint64_t ms) {
    if (ms < kMinLongPressMs || ms > kMaxLongPressMs) {
        return std::to_string(ms) + " is outside " + std::to_string(kMinLongPressMs) + ".." +
               std::to_string(kMaxLongPressMs) + " ms\n" +
               RefusalText(KeyConfigRefusal::LongPressOutOfRange);
    }
    return std::nullopt;
}

Refusal TakeLongPressMs(std::string_view text, std::uint32_t* ms) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos) {
        return Quoted(text) + " is no unsigned integer";
    }
    const auto value = static_cast<std::uint32_t>(std::stoul(std::string(text)));
    if (Refusal why = CheckLongPressMs(value)) {
        return Shown(text) + why->substr(why->find(' '));
    }
    *ms = value;
    return std::nullopt;
}

Refusal TakeYesNo(std::string_view word, bool* value) {
    const std::string v = Lower(word);
    if (v == "yes" || v == "true" || v == "1") {
        *value = true;
    } else if (v == "no" || v == "false" || v == "0") {
        *value = false;
    } else {
        return Quoted(word) + " is not yes or no";
    }
    return std::nullopt;
}

Refusal TakeCodes(const std::string& utf8, bool hex, std::u16string* text,
                  std::vector<std::uint8_t>* codes) {
    const std::optional<std::u16string> text16 = Utf8ToUtf16(utf8);
    if (!text16) {
        return std::string("the text is not UTF-8");
    }
    if (hex && !WellFormedHex(utf8)) {
        return Quoted(utf8) + " is not hexadecimal bytes such as 01 02 0A";
    }
    std::array<std::uint8_t, kFrameBufferSize> bytes{};
    const int n = CodeTextToBytes(*text16, hex, bytes);
    if (n == kCodeTextUnencodable) {
        return std::string("a character has no single-byte form\n") +
               RefusalText(KeyConfigRefusal::UnencodableCodes);
    }
    // The conversion keeps the first 64 codes; a longer set would lose codes unseen.
    std::array<std::uint8_t, kFrameBufferSize> all{};
    const std::size_t given =
        hex ? static_cast<std::size_t>(ParseHexCodes(*text16, all.data(), all.size()))
            : text16->size();
    if (given > kMaxFunctionCodes) {
        return std::to_string(given) + " codes; a set holds at most 64";
    }
    *text = *text16;
    codes->assign(bytes.begin(), bytes.begin() + n);
    return std::nullopt;
}

Refusal TakeBaud(std::string_view word, std::uint32_t* baud) {
    const auto it = std::find_if(kBaudRates.begin(), kBaudRates.end(),
                                 [&](std::uint32_t b) { return std::to_string(b) == word; });
    if (it == kBaudRates.end()) {
        std::string rates;
        for (std::uint32_t b : kBaudRates) {
            rates += (rates.empty() ? "" : ", ") + std::to_string(b);
        }
        return Quoted(word) + " is none of " + rates;
    }
    *baud = *it;
    return std::nullopt;
}

Refusal TakeDataBits(std::string_view word, unsigned* index) {
    return TakeListed(word, DataBitsWord, "8, 7, 6, 5", index);
}

Refusal TakeStopBits(std::string_view word, unsigned* index) {
    return TakeListed(word, StopBitsWord, "1, 1.5, 2", index);
}

Refusal TakeParity(std::string_view word, unsigned* index) {
    return TakeListed(word, ParityWord, "none, odd, even, mark, space", index);
}

std::string ListedWord(const std::string& word, unsigned index) {
    return word.empty() ? std::to_string(index) + "   ; index " + std::to_string(index) +
                              " is not in the page's list"
                        : word;
}

bool BaudListed(std::int32_t baud) {
    return std::find(kBaudRates.begin(), kBaudRates.end(), static_cast<std::uint32_t>(baud)) !=
           kBaudRates.end();
}

KeyConfigFields KeyConfigInWords::Fields() const {
    KeyConfigFields f;
    f.shortLong = shortLong;
    f.longPressMs = longPressMs;
    f.pressText = Utf8ToUtf16(pressText).value_or(std::u16string());
    f.pressHex = pressHex;
    f.releaseText = Utf8ToUtf16(releaseText).value_or(std::u16string());
    f.releaseHex = releaseHex;
    f.serialFormat = serial;
    return f;
}

KeyConfigFields FieldsOf(const TarvoConfig& config) {
    const auto text = [](const std::vector<std::uint8_t>& codes) {
        const std::string hex = FormatCodes(codes);
        return std::u16string(hex.begin(), hex.end());
    };
    KeyConfigFields f;
    f.shortLong = config.keyMode != 0;
    f.longPressMs = config.longPressMs;
    f.pressText = text(config.pressCodes);
    f.pressHex = true;
    f.releaseText = text(config.releaseCodes);
    f.releaseHex = true;
    f.serialFormat =
        DeviceSerialFormat{static_cast<std::uint32_t>(config.baud), config.dataBitsIndex,
                           config.stopBitsIndex, config.parityIndex};
    return f;
}
