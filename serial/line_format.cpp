#include "serial/line_format.h"

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
    settings.baudRate = baudRate;
    settings.byteSize = dataBits;
    settings.parity = ParityFromLetter(parityLetter);
    settings.stopBits = StopBitsFromCode(stopBitsCode);
    return settings;
}
