#pragma once
// A serial device as the engine uses it (the stand-in for a COM handle): opened exclusively,
// non-blocking, with the operations the engine needs. Input is read from the system in large
// chunks into a user-space buffer and served one byte at a time from there, so taking a byte
// costs far less than one system call; the queued-input count and the purge both take that
// buffer into account, so it is invisible to the caller.
//
// The system's handle stays inside the platform: Native is defined by the implementation
// (native_handles_linux.h for serial_device_linux.cpp), and only the platform's own waits use
// it. Failures give the system's error number in errno.
//
// Not thread-safe: the engine serialises all calls on one device.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/line_settings.h"

class ManualResetEvent;

class SerialDevice {
public:
    SerialDevice();
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the device for reading and writing and takes it exclusively: no other program (on
    // Linux not even root's) opens it while it is held. False with errno when it can't be
    // opened; EBUSY when another holder has it.
    bool Open(const std::string& path);
    // Gives up the exclusive mode and closes. Safe when not open.
    void Close();
    bool IsOpen() const;

    bool GetLineSettings(LineSettings* settings) const;
    bool SetLineSettings(const LineSettings& settings);

    // Discards input not yet read (the system's queue and the user-space buffer) and output not
    // yet sent, as far as the device counts it unsent (its own output-queue count, never the
    // test probe's). False with errno when the device refuses (the buffer is emptied anyway).
    bool Purge();

    // Bytes waiting to be read: the user-space buffer, plus the system's input queue. The
    // system is only asked while the buffer is empty, so serving buffered bytes costs no system
    // call; bytes that arrive meanwhile are counted once the buffer is used up. False with
    // errno when the device refuses (a device that is gone).
    bool QueuedInput(std::size_t* count);

    // True for the errors of a device that hung up (adapter pulled, other end closed): EIO,
    // ENXIO, ENODEV.
    static bool IsHangUp(int errorNumber);

    enum class ReadStatus {
        Byte,    // *byte holds the next byte
        Empty,   // nothing to read now
        Gone,    // the device hung up: end of file (errno is then EIO) or an IsHangUp error
        Failed,  // any other error; errno is set
    };
    ReadStatus ReadByte(std::uint8_t* byte);

    // Writes all bytes, waiting for room in the output queue when it is full. Stops early when
    // `abort` becomes signalled while waiting. Returns the number of bytes written, or -1 with
    // errno when the device refused.
    long Write(const std::uint8_t* bytes, std::size_t count, const ManualResetEvent* abort);

    // Bytes written but not yet sent on the line (the driver's output queue). False with errno
    // when the device refuses (a device that is gone).
    bool QueuedOutput(std::size_t* count) const;

    enum class DrainStatus {
        Sent,     // the output queue is empty: the line has sent every byte written
        Aborted,  // `abort` became signalled first; the queue may still hold bytes
        Failed,   // the device refused the query; errno is set (EIO for a device that hung up)
    };
    // Waits until the line has sent every byte written. The queue is looked at every couple of
    // milliseconds, and the wait ends at once when `abort` becomes signalled.
    DrainStatus WaitUntilSent(const ManualResetEvent* abort);

    // The system's handle and the input buffer, for the platform's own waits.
    struct Native;
    Native& GetNative() { return *m_native; }
    const Native& GetNative() const { return *m_native; }

private:
    std::unique_ptr<Native> m_native;
};

// A pseudo-terminal has no output queue to speak of (its count is always 0), so a test that needs
// a line still sending installs a probe that answers for the count of every device: it is asked
// after the system's own query succeeded, so a device that is gone still reports its error.
// Returns the previous probe; an empty one restores the system's count. Any thread may call it.
using OutputQueueProbe = std::function<std::size_t()>;
OutputQueueProbe SetOutputQueueProbe(OutputQueueProbe probe);
