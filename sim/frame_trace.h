#pragma once
// Readable one-line descriptions of bus frames for the simulator's trace.

#include <cstdint>
#include <string>
#include <vector>

// "FA 09 00 00"; frames longer than `limit` bytes end in "... (160 bytes)".
std::string HexBytes(const std::vector<std::uint8_t>& bytes, std::size_t limit = 16);

// What a frame from the PC asks for: "search TARVO", "TARVO 5: LED1 on", ...
std::string DescribePcFrame(const std::vector<std::uint8_t>& frame);

// What a device's frame says: "TARVO 1 found, state 54 A0 00 01", ...
std::string DescribeDeviceFrame(const std::vector<std::uint8_t>& frame);
