#include "pages/page_host.h"

#include "platform/message_box.h"

std::optional<std::uint8_t> SelectedAddressOrTell(const CPageHost* host) {
    std::optional<std::uint8_t> address;
    if (host != nullptr) {
        address = host->SelectedDeviceAddress();
    }
    if (!address) {
        ShowMessageBox("请选择一个设备!", kAppName, MB_OK);
    }
    return address;
}
