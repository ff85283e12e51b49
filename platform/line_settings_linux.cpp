// The only file that speaks termios2: <asm/termbits.h> can't share a translation unit with
// <termios.h>, so nothing else here includes it.
#include "platform/line_settings_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <iterator>

namespace {

constexpr std::uint32_t kFormatMask = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;
// The CSIZE value of each number of data bits from 5 to 8.
constexpr std::uint32_t kDataBitsFlags[] = {CS5, CS6, CS7, CS8};
constexpr std::uint8_t kMinDataBits = 5;

}  // namespace

LineControlFlags ComputeLineControlFlags(const LineSettings& settings) {
    LineControlFlags flags;
    flags.mask = kFormatMask;
    flags.valid = settings.baud != 0;
    const unsigned sizeIndex = unsigned{settings.dataBits} - kMinDataBits;  // wraps below 5
    if (sizeIndex < std::size(kDataBitsFlags)) {
        flags.set |= kDataBitsFlags[sizeIndex];
    } else {
        flags.valid = false;
    }
    const bool fiveBits = settings.dataBits == kMinDataBits;
    switch (settings.stopBits) {
        case StopBits::One:
            break;
        case StopBits::OnePointFive:  // see the header: 1.5 stop bits is CSTOPB with 5 data bits
            flags.set |= CSTOPB;
            flags.valid = flags.valid && fiveBits;
            break;
        case StopBits::Two:
            flags.set |= CSTOPB;
            flags.valid = flags.valid && !fiveBits;
            break;
        default:
            flags.valid = false;
            break;
    }
    switch (settings.parity) {
        case Parity::None:
            break;
        case Parity::Odd:
            flags.set |= PARENB | PARODD;
            break;
        case Parity::Even:
            flags.set |= PARENB;
            break;
        case Parity::Mark:
            flags.set |= PARENB | CMSPAR | PARODD;
            break;
        case Parity::Space:
            flags.set |= PARENB | CMSPAR;
            break;
        default:
            flags.valid = false;
            break;
    }
    return flags;
}

bool GetTtyLineSettings(int fd, LineSettings* settings) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    settings->baud = t.c_ospeed;
    settings->dataBits = 8;
    for (std::size_t i = 0; i < std::size(kDataBitsFlags); ++i) {
        if ((t.c_cflag & CSIZE) == kDataBitsFlags[i]) {
            settings->dataBits = static_cast<std::uint8_t>(kMinDataBits + i);
        }
    }
    if (!(t.c_cflag & CSTOPB)) {
        settings->stopBits = StopBits::One;
    } else {
        settings->stopBits = settings->dataBits == 5 ? StopBits::OnePointFive : StopBits::Two;
    }
    if (!(t.c_cflag & PARENB)) {
        settings->parity = Parity::None;
    } else if (t.c_cflag & CMSPAR) {
        settings->parity = (t.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
    } else {
        settings->parity = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    }
    return true;
}

bool SetTtyLineSettings(int fd, const LineSettings& settings) {
    const LineControlFlags flags = ComputeLineControlFlags(settings);
    if (!flags.valid) {
        errno = EINVAL;
        return false;
    }
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    // Raw: bytes pass unchanged in both directions, reads return as soon as one byte is there.
    t.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(kFormatMask | CBAUD | (CBAUD << IBSHIFT) | CRTSCTS);
    t.c_cflag |= flags.set | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = settings.baud;
    t.c_ospeed = settings.baud;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::ioctl(fd, TCSETS2, &t) != 0) {
        return false;
    }
    // RTS on, as the port's owner expects; a device without modem lines (a pseudo-terminal)
    // refuses the request, which changes nothing.
    int rts = TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &rts);
    return true;
}
