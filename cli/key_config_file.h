#pragma once
// The key configuration of a TARVO panel as an INI file: what the TARVO page holds for its
// "写入" (key mode, long-press time, both function-code sets with their "16进制" flags, the
// panel's own serial format), read with the page's checks and turned into code bytes by the
// page's conversion. read-config prints this format, so a panel's configuration can be read
// from one panel and written to the next.
//
//   [key]
//   mode = short-long          ; or press-release
//   long_press_ms = 800        ; 600..10000
//   [press]                    ; first set: press, or short press
//   codes = 01 02 0A
//   hex = yes                  ; no: one byte per character of codes
//   [release]                  ; second set: release, or long press
//   codes =
//   hex = yes
//   [serial]                   ; the panel's serial format
//   baud = 9600                ; one of the page's rates
//   data_bits = 8              ; 8, 7, 6, 5
//   stop_bits = 1              ; 1, 1.5, 2
//   parity = none              ; none, odd, even, mark, space

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/line_settings.h"
#include "bus/tarvo_config.h"
#include "session/key_config_sequence.h"
#include "session/key_config_words.h"

// The key-configuration file holds what a planned panel holds, in the same words.
using KeyConfigSettings = KeyConfigInWords;

struct KeyConfigError {
    int line = 0;     // 1-based; 0 when the fault is the whole file (a key that is missing)
    std::string key;  // "section.key", or empty for a line that is no key
    std::string message;
};

// Reads INI text. Blank lines and lines starting with '#' or ';' are ignored; a value may be
// put in double quotes to keep leading or trailing blanks. Unknown sections and keys, a key
// given twice and a missing key are errors, as is any value the page would refuse.
std::optional<KeyConfigSettings> ParseKeyConfig(const std::string& text, KeyConfigError* error);

// The INI text of a configuration read back from a panel. Values the page's lists lack (a rate
// or an index no list has) are written as they are, marked in a comment; writing such a file
// back is refused.
std::string FormatKeyConfig(const TarvoConfig& config);
