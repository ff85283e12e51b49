#pragma once
// A TARVO key configuration in words, as files hold it: the key-configuration file of orvalctl
// and the panels of a commissioning project use the same field names and the same words, and
// every value is checked as the window's TARVO page would check it before "写入". Each Take...
// stores the value and returns nothing, or returns why the value is refused (a short English
// sentence; where the window has words of its own for it, they follow on a second line).
//
//   key_mode / mode   short-long | press-release
//   long_press_ms     600..10000
//   codes, hex        "01 02 0A" with hex = yes; with hex = no one byte per character
//   baud              one of the page's rates      data_bits  8 | 7 | 6 | 5
//   stop_bits         1 | 1.5 | 2                  parity     none | odd | even | mark | space

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bus/tarvo_config.h"
#include "session/key_config_sequence.h"

using Refusal = std::optional<std::string>;

// A panel's key configuration as a file holds it: every field of the TARVO page, with the code
// texts as written and the bytes the page's conversion makes of them.
struct KeyConfigInWords {
    bool shortLong = true;
    std::uint32_t longPressMs = 800;
    std::string pressText;  // UTF-8, as written
    bool pressHex = true;
    std::string releaseText;
    bool releaseHex = true;
    DeviceSerialFormat serial{9600, 0, 0, 0};  // indexes in the page's lists
    std::vector<std::uint8_t> pressCodes;
    std::vector<std::uint8_t> releaseCodes;

    // What the write sequence takes: the same values, with the code texts as the page's edits
    // hold them.
    KeyConfigFields Fields() const;
};

// "short-long" or "press-release" (case-insensitive).
Refusal TakeKeyMode(std::string_view word, bool* shortLong);
const char* KeyModeWord(bool shortLong);
// Decimal digits within the window's limits.
Refusal TakeLongPressMs(std::string_view text, std::uint32_t* ms);
Refusal CheckLongPressMs(std::uint64_t ms);
// yes, no, true, false, 1, 0 (case-insensitive).
Refusal TakeYesNo(std::string_view word, bool* value);
// A code set's text (UTF-8) with its "16进制" flag: hexadecimal text must be bytes of two digits
// with single spaces, plain text one byte per character up to U+00FF, at most 64 codes. On
// success *text holds the text as the page's edit would, and *codes the bytes it sends.
Refusal TakeCodes(const std::string& utf8, bool hex, std::u16string* text,
                  std::vector<std::uint8_t>* codes);
// The page's lists: a rate it offers, and the words of its data bits, stop bits and parity.
Refusal TakeBaud(std::string_view word, std::uint32_t* baud);
Refusal TakeDataBits(std::string_view word, unsigned* index);
Refusal TakeStopBits(std::string_view word, unsigned* index);
Refusal TakeParity(std::string_view word, unsigned* index);

// A read-back value for a file: the word of a list's index, or the number marked as not in the
// page's list.
std::string ListedWord(const std::string& word, unsigned index);
bool BaudListed(std::int32_t baud);

// What a panel reads back, as the fields a file holds (every code set hexadecimal).
KeyConfigFields FieldsOf(const TarvoConfig& config);
