#pragma once
// What a device page uses of the main dialog. A page reaches the main dialog as the parent of
// its own parent (page -> tab control -> main dialog), which implements this interface.

#include <QWidget>
#include <cstdint>

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

    // The host of a page: the parent of the page's parent, or nullptr.
    static CPageHost* Of(const QWidget* page) {
        const QWidget* tab = page ? page->parentWidget() : nullptr;
        return tab ? dynamic_cast<CPageHost*>(tab->parentWidget()) : nullptr;
    }
};
