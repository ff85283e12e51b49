#pragma once
// Reading a file a user names (a key configuration, a commissioning project): only a regular
// file, only up to a size a hand-written file never reaches, and never blocking on a pipe or a
// device. Whatever stands at the path is told in words when it is not such a file.

#include <cstddef>
#include <optional>
#include <string>

inline constexpr std::size_t kMaxTextFileBytes = 1024 * 1024;

struct TextFileRead {
    std::optional<std::string> text;  // the whole file, byte for byte
    std::string error;  // when there is no text: "is a directory", "larger than 1 MiB", ...
};

// Reads `path` whole. Refuses a directory, anything that is not a regular file (a pipe, a
// terminal, /dev/zero), a file larger than `limit` bytes, and a file that can't be opened or
// read (the system's reason).
TextFileRead ReadTextFile(const std::string& path, std::size_t limit = kMaxTextFileBytes);
