#include "serial/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "platform/message_box.h"
#include "platform/system_error_text.h"
#include "platform/system_ports.h"
#include "platform/thread_name.h"
#include "platform/wait_slots.h"
#include "serial/port_enumeration.h"

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    // The owner closes the port before it destroys the engine, so no monitor should be waiting
    // on it here; the owner is not pumped, it may be half destroyed.
    SetWriteOpen(false);
    StopMonitor(false);
    std::lock_guard lock(m_lock);
    m_portHandle.Close();
}

bool CSerialPort::EnumeratePorts() {
    if (!ListSerialPorts(SystemPortSources(), &m_ports)) {
        ShowMessageBox("无法打开键值！", kAppName, MB_OK | MB_ICONWARNING);
        return false;
    }
    return !m_ports.empty();
}

SerialPortEntry CSerialPort::PortEntry(unsigned portNumber) const {
    for (const SerialPortEntry& port : m_ports) {
        if (port.number == portNumber) {
            return port;
        }
    }
    return {{}, portNumber, {}, {}};
}

bool CSerialPort::OpenPort(IMessageOwner* owner, const SerialPortEntry& port,
                           const LineSettings& line) {
    SetWriteOpen(false);
    // The monitor of the previous opening delivers to the previous owner: keep that one
    // serviced while the monitor ends.
    StopMonitor(true);

    for (auto* event : {&m_writeEvent, &m_shutdownEvent}) {
        if (*event) {
            (*event)->Reset();
        } else {
            *event = std::make_unique<ManualResetEvent>();
        }
    }
    if (!m_writeEvent->Valid() || !m_shutdownEvent->Valid()) {
        return false;
    }

    m_ownerWindow = owner;
    {
        std::lock_guard writeLock(m_writeLock);
        m_writeBuffer = std::make_unique<std::uint8_t[]>(kWriteBufferSize);
        m_writeBufferSize = kWriteBufferSize;
    }
    m_portNumber = port.number;
    m_eventMask = EV_RXCHAR | EV_CTS;
    m_deviceGone = false;

    std::lock_guard lock(m_lock);
    m_portHandle.Close();

    if (port.path.empty() || !m_portHandle.Open(port.path)) {
        m_lastOpenError = port.path.empty() ? ENODEV : errno;
        return false;
    }
    m_lastOpenError = 0;

    // Time-outs and the event mask need no call here: the device is non-blocking and the
    // monitor polls it for input. The line settings are read, changed and written back.
    // A refused setting leaves the device, and m_dcb, as they were.
    if (!m_portHandle.GetLineSettings(&m_dcb)) {
        ReportCommError("GetCommState()", errno);
    } else if (m_portHandle.SetLineSettings(line)) {
        m_dcb = line;
    } else {
        ReportCommError("SetCommState()", errno);
    }

    m_portHandle.Purge();
    if (ISerialTap* tap = Tap()) {
        tap->OnPortOpened(port.number);
    }
    SetWriteOpen(true);
    return true;
}

void CSerialPort::SetWriteOpen(bool open) {
    std::lock_guard writeLock(m_writeLock);
    m_writeOpen = open;
}

bool CSerialPort::StartMonitor() {
    if (!m_shutdownEvent || !m_writeEvent || m_monitorThread.joinable()) {
        return false;
    }
    {
        std::lock_guard lock(m_monitorEndMutex);
        m_monitorEnded = false;
    }
    try {
        m_monitorThread = std::thread(&CSerialPort::MonitorThreadProc, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CSerialPort::MonitorThreadProc() {
    m_monitorRunning.store(1);
    NameCurrentThread("ravlin-monitor");
    {
        std::lock_guard lock(m_lock);
        if (m_portHandle.IsOpen()) {
            m_portHandle.Purge();
        }
    }

    std::vector<WindowMessage> run;
    run.reserve(kMaxDeliveryRun + 1);
    for (;;) {
        const SerialDevice* device =
            (m_portHandle.IsOpen() && !m_deviceGone) ? &m_portHandle : nullptr;
        const SlotWaitResult wait = WaitForSlots(*m_shutdownEvent, *m_writeEvent, device);
        if (wait.slot == 0) {
            break;
        }
        if (wait.slot == 1) {
            FlushWriteBuffer();
            continue;
        }
        if (wait.slot == 2) {
            if (m_eventMask & EV_RXCHAR) {
                DrainReceiveQueue(run);
                GatherWhileBusy(run);
            }
            if (wait.goneError != 0) {
                ReportDeviceGone("WaitCommEvent()", wait.goneError);
            }
            if (m_eventMask & EV_CTS) {
                run.push_back({WM_SERIAL_CTS_EVENT, 0, static_cast<LPARAM>(m_portNumber)});
            }
            Deliver(run);
            continue;
        }
        if (wait.slot == -2) {
            // poll itself failed (out of memory): say so, and don't retry at full speed.
            ReportCommError("WaitCommEvent()", errno);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    m_monitorRunning.store(0);
    std::lock_guard lock(m_monitorEndMutex);
    m_monitorEnded = true;
    m_monitorEnd.notify_all();
}

void CSerialPort::Deliver(std::vector<WindowMessage>& run) {
    if (!run.empty() && m_ownerWindow) {
        m_ownerWindow->SendMessages(run.data(), run.size());
    }
    run.clear();
}

void CSerialPort::DrainReceiveQueue(std::vector<WindowMessage>& run) {
    // The tap hears how many bytes were read, before they are handed over.
    std::size_t unreported = 0;
    const auto report = [&] {
        if (unreported > 0) {
            if (ISerialTap* tap = Tap()) {
                tap->OnReceived(unreported);
            }
            unreported = 0;
        }
    };
    struct ReportAtEnd {
        decltype(report)& r;
        ~ReportAtEnd() { r(); }
    } reportAtEnd{report};
    for (;;) {
        if (m_shutdownEvent->IsSet()) {
            return;
        }
        std::uint8_t byte = 0;
        SerialDevice::ReadStatus status;
        int err;
        {
            std::lock_guard lock(m_lock);
            std::size_t queued = 0;
            if (!m_portHandle.IsOpen() || !m_portHandle.QueuedInput(&queued) || queued == 0) {
                return;
            }
            status = m_portHandle.ReadByte(&byte);
            err = errno;
        }
        switch (status) {
            case SerialDevice::ReadStatus::Byte:
                run.push_back({WM_SERIAL_RXBYTE, byte, static_cast<LPARAM>(m_portNumber)});
                ++unreported;
                if (run.size() >= kMaxDeliveryRun) {
                    report();
                    Deliver(run);
                }
                break;
            case SerialDevice::ReadStatus::Gone:
                ReportDeviceGone("ReadFile()", err);
                return;
            case SerialDevice::ReadStatus::Failed:
                // Reported once per wake-up; the next arrival tries again.
                ReportCommError("ReadFile()", err);
                return;
            case SerialDevice::ReadStatus::Empty:
                return;
        }
    }
}

void CSerialPort::GatherWhileBusy(std::vector<WindowMessage>& run) {
    // A busy line brings a few bytes every few hundred microseconds. Handing each arrival to the
    // owner costs two thread switches and a turn of its event loop; gathering what follows
    // within a short gap hands the owner one run per few milliseconds instead. A line that falls
    // quiet is handed over one gap after its last byte; shutdown and a write request end the
    // gathering at once, so neither waits behind it.
    //
    // Once the line has shown itself busy, it is looked at less often while it trickles (a few
    // bytes per look, as a paced stream of frames brings): each look is a wake-up and two
    // device calls, and the bytes wait safely in the driver meanwhile. A look that finds a lot
    // goes back to the short gap, so that a flood never waits on a full input queue.
    constexpr int kTrickleLookMs = 8;
    constexpr std::size_t kTrickleBytes = 1024;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kGatherMaxMs);
    int lookMs = kGatherGapMs;
    while (!run.empty()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return;
        }
        const SlotWaitResult wait =
            WaitForSlots(*m_shutdownEvent, *m_writeEvent, nullptr,
                         static_cast<int>(std::min<long long>(lookMs, left)));
        if (wait.slot != -1) {
            return;
        }
        std::size_t queued = 0;
        {
            std::lock_guard lock(m_lock);
            if (!m_portHandle.IsOpen() || !m_portHandle.QueuedInput(&queued)) {
                return;  // a device that went away is reported by the next wait
            }
        }
        if (queued == 0) {
            return;
        }
        DrainReceiveQueue(run);
        lookMs = queued >= kTrickleBytes ? kGatherGapMs : kTrickleLookMs;
    }
}

void CSerialPort::FlushWriteBuffer() {
    // Copy the request out under the hand-over lock, so a request made meanwhile never mixes
    // with this one; resetting the event under the same lock means a later request sets it again.
    std::uint8_t bytes[kWriteBufferSize];
    std::uint32_t count = 0;
    {
        std::lock_guard writeLock(m_writeLock);
        if (m_writeBuffer) {
            count = std::min(m_writeCount, m_writeBufferSize);
            std::memcpy(bytes, m_writeBuffer.get(), count);
        }
        m_writeEvent->Reset();
    }

    long written;
    int err = 0;
    auto drain = SerialDevice::DrainStatus::Sent;
    {
        std::lock_guard lock(m_lock);
        if (!m_portHandle.IsOpen() || m_deviceGone) {
            return;  // the request is dropped: there is no device to write to
        }
        // Input not yet read and output not yet sent are discarded before every write.
        if (ISerialTap* tap = Tap()) {
            TapPurge(*tap);
        }
        m_portHandle.Purge();
        written = m_portHandle.Write(bytes, count, m_shutdownEvent.get());
        err = errno;
        if (written >= 0 && !m_shutdownEvent->IsSet()) {
            // The write is complete once the line has sent it; until then the next write's
            // purge would cut the frame's tail. Shutdown still ends the wait at once.
            drain = m_portHandle.WaitUntilSent(m_shutdownEvent.get());
            err = errno;
        }
        if (m_shutdownEvent->IsSet()) {
            // The port is closing: what the line hasn't sent is dropped, so that closing the
            // device doesn't wait for it to go out.
            m_portHandle.Purge();
        }
    }
    if (ISerialTap* tap = Tap(); tap && written > 0) {
        tap->OnWritten(bytes, static_cast<std::size_t>(written));
    }
    if (written < 0 || drain == SerialDevice::DrainStatus::Failed) {
        const char* operation =
            written < 0 ? "WriteFile()" : "GetOverlappedResults() in WriteFile()";
        if (SerialDevice::IsHangUp(err)) {
            ReportDeviceGone(operation, err);
        } else {
            ReportCommError(operation, err);
        }
    }
}

void CSerialPort::TapPurge(ISerialTap& tap) {
    std::size_t unread = 0;
    if (m_portHandle.QueuedInput(&unread) && unread > 0) {
        tap.OnPurged(unread);
    }
}

void CSerialPort::SendBytes(const std::uint8_t* bytes, unsigned count) {
    if (bytes == nullptr) {
        return;
    }
    // Senders on other threads (the key-configuration writer) may call this while the owner's
    // thread closes the port, so whether a device is open is read under the hand-over lock.
    std::lock_guard writeLock(m_writeLock);
    if (!m_writeOpen || !m_writeBuffer || !m_writeEvent) {
        return;
    }
    if (ISerialTap* tap = Tap(); tap && m_writeEvent->IsSet()) {
        tap->OnReplaced(m_writeBuffer.get(), std::min(m_writeCount, m_writeBufferSize));
    }
    count = std::min<unsigned>(count, m_writeBufferSize);
    std::memcpy(m_writeBuffer.get(), bytes, count);
    m_writeCount = count;
    m_writeEvent->Set();
}

void CSerialPort::ReportCommError(const char* operation, int errorNumber, bool gone) {
    if (ISerialTap* tap = Tap()) {
        tap->OnFailure(operation, errorNumber, gone);
    }
    const std::string text = std::string("WARNING:  ") + operation +
                             " Failed with the following error: \n" + SystemErrorText(errorNumber) +
                             "\nPort: " + std::to_string(static_cast<int>(m_portNumber)) + "\n";
    ShowMessageBox(text, "Application Error", MB_OK | MB_ICONERROR);
}

void CSerialPort::ReportDeviceGone(const char* operation, int errorNumber) {
    // A device that hung up (adapter pulled) stays hung up: say so once, then leave it alone
    // until the port is closed.
    if (m_deviceGone) {
        return;
    }
    m_deviceGone = true;
    ReportCommError(operation, errorNumber, true);
}

void CSerialPort::StopMonitor(bool pumpOwner) {
    if (!m_monitorThread.joinable()) {
        return;
    }
    m_shutdownEvent->Set();
    for (;;) {
        // A monitor blocked delivering a byte needs the owner's thread (this one) to handle it.
        if (pumpOwner && m_ownerWindow) {
            m_ownerWindow->PumpPendingMessages();
        }
        std::unique_lock lock(m_monitorEndMutex);
        if (m_monitorEnd.wait_for(lock, std::chrono::milliseconds(2),
                                  [&] { return m_monitorEnded; })) {
            break;
        }
    }
    m_monitorThread.join();
}

void CSerialPort::ClosePort() {
    SetWriteOpen(false);
    StopMonitor(true);
    {
        std::lock_guard lock(m_lock);
        m_portHandle.Close();
    }
    if (m_shutdownEvent) {
        m_shutdownEvent->Reset();
    }
    if (m_writeEvent) {
        m_writeEvent->Reset();
    }
}
