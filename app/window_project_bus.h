#pragma once
// A commissioning run's bus in the window: each action goes through the main dialog as the
// installer's own clicks would, so its tab follows the model in hand, its device list, status
// list and log show the frames, and the bus monitor records every one.

#include "project/project_bus.h"

class CRavlinDlg;

class CWindowProjectBus : public IProjectBus {
public:
    explicit CWindowProjectBus(CRavlinDlg& dlg) : m_dlg(dlg) {}
    ~CWindowProjectBus() override;

    // The model's tab, as a click on it.
    void UseModel(DeviceModel model) override;
    // "搜索设备": the page's records and the device list are emptied, as by the button.
    void SendSearch() override;
    void SendFrame(const Build& build) override;
    // The configuration read, as a double click on the device's line sends it.
    void SendReadConfig(std::uint8_t address) override;
    // "自动分配", with the run choosing each address.
    void StartAutoAssign(AddressChooser chooser) override;
    void StopAutoAssign() override;

private:
    CRavlinDlg& m_dlg;
};
