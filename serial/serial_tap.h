#pragma once
// What CSerialPort tells an observer about its traffic (the bus monitor), beside its owner's
// messages: the port opened, the bytes it wrote, a request replaced by a later one before it
// was written, and received bytes discarded by the purge before a write. The calls come from
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
};
