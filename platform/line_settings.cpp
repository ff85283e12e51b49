#include "platform/line_settings.h"

#include <utility>

Parity ParityFromLetter(char letter) {
    const char upper =
        (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
    switch (upper) {
        case 'E':
            return Parity::Even;
        case 'M':
            return Parity::Mark;
        case 'O':
            return Parity::Odd;
        case 'S':
            return Parity::Space;
        default:
            return Parity::None;
    }
}

StopBits StopBitsFromCode(std::uint8_t code) {
    return static_cast<StopBits>(code);
}

LineSettings MakeLineSettings(std::uint32_t baudRate, char parityLetter, std::uint8_t dataBits,
                              std::uint8_t stopBitsCode) {
    LineSettings settings;
    settings.baud = baudRate;
    settings.dataBits = dataBits;
    settings.parity = ParityFromLetter(parityLetter);
    settings.stopBits = StopBitsFromCode(stopBitsCode);
    return settings;
}

std::optional<Parity> ParityFromWord(std::string_view word) {
    constexpr std::pair<std::string_view, Parity> kWords[] = {{"none", Parity::None},
                                                              {"odd", Parity::Odd},
                                                              {"even", Parity::Even},
                                                              {"mark", Parity::Mark},
                                                              {"space", Parity::Space}};
    for (const auto& [name, parity] : kWords) {
        if (word == name) {
            return parity;
        }
    }
    return std::nullopt;
}

std::optional<StopBits> StopBitsFromWord(std::string_view word) {
    constexpr std::pair<std::string_view, StopBits> kWords[] = {
        {"1", StopBits::One}, {"1.5", StopBits::OnePointFive}, {"2", StopBits::Two}};
    for (const auto& [name, stopBits] : kWords) {
        if (word == name) {
            return stopBits;
        }
    }
    return std::nullopt;
}
