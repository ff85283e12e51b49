#pragma once
// Line settings on a Linux tty, applied with termios2 so that any baud rate can be asked for
// (BOTHER), 194000 included. Only platform's Linux sources (and tests) include this header.
//
// Termios has no 1.5 stop bits. OnePointFive maps to CSTOPB, as a UART sends 1.5 stop bits for
// 5 data bits when CSTOPB is set. As a serial port's own settings do, 1.5 stop bits are refused
// with 6 to 8 data bits (they would silently give 2) and 2 stop bits with 5 data bits (they would
// give 1.5).

#include <cstdint>

#include "platform/line_settings.h"

// The c_cflag bits that encode data bits, stop bits and parity: `set` within `mask`
// (mask = CSIZE|CSTOPB|PARENB|PARODD|CMSPAR). valid is false when a setting can't be
// expressed (data bits outside 5..8, unknown stop-bits or parity code, baud rate 0, a stop-bits
// code that the data bits don't allow).
struct LineControlFlags {
    std::uint32_t set = 0;
    std::uint32_t mask = 0;
    bool valid = false;
};
LineControlFlags ComputeLineControlFlags(const LineSettings& settings);

// Reads the tty's current settings (TCGETS2). False with errno on failure.
bool GetTtyLineSettings(int fd, LineSettings* settings);

// Puts the tty in raw mode (no echo, no line editing, no character translation, no software or
// hardware flow control, receiver on, modem lines ignored, VMIN=1 VTIME=0) with the given
// settings, and raises RTS where the device has modem lines. False with errno on failure;
// EINVAL for settings that can't be expressed, and then the tty keeps its previous settings.
bool SetTtyLineSettings(int fd, const LineSettings& settings);
