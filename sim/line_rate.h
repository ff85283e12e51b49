#pragma once
// What a receiver hears of bytes sent at another line rate. A pseudo-terminal carries bytes, not
// a line: whatever rates its two ends set, every byte arrives intact. The simulator's devices may
// listen and talk at a rate of their own, and then this stands in for the wire: the sender's
// bytes become the levels of an asynchronous serial line (a start bit, eight data bits least
// significant first, the stop bits, back to back, the line idle before and after), and a
// receiver at its own rate samples them as a UART does: it waits for a falling edge, checks the
// start bit half a bit later, and samples each data bit in its middle by its own clock. A byte
// with a framing error is still passed on, as a raw-mode tty passes it.
//
// Rates within a few per cent of each other still understand each other, as on a real line;
// beyond that the bytes garble, split or vanish.

#include <cstddef>
#include <cstdint>
#include <vector>

// The bytes a receiver at `receiverBaud` reads from `size` bytes sent in one burst at
// `senderBaud` with `stopBits` stop bits (1 or 2). Equal rates give the bytes unchanged.
std::vector<std::uint8_t> HeardAtRate(const std::uint8_t* bytes, std::size_t size,
                                      unsigned senderBaud, unsigned receiverBaud, int stopBits = 1);
