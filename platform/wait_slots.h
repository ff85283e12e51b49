#pragma once
// The monitor's wait on three slots (the stand-in for WaitForMultipleObjects on three events):
// slot 0 and slot 1 are manual-reset events, slot 2 is a serial device waited on for input.
// When several slots are ready the lowest one wins.

class ManualResetEvent;
class SerialDevice;

struct SlotWaitResult {
    // 0, 1 or 2; -1 when the time-out elapsed; -2 when the wait itself failed (errno is set).
    int slot = -1;
    // Slot 2: input waits to be read.
    bool readable = false;
    // Slot 2: 0 while the device is there; otherwise it is gone (hung up, failed, or no longer
    // open), and this is the error to report for it: EIO, or EBADF for a device not open.
    int goneError = 0;
};

// device nullptr leaves slot 2 out of the wait (a device that is gone is no longer waited on).
// timeoutMs < 0 waits without time-out. An interrupted wait is restarted.
SlotWaitResult WaitForSlots(const ManualResetEvent& slot0, const ManualResetEvent& slot1,
                            const SerialDevice* device, int timeoutMs = -1);
