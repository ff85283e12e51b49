#pragma once
// How the engine's line-format arguments (baud rate, parity letter, data bits, stop-bits code)
// become the device's line settings. Pure functions, so the mapping can be checked without a
// device.

#include <cstdint>

#include "platform/tty_line_settings.h"

// The letter is upper-cased first: 'E' even, 'M' mark, 'O' odd, 'S' space; 'N' and every other
// character give no parity.
Parity ParityFromLetter(char letter);

// 0 one stop bit, 1 one and a half, 2 two. Other codes are kept as they are, and the device
// refuses them when the settings are applied.
StopBits StopBitsFromCode(std::uint8_t code);

LineSettings MakeLineSettings(std::uint32_t baudRate, char parityLetter, std::uint8_t dataBits,
                              std::uint8_t stopBitsCode);
