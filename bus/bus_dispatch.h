#pragma once
// What the main dialog does with parsed frames: status lines, the automatic 0x22 answer to
// address requests, found devices, and the hand-off of the configuration reply. No widgets
// here: the dialog is reached through IBusView.

#include <cstdint>
#include <functional>
#include <optional>

#include "bus/device_records.h"
#include "bus/rx_parser.h"
#include "bus/tarvo_config.h"
#include "bus/tx_frame.h"

class IBusView {
public:
    virtual ~IBusView() = default;
    virtual int CurrentTab() const = 0;
    virtual void AddStatusLine(const char* utf8) = 0;        // LB_ADDSTRING on 1029
    virtual void ScrollStatusToLastLine() = 0;               // LB_SETTOPINDEX(count - 1)
    virtual void AddDeviceToList(std::uint8_t address) = 0;  // "%d" text + item data
    virtual void SetMirellRecord(const OrvalMirell&) = 0;
    virtual void SetOskanRecord(const OrvalOskan&) = 0;
    virtual void LoadTarvoConfig(const TarvoConfigBlock&) = 0;  // only called on tab 0
    virtual void SendTxFrame(unsigned count) = 0;
};

class BusDispatcher : public IRxSink {
public:
    BusDispatcher(IBusView& view, TxFrame& txFrame) : m_view(view), m_txFrame(txFrame) {}

    // Appends the command's status line, if it has one, and scrolls to the last line.
    void ShowBusStatus(std::uint8_t command) override;
    // Status line again; 0x21 -> 0x22 answer with the next address; 0xFE -> device list and,
    // on the MIRELL or OSKAN tab, the page's record.
    void DispatchFrame(const std::uint8_t* frame) override;
    // Handed to the TARVO page only while its tab is current.
    void OnLongReply(const TarvoConfigBlock& block) override;

    // Automatic assignment: the next 0x21 request receives `first`. Addresses go up by one per
    // request; after 255 comes 1, and 0 (the PC's address) is never handed out.
    void StartAutoAssign(std::uint8_t first) { m_nextAddress = first; }
    std::uint8_t NextAddress() const { return m_nextAddress; }
    // The address the last 0x22 answer handed out; 0 before the first.
    std::uint8_t LastAddressHandedOut() const { return m_lastHandedOut; }
    // Who decides the answer to an address request (request: its ten bytes): the address to
    // hand out, or nothing to leave the request unanswered. Without a chooser (the window's
    // case) every request is answered from the counter.
    using AddressChooser = std::function<std::optional<std::uint8_t>(const std::uint8_t* request)>;
    void SetAddressChooser(AddressChooser chooser) { m_chooser = std::move(chooser); }
    // Whether the last address request was answered.
    bool LastRequestAnswered() const { return m_lastAnswered; }

private:
    IBusView& m_view;
    TxFrame& m_txFrame;
    std::uint8_t m_nextAddress = 0;
    std::uint8_t m_lastHandedOut = 0;
    bool m_lastAnswered = false;
    AddressChooser m_chooser;
};
