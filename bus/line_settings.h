#pragma once
// The line-settings tables: the indices a TARVO device's serial format carries (configuration
// block, command 0x25) point into them, and the local serial-port panel and the TARVO page
// list them in this order (each entry a combo text and the item data stored with it).

#include <array>
#include <cstdint>
#include <string>

// Baud rates in bit/s; the text of an entry is the rate in decimal. 194000 is not a standard
// rate and is passed to the serial engine unchanged.
inline constexpr std::array<std::uint32_t, 10> kBaudRates = {1200,  2400,  4800,  9600,   14400,
                                                             19200, 38400, 56000, 115200, 194000};
inline constexpr int kDefaultBaudIndex = 3;  // 9600

// Data bits; text = the number in decimal.
inline constexpr std::array<std::uint8_t, 4> kDataBits = {8, 7, 6, 5};

// Stop bits: the text, and the stop-bits code the serial engine takes (its index).
inline constexpr std::array<const char*, 3> kStopBitsTexts = {"1", "1.5", "2"};

// Parity: the text, and the parity letter the serial engine takes (same index in "NOEMS").
inline constexpr std::array<const char*, 5> kParityTexts = {"NONE", "ODD", "EVEN", "MARK", "SPACE"};
inline constexpr char kParityLetters[] = "NOEMS";

static_assert(sizeof(kParityLetters) - 1 == kParityTexts.size());

// The words of the tables in files and on the command line: "8", "1.5", "none". Empty for an
// index a table lacks.
std::string DataBitsWord(unsigned index);
std::string StopBitsWord(unsigned index);
std::string ParityWord(unsigned index);
