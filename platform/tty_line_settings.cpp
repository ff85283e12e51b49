// The only file that speaks termios2: <asm/termbits.h> can't share a translation unit with
// <termios.h>, so nothing else here includes it.
#include "platform/tty_line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace {

constexpr std::uint32_t kFormatMask = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;

}  // namespace

LineControlFlags ComputeLineControlFlags(const LineSettings& settings) {
    LineControlFlags flags;
    flags.mask = kFormatMask;
    flags.valid = settings.baudRate != 0;
    switch (settings.byteSize) {
        case 5:
            flags.set |= CS5;
            break;
        case 6:
            flags.set |= CS6;
            break;
        case 7:
            flags.set |= CS7;
            break;
        case 8:
            flags.set |= CS8;
            break;
        default:
            flags.valid = false;
            break;
    }
    switch (settings.stopBits) {
        case StopBits::One:
            break;
        case StopBits::OnePointFive:  // see the header: 1.5 stop bits is CSTOPB with 5 data bits
        case StopBits::Two:
            flags.set |= CSTOPB;
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
    settings->baudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
        case CS5:
            settings->byteSize = 5;
            break;
        case CS6:
            settings->byteSize = 6;
            break;
        case CS7:
            settings->byteSize = 7;
            break;
        default:
            settings->byteSize = 8;
            break;
    }
    if (!(t.c_cflag & CSTOPB)) {
        settings->stopBits = StopBits::One;
    } else {
        settings->stopBits = settings->byteSize == 5 ? StopBits::OnePointFive : StopBits::Two;
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
    t.c_ispeed = settings.baudRate;
    t.c_ospeed = settings.baudRate;
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
