#pragma once
// What a device page uses of the main dialog. A page reaches the main dialog as the parent of
// its own parent (page -> tab control -> main dialog), which implements this interface.

#include <QWidget>
#include <cstdint>
#include <optional>

#include "bus/tx_frame.h"

class CPageHost {
public:
    virtual ~CPageHost() = default;

    // LB_GETCURSEL on the device list 1031: the selected index, or -1.
    virtual int DeviceListCurSel() const = 0;
    // LB_GETITEMDATA: the bus address stored with entry `index`.
    virtual std::uint32_t DeviceListItemData(int index) const = 0;
    // The outgoing frame m_txFrame and its hand-over to the serial engine.
    virtual TxFrame& TxFrameBytes() = 0;
    virtual void SendTxFrame(unsigned count) = 0;

    // The bus address of the selected device (the low byte of its item data); nothing when the
    // device list has no selection.
    std::optional<std::uint8_t> SelectedDeviceAddress() const {
        const int sel = DeviceListCurSel();
        if (sel < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(DeviceListItemData(sel) & 0xFF);
    }

    // Builds a frame in the outgoing frame and hands it over, both under the frame's lock, so it
    // never mixes with a frame another thread builds: build(bytes) writes the frame and returns
    // how many bytes go out.
    template <class Build>
    void BuildAndSend(Build&& build) {
        TxFrameBytes().BuildAndSend(build, [this](unsigned count) { SendTxFrame(count); });
    }

    // The host of a page: the parent of the page's parent, or nullptr.
    static CPageHost* Of(const QWidget* page) {
        const QWidget* tab = page ? page->parentWidget() : nullptr;
        return tab ? dynamic_cast<CPageHost*>(tab->parentWidget()) : nullptr;
    }
};

// The device a page command goes to: the address of the device selected in `host`'s device
// list. Without a host or a selection the user is told "请选择一个设备!" and nothing is returned.
std::optional<std::uint8_t> SelectedAddressOrTell(const CPageHost* host);
