#pragma once
// BusSession: one connection to the ORVAL bus and what the program knows about it, without any
// toolkit. It owns the serial engine, the outgoing frame, the receive parser with the dispatch of
// its frames (and so the automatic-assignment counter), whether the port is open, the tab whose
// device type the bus commands go to, and the enabled and shown state of the controls that
// follow these. The main window and the command-line tool both drive the bus through it; what
// the bus brings goes to an ISessionView.
//
// A session lives on one thread, the owner thread: the thread of the IMessageOwner that Open is
// given, on which the engine delivers the received bytes that HandleReceivedByte takes. Every
// call is made there, except SendTxFrame, BuildAndSend and Frame(), which any thread may use
// (the outgoing frame has its own lock). See docs/threads.md.

#include <array>
#include <cstdint>
#include <optional>

#include "bus/bus_dispatch.h"
#include "bus/device_models.h"
#include "bus/device_records.h"
#include "bus/rx_parser.h"
#include "bus/tarvo_config.h"
#include "bus/tx_frame.h"
#include "platform/line_settings.h"
#include "serial/serial_port.h"
#include "session/control_states.h"

// 1 while the local port is closed, 0 while it is open. Written by BusSession alone.
extern int g_portClosed;

// Pause between an address write and the search that follows it, so that the engine has taken
// the first frame before the second replaces it.
inline constexpr int kAddressWritePauseMs = 300;

// What the bus brings, as the main window shows it. Called on the owner thread, from
// HandleReceivedByte and from the session's own commands.
class ISessionView {
public:
    virtual ~ISessionView() = default;
    virtual void AddStatusLine(const char* utf8) = 0;
    virtual void ScrollStatusToLastLine() = 0;
    virtual void AddDeviceToList(std::uint8_t address) = 0;
    virtual void SetMirellRecord(const OrvalMirell& record) = 0;
    virtual void SetOskanRecord(const OrvalOskan& record) = 0;
    // Only while the TARVO tab is current.
    virtual void LoadTarvoConfig(const TarvoConfigBlock& block) = 0;
    // Every complete ten-byte frame, after its dispatch (the long reply goes to LoadTarvoConfig).
    virtual void OnFrame(const std::uint8_t* /*frame: 10 bytes*/) {}
    // A device's address request (frame 0x21) was answered with `address`.
    virtual void OnAddressHandedOut(const std::uint8_t* /*request: 10 bytes*/,
                                    std::uint8_t /*address*/) {}
    // A device's address request was left unanswered (the address chooser gave none).
    virtual void OnAddressRequestUnanswered(const std::uint8_t* /*request: 10 bytes*/) {}
};

class BusSession : private IBusView, private IRxSink {
public:
    explicit BusSession(ISessionView& view);
    ~BusSession() override;
    BusSession(const BusSession&) = delete;
    BusSession& operator=(const BusSession&) = delete;

    // --- The port.
    CSerialPort& Port() { return m_port; }
    enum class OpenResult {
        Failed,              // the device could not be opened; nothing changed
        Open,                // open, the monitor runs
        OpenWithoutMonitor,  // open, but the monitor thread could not be started
    };
    // Opens `port` and starts its monitor, which delivers to `owner`. A port that opens counts
    // as open even when its monitor can't start: the user then closes it as any open port.
    OpenResult Open(IMessageOwner* owner, const SerialPortEntry& port, const LineSettings& line);
    // Closes the open port.
    void Close();
    // At shutdown: closes the port if its monitor was started.
    void CloseForShutdown();
    bool IsOpen() const { return g_portClosed == 0; }
    bool MonitorStarted() const { return m_portOpen != 0; }

    // --- The tab, and with it the device type (frame byte 1) of the bus commands.
    int CurrentTab() const override { return m_tab; }
    // The model the commands go to; nullptr before a tab is current.
    const DeviceModelInfo* Model() const { return ModelByTab(m_tab); }
    // The type code the commands go to; nothing before a tab is current.
    std::optional<std::uint8_t> DeviceType() const { return TypeCodeForTab(m_tab); }
    // Makes `tab` current without touching the outgoing frame (the window's start-up).
    void SetCurrentTab(int tab) { m_tab = tab; }
    // The user changed to `tab`: the outgoing frame takes its type code.
    void ChangeTab(int tab);
    // Makes `model`'s tab current, as the user's change to it does.
    void UseModel(DeviceModel model) { ChangeTab(ModelInfo(model).tab); }

    // --- What the controls show (session/control_states.h).
    const ControlStates& Controls() const { return m_controls; }
    void StartControls(bool portsFound);
    void PortListChanged(std::size_t portCount);
    // nothing: no line selected; else whether the selected line's address is not 0.
    void SelectionChanged(std::optional<bool> selectedAddressed);
    // Puts back states kept earlier: a commissioning run in the window ends, and the controls
    // it held return to what they were before it.
    void RestoreControls(const ControlStates& states) { m_controls = states; }

    // --- Received bytes: the handler of WM_SERIAL_RXBYTE, byte by byte in arrival order.
    void HandleReceivedByte(std::uint8_t byte) { m_parser.Feed(byte, *this); }
    const RxParser& Parser() const { return m_parser; }
    RxParser& Parser() { return m_parser; }

    // --- Sending. Frame bytes a command doesn't define keep what the frame before left.
    TxFrame& Frame() { return m_txFrame; }
    // Hands the first `count` bytes of the outgoing frame to the engine, under the frame's lock.
    void SendTxFrame(unsigned count) override;
    // Builds a frame and hands it over under one lock: build(bytes) returns the byte count.
    template <class Build>
    void BuildAndSend(Build&& build) {
        m_txFrame.BuildAndSend(build, [this](unsigned count) { SendTxFrame(count); });
    }
    // FA tt 00 00 with the current tab's type code.
    void SendSearch();
    // Automatic assignment from `first`: the status line, the announcement to every device, and
    // the counter that answers the devices' address requests.
    void StartAutoAssign(std::uint8_t first);
    std::uint8_t NextAddress() const { return m_dispatcher.NextAddress(); }
    // Decides the answers to address requests from now on (nullptr: the counter again).
    void SetAddressChooser(BusDispatcher::AddressChooser chooser) {
        m_dispatcher.SetAddressChooser(std::move(chooser));
    }
    // The address write of the current tab's model to `device`. A model that names the device
    // by the state bytes of its search reply (MIRELL) needs them: without them, and for a model
    // that takes no address write (TARVO), nothing is sent (false).
    // The caller then waits kAddressWritePauseMs, handling received bytes, and searches again.
    bool SendAddressWrite(std::uint8_t device, std::uint8_t newAddress,
                          const std::array<std::uint8_t, 4>* mirellState);
    // An address write to `device` that names the one device to move by its four identity bytes
    // (the state bytes of its search answer) in bytes 6..9, for any model: when several devices
    // share an address, only that one moves.
    void SendAddressWriteNaming(std::uint8_t device, std::uint8_t newAddress,
                                const std::array<std::uint8_t, 4>& identity);
    // The configuration read request (0x23) to `device`.
    void SendReadConfig(std::uint8_t device);

private:
    // IBusView: what the dispatch shows goes to the view.
    void AddStatusLine(const char* utf8) override { m_view.AddStatusLine(utf8); }
    void ScrollStatusToLastLine() override { m_view.ScrollStatusToLastLine(); }
    void AddDeviceToList(std::uint8_t address) override { m_view.AddDeviceToList(address); }
    void SetMirellRecord(const OrvalMirell& r) override { m_view.SetMirellRecord(r); }
    void SetOskanRecord(const OrvalOskan& r) override { m_view.SetOskanRecord(r); }
    void LoadTarvoConfig(const TarvoConfigBlock& b) override { m_view.LoadTarvoConfig(b); }

    // IRxSink: the parser's frames go through the dispatch, then to the view's hooks.
    void ShowBusStatus(std::uint8_t command) override { m_dispatcher.ShowBusStatus(command); }
    void DispatchFrame(const std::uint8_t* frame) override;
    void OnLongReply(const TarvoConfigBlock& block) override { m_dispatcher.OnLongReply(block); }

    ISessionView& m_view;
    CSerialPort m_port;
    TxFrame m_txFrame;  // starts FA 09 01 00
    RxParser m_parser;
    BusDispatcher m_dispatcher{*this, m_txFrame};
    int m_portOpen = 0;  // the monitor thread of the open port was started
    int m_tab = -1;
    ControlStates m_controls;
};
