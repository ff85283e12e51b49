#pragma once
// The TARVO configuration block: the 150 bytes that follow the ten-byte head of the 0x23 long
// reply. Layout (little-endian):
//   0..3   baud rate, signed 32-bit (the rate itself)
//   4      data-bits index   5  stop-bits index   6  parity index   7  unused
//   8      key mode (0 = press/release, other = short/long press)
//   9      number of codes in the second set   10  number of codes in the first set   11 unused
//   12..13 long-press time in ms
//   14..77 second-set codes (64)   78..141 first-set codes (64)   142..149 unused

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bus/frame.h"

struct TarvoConfigBlock {
    std::array<std::uint8_t, kConfigBlockSize> bytes{};
};

namespace tarvo_block {
inline constexpr std::size_t kBaud = 0;
inline constexpr std::size_t kDataBits = 4;
inline constexpr std::size_t kStopBits = 5;
inline constexpr std::size_t kParity = 6;
inline constexpr std::size_t kKeyMode = 8;
inline constexpr std::size_t kReleaseCount = 9;
inline constexpr std::size_t kPressCount = 10;
inline constexpr std::size_t kLongPress = 12;
inline constexpr std::size_t kReleaseCodes = 14;
inline constexpr std::size_t kPressCodes = 78;
inline constexpr std::size_t kCodesPerSet = kMaxFunctionCodes;
}  // namespace tarvo_block

// Decoded view of a block. pressCodes is the first set (press / short press), releaseCodes the
// second set (release / long press).
struct TarvoConfig {
    std::int32_t baud = 0;
    std::uint8_t dataBitsIndex = 0;
    std::uint8_t stopBitsIndex = 0;
    std::uint8_t parityIndex = 0;
    std::uint8_t keyMode = 0;
    std::uint16_t longPressMs = 0;
    std::vector<std::uint8_t> pressCodes;
    std::vector<std::uint8_t> releaseCodes;
};

// Code counts above 64 are cut to 64, so nothing is read past the block.
TarvoConfig DecodeTarvoConfig(const TarvoConfigBlock& block);

// The block a device sends for `config` (code sets longer than 64 are cut to 64; unused bytes 0).
TarvoConfigBlock EncodeTarvoConfig(const TarvoConfig& config);

// Each byte as "%02X ", joined, leading and trailing white space removed: "01 02 0A".
std::string FormatCodes(const std::vector<std::uint8_t>& codes);
