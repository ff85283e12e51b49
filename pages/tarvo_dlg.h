#pragma once
// The TARVO key-panel page (tab 0): key definition, the device's serial format and LED tests.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it.

#include "bus/tarvo_config.h"
#include "platform/qt_dialog.h"

class CTarvoDlg : public CDialog {
    Q_OBJECT
public:
    CTarvoDlg();

    // Shows a configuration block read back from a device (answer to 0x23).
    void LoadDeviceConfig(const TarvoConfigBlock& block);

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
};
