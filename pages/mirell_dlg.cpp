#include "pages/mirell_dlg.h"

#include "res/resource.h"

CMirellDlg::CMirellDlg() : CDialog(IDD_MIRELL) {}

bool CMirellDlg::OnInitDialog() {
    return CDialog::OnInitDialog();
}

void CMirellDlg::SetDeviceRecord(OrvalMirell record) {
    m_deviceMap[record.addr] = record;
}

const std::array<std::uint8_t, 4>* CMirellDlg::GetDeviceState(int address) const {
    auto it = m_deviceMap.find(address);
    return it == m_deviceMap.end() ? nullptr : &it->second.state;
}

void CMirellDlg::EnableControls(bool) {}
