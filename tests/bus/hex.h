#pragma once
// Byte strings written as hex text in the tests: "FA 09 00 05 FE".

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    }
    return bytes;
}

template <class It>
std::string ToHex(It begin, It end) {
    std::string text;
    char buf[4];
    for (It it = begin; it != end; ++it) {
        std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned>(*it));
        text += buf;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

inline std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    return ToHex(bytes.begin(), bytes.end());
}
