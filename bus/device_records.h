#pragma once
// Found-device records: the address and the four state bytes (frame bytes 6..9) of a device's
// 0xFE reply, kept per address by the MIRELL and OSKAN pages.

#include <array>
#include <cstdint>

struct OrvalMirell {
    std::uint8_t addr;
    std::array<std::uint8_t, 4> state;
};

struct OrvalOskan {
    std::uint8_t addr;
    std::array<std::uint8_t, 4> state;
};
