#include <poll.h>

#include <cerrno>

#include "platform/native_handles_linux.h"
#include "platform/wait_slots.h"

SlotWaitResult WaitForSlots(const ManualResetEvent& slot0, const ManualResetEvent& slot1,
                            const SerialDevice* device, int timeoutMs) {
    pollfd fds[3] = {
        {slot0.GetNative().fd, POLLIN, 0},
        {slot1.GetNative().fd, POLLIN, 0},
        {device ? device->GetNative().fd : -1, POLLIN, 0},  // a negative descriptor is ignored
    };
    int n;
    do {
        n = ::poll(fds, 3, timeoutMs);
    } while (n < 0 && errno == EINTR);
    SlotWaitResult result;
    if (n < 0) {
        result.slot = -2;
        return result;
    }
    for (int i = 0; i < 3; ++i) {
        if (fds[i].revents != 0) {
            result.slot = i;
            if (i == 2) {
                // A hung-up tty reports IN|OUT|ERR|HUP at once: readable and gone.
                result.readable = (fds[i].revents & POLLIN) != 0;
                if (fds[i].revents & POLLNVAL) {
                    result.goneError = EBADF;
                } else if (fds[i].revents & (POLLHUP | POLLERR)) {
                    result.goneError = EIO;
                }
            }
            return result;
        }
    }
    return result;
}
