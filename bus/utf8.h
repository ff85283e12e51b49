#pragma once
// UTF-8 as the tool reads it from files, arguments, labels and devices' texts: only well-formed
// sequences count (no overlong forms, no surrogates, nothing past U+10FFFF).

#include <cstddef>
#include <string_view>

// The length of the well-formed UTF-8 sequence that starts at text[i] (1 to 4), with its code
// point in `code` when given; 0 when none starts there.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t* code = nullptr);
