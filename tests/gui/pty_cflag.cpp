#include "pty_cflag.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ReadPtyControl(int fd, PtyControl* out) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    out->cflag = t.c_cflag;
    out->baud = t.c_ospeed;
    out->stopBits2 = (t.c_cflag & CSTOPB) != 0;
    out->markSpace = (t.c_cflag & CMSPAR) != 0;
    out->odd = (t.c_cflag & PARODD) != 0;
    return true;
}
