#pragma once
// Conversion of the text of a function-code edit into code bytes. The edit gives its text with
// CRLF line breaks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bus/frame.h"

// CodeTextToBytes result for plain-character text holding a character above U+00FF: such text
// has no single-byte form, so nothing is to be sent and the user is to be told.
inline constexpr int kCodeTextUnencodable = -1;

// Parses hexadecimal text into `out`. Each byte is a high and a low digit; one space before a
// byte and one space between its digits are skipped. '0'..'9', 'A'..'F', 'a'..'f' are digits;
// every other character (a second space, a line break) counts as the digit F, and so does the
// end of the text when a low digit is due. Text that ends right after a high digit gives 0.
// A single space at the very end is ignored. Never writes past outSize; returns the number of
// bytes written.
int ParseHexCodes(std::u16string_view text, std::uint8_t* out, std::size_t outSize);

// Zeroes `out`, converts `text` (hexadecimal when `hex`, otherwise one byte per character) and
// returns the number of bytes, cut to 64. Plain text with a character above U+00FF returns
// kCodeTextUnencodable.
int CodeTextToBytes(std::u16string_view text, bool hex,
                    std::array<std::uint8_t, kFrameBufferSize>& out);

// UTF-8 text (a code text from a file) as the UTF-16 an edit holds; nothing for text that is not
// UTF-8 (a stray or cut byte, an overlong form, a surrogate).
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
