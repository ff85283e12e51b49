#pragma once
// SerialDevice and ManualResetEvent on Linux: the descriptors behind them, for the platform's
// own waits (poll). Only platform's Linux sources (and tests) include this header.

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/manual_reset_event.h"
#include "platform/serial_device.h"

struct SerialDevice::Native {
    static constexpr std::size_t kBufferSize = 4096;
    int fd = -1;  // the tty, opened non-blocking; -1 while closed
    // Input read from the kernel and not yet taken: buffer[begin, end).
    std::array<std::uint8_t, kBufferSize> buffer{};
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct ManualResetEvent::Native {
    int fd = -1;  // an eventfd, readable (POLLIN) exactly while the event is signalled
};
