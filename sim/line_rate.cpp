#include "sim/line_rate.h"

#include <algorithm>

std::vector<std::uint8_t> HeardAtRate(const std::uint8_t* bytes, std::size_t size,
                                      unsigned senderBaud, unsigned receiverBaud, int stopBits) {
    if (senderBaud == receiverBaud || senderBaud == 0 || receiverBaud == 0 || size == 0) {
        return {bytes, bytes + size};
    }
    // The sender's line, one level per bit: true is mark (the idle level), false is space.
    std::vector<bool> cells;
    const int stops = std::clamp(stopBits, 1, 2);
    cells.reserve(size * static_cast<std::size_t>(9 + stops));
    for (std::size_t i = 0; i < size; ++i) {
        cells.push_back(false);
        for (int bit = 0; bit < 8; ++bit) {
            cells.push_back(((bytes[i] >> bit) & 1) != 0);
        }
        for (int s = 0; s < stops; ++s) {
            cells.push_back(true);
        }
    }
    // Time in units of 1 / (2 * sender * receiver) s, so that bit boundaries and the middles of
    // the receiver's bits are whole numbers: a sender's bit lasts 2 * receiver units, a
    // receiver's bit 2 * sender units.
    const std::uint64_t senderBit = 2ull * receiverBaud;
    const std::uint64_t receiverHalfBit = senderBaud;
    const auto level = [&](std::uint64_t t) {
        const std::uint64_t cell = t / senderBit;
        return cell >= cells.size() ? true : static_cast<bool>(cells[cell]);
    };

    std::vector<std::uint8_t> heard;
    std::size_t next = 0;  // the first cell where a falling edge may start the next byte
    for (;;) {
        // The next falling edge: a space cell after a mark cell (the line idles at mark before).
        std::size_t edge = next;
        while (edge < cells.size() && (cells[edge] || (edge > 0 && !cells[edge - 1]))) {
            ++edge;
        }
        if (edge >= cells.size()) {
            break;
        }
        const std::uint64_t start = edge * senderBit;
        // Half a bit later the start bit must still be there, else it was a glitch.
        if (level(start + receiverHalfBit)) {
            next = edge + 1;
            continue;
        }
        std::uint8_t byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (level(start + (2 * static_cast<std::uint64_t>(bit) + 3) * receiverHalfBit)) {
                byte |= static_cast<std::uint8_t>(1u << bit);
            }
        }
        heard.push_back(byte);
        // The receiver looks for the next start bit once it has sampled the stop bit.
        const std::uint64_t stopSample = start + 19 * receiverHalfBit;
        next = std::max<std::size_t>(
            edge + 1, static_cast<std::size_t>((stopSample + senderBit - 1) / senderBit));
    }
    return heard;
}
