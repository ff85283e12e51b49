#pragma once
// The raw control flags and baud rate of a pseudo-terminal, read through its master (which
// reports the slave's settings). Kept apart because <asm/termbits.h> can't share a file with
// <termios.h>.

#include <cstdint>

struct PtyControl {
    std::uint32_t cflag = 0;
    std::uint32_t baud = 0;
    bool stopBits2 = false;  // CSTOPB
    bool markSpace = false;  // CMSPAR
    bool odd = false;        // PARODD
};

// False when the settings can't be read.
bool ReadPtyControl(int fd, PtyControl* out);
