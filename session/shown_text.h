#pragma once
// Text that came from outside (a command-line argument, a file, a port's name, a device) as it
// may be shown on a terminal: control characters and bytes that are not UTF-8 are written as
// escapes, so they can neither break a table nor drive the terminal, and a long text is cut.

#include <cstddef>
#include <string>
#include <string_view>

// Characters kept of an echoed value before it is cut with "…".
inline constexpr std::size_t kShownChars = 64;
// No cut: for texts the user wrote themselves (labels, notes, file names) shown in full.
inline constexpr std::size_t kWholeText = static_cast<std::size_t>(-1);

// `text` with "\n", "\t", "\r", "\\" and "\xNN" for every other control character, DEL and
// byte that is not part of valid UTF-8, and "\uNNNN" for the C1 controls and the characters
// that reorder or break the rest of a line (bidirectional overrides, line separators); at most
// `maxChars` characters of it, then "…".
std::string Shown(std::string_view text, std::size_t maxChars = kShownChars);

// Shown(text) in single quotes: "'abc'".
std::string Quoted(std::string_view text);
