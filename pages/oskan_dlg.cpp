#include "pages/oskan_dlg.h"

#include "res/resource.h"

COskanDlg::COskanDlg() : CDialog(IDD_OSKAN) {}

bool COskanDlg::OnInitDialog() {
    return CDialog::OnInitDialog();
}

void COskanDlg::SetDeviceRecord(OrvalOskan record) {
    m_deviceMap[record.addr] = record;
}

void COskanDlg::EnableControls(bool) {}
