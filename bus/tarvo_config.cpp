#include "bus/tarvo_config.h"

#include <algorithm>
#include <cstdio>

using namespace tarvo_block;

namespace {

std::vector<std::uint8_t> ReadCodes(const TarvoConfigBlock& block, std::size_t countAt,
                                    std::size_t codesAt) {
    const std::size_t count = std::min<std::size_t>(block.bytes[countAt], kCodesPerSet);
    return {block.bytes.begin() + codesAt, block.bytes.begin() + codesAt + count};
}

std::uint8_t WriteCodes(TarvoConfigBlock& block, const std::vector<std::uint8_t>& codes,
                        std::size_t codesAt) {
    const std::size_t count = std::min(codes.size(), kCodesPerSet);
    std::copy_n(codes.begin(), count, block.bytes.begin() + codesAt);
    return static_cast<std::uint8_t>(count);
}

}  // namespace

TarvoConfig DecodeTarvoConfig(const TarvoConfigBlock& block) {
    const auto& b = block.bytes;
    TarvoConfig c;
    const std::uint32_t baud = std::uint32_t{b[kBaud]} | std::uint32_t{b[kBaud + 1]} << 8 |
                               std::uint32_t{b[kBaud + 2]} << 16 |
                               std::uint32_t{b[kBaud + 3]} << 24;
    c.baud = static_cast<std::int32_t>(baud);
    c.dataBitsIndex = b[kDataBits];
    c.stopBitsIndex = b[kStopBits];
    c.parityIndex = b[kParity];
    c.keyMode = b[kKeyMode];
    c.longPressMs = static_cast<std::uint16_t>(b[kLongPress] | b[kLongPress + 1] << 8);
    c.pressCodes = ReadCodes(block, kPressCount, kPressCodes);
    c.releaseCodes = ReadCodes(block, kReleaseCount, kReleaseCodes);
    return c;
}

TarvoConfigBlock EncodeTarvoConfig(const TarvoConfig& config) {
    TarvoConfigBlock block;
    auto& b = block.bytes;
    const auto baud = static_cast<std::uint32_t>(config.baud);
    for (int i = 0; i < 4; ++i) {
        b[kBaud + i] = static_cast<std::uint8_t>(baud >> (8 * i));
    }
    b[kDataBits] = config.dataBitsIndex;
    b[kStopBits] = config.stopBitsIndex;
    b[kParity] = config.parityIndex;
    b[kKeyMode] = config.keyMode;
    b[kLongPress] = static_cast<std::uint8_t>(config.longPressMs);
    b[kLongPress + 1] = static_cast<std::uint8_t>(config.longPressMs >> 8);
    b[kPressCount] = WriteCodes(block, config.pressCodes, kPressCodes);
    b[kReleaseCount] = WriteCodes(block, config.releaseCodes, kReleaseCodes);
    return block;
}

std::string FormatCodes(const std::vector<std::uint8_t>& codes) {
    std::string text;
    text.reserve(codes.size() * 3);
    char hex[4];
    for (std::uint8_t code : codes) {
        std::snprintf(hex, sizeof hex, "%02X ", code);
        text += hex;
    }
    // Only the separators can be white space: drop the trailing one.
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}
