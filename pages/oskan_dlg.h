#pragma once
// The OSKAN channel page (tab 2): eight channel switches and the feedback check box.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it.

#include <map>

#include "bus/device_records.h"
#include "platform/qt_dialog.h"

class COskanDlg : public CDialog {
    Q_OBJECT
public:
    COskanDlg();

    // Found devices of this model by bus address, filled while a search runs.
    std::map<int, OrvalOskan> m_deviceMap;

    // Stores (or replaces) the record of the device at record.addr.
    void SetDeviceRecord(OrvalOskan record);
    // Enables or disables the page's commands.
    void EnableControls(bool enable);

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
};
