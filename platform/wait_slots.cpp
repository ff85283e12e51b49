#include "platform/wait_slots.h"

#include <poll.h>

#include <cerrno>

#include "platform/manual_reset_event.h"

SlotWaitResult WaitForSlots(const ManualResetEvent& slot0, const ManualResetEvent& slot1, int ttyFd,
                            int timeoutMs) {
    pollfd fds[3] = {
        {slot0.Fd(), POLLIN, 0},
        {slot1.Fd(), POLLIN, 0},
        {ttyFd, POLLIN, 0},  // a negative descriptor is ignored by poll
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
                result.ttyEvents = fds[i].revents;
            }
            return result;
        }
    }
    return result;
}
