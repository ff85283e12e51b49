#pragma once
// The monitor's wait on three slots (the stand-in for WaitForMultipleObjects on three events):
// slot 0 and slot 1 are manual-reset events, slot 2 is a tty descriptor waited on for input.
// When several slots are ready the lowest one wins.

class ManualResetEvent;

struct SlotWaitResult {
    // 0, 1 or 2; -1 when the time-out elapsed; -2 when poll itself failed (errno is set).
    int slot = -1;
    // For slot 2: the poll events of the tty (POLLIN, POLLHUP, POLLERR, POLLNVAL).
    short ttyEvents = 0;
};

// ttyFd < 0 leaves slot 2 out of the wait (a device that is gone is no longer polled).
// timeoutMs < 0 waits without time-out. An interrupted poll is restarted.
SlotWaitResult WaitForSlots(const ManualResetEvent& slot0, const ManualResetEvent& slot1, int ttyFd,
                            int timeoutMs = -1);
