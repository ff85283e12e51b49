#pragma once
// CSerialPort: the program's only path to the device bus. It owns one serial device, opened
// exclusively, and one monitor thread that performs every read and every write on it. Every
// received byte goes to the owner as one WM_SERIAL_RXBYTE (wParam = the byte, lParam = the port
// number), sent synchronously from the monitor thread, in runs: what a busy line brings within
// a few milliseconds goes over in one hand-over; after each run of received data the owner also
// gets WM_SERIAL_CTS_EVENT. Senders hand their bytes to SendBytes; the monitor purges both
// directions of the device before every write, and a write is complete once the line has sent
// it (closing doesn't wait for that).
//
// All operations but SendBytes are called on the owner's thread. Failed device calls are reported
// in an "Application Error" message box, on the thread that made the call.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/line_settings.h"
#include "platform/manual_reset_event.h"
#include "platform/serial_device.h"
#include "platform/window_message.h"
#include "serial/serial_port_entry.h"
#include "serial/serial_tap.h"

class CSerialPort {
public:
    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Stops a running monitor, closes an open device, then opens the device of `port` and gives
    // it `line` (data bits 5..8; 1.5 stop bits with 5 data bits only, 2 stop bits not with 5).
    // The port's number goes with every message and report. False only when the device can't be
    // opened (busy, missing, or an entry without a path: a number that isn't listed, see
    // PortEntry); settings the device refuses are reported, the device keeps its previous ones
    // and the port still opens.
    bool OpenPort(IMessageOwner* owner, const SerialPortEntry& port, const LineSettings& line);
    // Starts the monitor thread. False when no port was ever opened, a monitor already runs,
    // or the thread can't be created.
    bool StartMonitor();
    // Hands one request (at most 512 bytes; longer ones are cut to 512) to the monitor thread
    // and returns at once. One request is held: a second one before the monitor took the first
    // (or while it waits for the line to send the last one) replaces it. Nothing is sent while
    // no device is open. May be called from any thread.
    void SendBytes(const std::uint8_t* bytes, unsigned count);
    // Ends the monitor (handling the owner's pending messages meanwhile, so a monitor blocked on
    // the owner can finish), closes the device and resets the events.
    void ClosePort();
    // Lists the system's ports (serial/port_enumeration.h) as the engine's ports. True when at
    // least one was found; when the system's list can't be read, says so in a box and lists none.
    bool EnumeratePorts();
    // Replaces the listed ports (the window follows the ports that come and go).
    void SetPorts(std::vector<SerialPortEntry> ports) { m_ports = std::move(ports); }
    // The listed ports, in ascending number order.
    const std::vector<SerialPortEntry>& Ports() const { return m_ports; }
    // The entry listed under portNumber; for a number that isn't listed, an entry with that
    // number and no path, which OpenPort refuses.
    SerialPortEntry PortEntry(unsigned portNumber) const;
    // The device path listed under portNumber; empty when the number isn't listed.
    std::string PortPath(unsigned portNumber) const { return PortEntry(portNumber).path; }
    // Why the last OpenPort could not open the device: its errno (ENODEV for an entry without a
    // path); 0 after an opening that succeeded.
    int LastOpenError() const { return m_lastOpenError; }

    // Reports the traffic to `tap` from now on (nullptr: to nobody); see serial/serial_tap.h.
    // The tap must outlive the engine or be taken away before it goes.
    void SetTap(ISerialTap* tap) { m_tap.store(tap, std::memory_order_release); }

private:
    static constexpr std::uint32_t kWriteBufferSize = 512;
    static constexpr std::uint32_t EV_RXCHAR = 0x0001;
    static constexpr std::uint32_t EV_CTS = 0x0008;
    // Received bytes handed to the owner in one synchronous delivery, at most.
    static constexpr std::size_t kMaxDeliveryRun = 4096;
    // While bytes keep arriving with gaps no longer than kGatherGapMs, the monitor gathers them
    // into one delivery for up to kGatherMaxMs (see GatherWhileBusy). Each delivery costs the
    // owner a fixed share (a layout and a repaint of what changed), so on a line that never
    // falls quiet a longer run is cheaper; 60 ms is still well under what a person notices.
    static constexpr int kGatherGapMs = 2;
    static constexpr int kGatherMaxMs = 60;

    void MonitorThreadProc();
    void DrainReceiveQueue(std::vector<WindowMessage>& run);
    void GatherWhileBusy(std::vector<WindowMessage>& run);
    void FlushWriteBuffer();
    void SetWriteOpen(bool open);
    void Deliver(std::vector<WindowMessage>& run);
    void ReportCommError(const char* operation, int errorNumber, bool gone = false);
    // Reports the first hang-up of the device and marks it gone; later ones are not reported.
    void ReportDeviceGone(const char* operation, int errorNumber);
    // Signals the shutdown event and waits until the monitor thread has ended and is joined,
    // pumping the owner's messages meanwhile when pumpOwner is set.
    void StopMonitor(bool pumpOwner);
    ISerialTap* Tap() const { return m_tap.load(std::memory_order_acquire); }
    // Tells the tap how many received bytes the purge before a write is about to discard.
    void TapPurge(ISerialTap& tap);

    std::thread m_monitorThread;
    std::mutex m_lock;  // serialises calls on the device
    std::atomic<std::uint32_t> m_monitorRunning{0};
    std::unique_ptr<ManualResetEvent> m_shutdownEvent;
    SerialDevice m_portHandle;
    std::unique_ptr<ManualResetEvent> m_writeEvent;
    LineSettings m_dcb;
    IMessageOwner* m_ownerWindow = nullptr;
    std::uint32_t m_portNumber = 0;
    std::mutex m_writeLock;  // guards m_writeOpen, m_writeBuffer and m_writeCount
    // Set while a device is open, so SendBytes on another thread never reads the device itself.
    bool m_writeOpen = false;
    std::unique_ptr<std::uint8_t[]> m_writeBuffer;
    std::uint32_t m_eventMask = 0;
    std::uint32_t m_writeBufferSize = 0;
    std::uint32_t m_writeCount = 1;

    // Set by the monitor when the device hung up; it has been reported once and is no longer
    // polled. Only the monitor touches it while it runs.
    bool m_deviceGone = false;
    int m_lastOpenError = 0;
    // Set by the monitor thread as its very last step, so a thread that was created but has
    // not started yet is waited for as well.
    std::mutex m_monitorEndMutex;
    std::condition_variable m_monitorEnd;
    bool m_monitorEnded = false;
    std::atomic<ISerialTap*> m_tap{nullptr};
    std::vector<SerialPortEntry> m_ports;  // the listed ports; the owner's thread alone uses them
};
