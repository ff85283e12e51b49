#pragma once
// What CSerialPort tells an observer about its traffic (the bus monitor, the command-line tool),
// beside its owner's messages: the port opened, the bytes it wrote, a request replaced by a later
// one before it was written, received bytes discarded by the purge before a write, when bytes
// were read, and failed device calls. The calls come from
// the monitor thread (OnPortOpened and OnReplaced from the caller of OpenPort and SendBytes)
// while the engine holds its own locks: an implementation takes no lock of the engine's,
// calls nothing of the engine and returns at once.

#include <cstddef>
#include <cstdint>

class ISerialTap {
public:
    virtual ~ISerialTap() = default;
    virtual void OnPortOpened(unsigned portNumber) = 0;
    virtual void OnWritten(const std::uint8_t* bytes, std::size_t count) = 0;
    virtual void OnReplaced(const std::uint8_t* bytes, std::size_t count) = 0;
    virtual void OnPurged(std::size_t unreadBytes) = 0;
    // From the monitor thread: `count` more bytes were read from the device just now, before
    // they are handed to the owner. Lets an observer tell when bytes arrived, not only when they
    // were handled.
    virtual void OnReceived(std::size_t /*count*/) {}
    // A device call failed and is reported in an "Application Error" box; `gone` when the device
    // hung up (it is serviced no more until the port is closed). From the thread that made the
    // call: the caller of OpenPort, or the monitor.
    virtual void OnFailure(const char* /*operation*/, int /*errorNumber*/, bool /*gone*/) {}
};
