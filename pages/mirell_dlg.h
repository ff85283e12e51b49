#pragma once
// The MIRELL sequencer page (tab 1): SCREEN, LIFTER, PROJECTOR and the switching sequence.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it.

#include <array>
#include <cstdint>
#include <map>

#include "bus/device_records.h"
#include "platform/qt_dialog.h"

class CMirellDlg : public CDialog {
    Q_OBJECT
public:
    CMirellDlg();

    // Found devices of this model by bus address, filled while a search runs.
    std::map<int, OrvalMirell> m_deviceMap;

    // Stores (or replaces) the record of the device at record.addr.
    void SetDeviceRecord(OrvalMirell record);
    // The four state bytes of the device at `address`, or nullptr when none was found there.
    const std::array<std::uint8_t, 4>* GetDeviceState(int address) const;
    // Enables or disables the page's commands.
    void EnableControls(bool enable);

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
};
