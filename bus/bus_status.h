#pragma once
// The status-list line that a received command byte announces.

#include <cstdint>

// UTF-8 text of the status line for `command`, or nullptr when the command has none.
const char* BusStatusText(std::uint8_t command);
