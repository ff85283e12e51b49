#pragma once
// The line settings of a serial port (the stand-in for the format part of a DCB): baud rate,
// data bits, parity and stop bits. The window, the session, the command-line tool and the engine
// all use this one value; the device applies it (platform/serial_device.h).
//
// The conversions from the words and letters that users and lists give are here too, so each
// spelling is read in one place.

#include <cstdint>
#include <optional>
#include <string_view>

// The numeric values are the ones the line-settings tables use.
enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : std::uint8_t { One = 0, OnePointFive = 1, Two = 2 };

// 9600 bit/s, 8 data bits, no parity, one stop bit unless told otherwise. A device refuses
// 1.5 stop bits with 6 to 8 data bits, 2 stop bits with 5, data bits outside 5..8 and rate 0.
struct LineSettings {
    std::uint32_t baud = 9600;
    std::uint8_t dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
};

// The parity letter the window's list carries as item data, upper-cased first: 'E' even,
// 'M' mark, 'O' odd, 'S' space; 'N' and every other character give no parity.
Parity ParityFromLetter(char letter);

// The stop-bits code the window's list carries: 0 one, 1 one and a half, 2 two. Other codes are
// kept as they are, and the device refuses them when the settings are applied.
StopBits StopBitsFromCode(std::uint8_t code);

// The settings from the window's lists: rate, parity letter, data bits, stop-bits code.
LineSettings MakeLineSettings(std::uint32_t baudRate, char parityLetter, std::uint8_t dataBits,
                              std::uint8_t stopBitsCode);

// The words of the command line: "none", "odd", "even", "mark", "space"; nothing for any other.
std::optional<Parity> ParityFromWord(std::string_view word);
// "1", "1.5" or "2"; nothing for any other.
std::optional<StopBits> StopBitsFromWord(std::string_view word);
