#include "pages/tarvo_dlg.h"

#include "res/resource.h"

CTarvoDlg::CTarvoDlg() : CDialog(IDD_TARVO) {}

bool CTarvoDlg::OnInitDialog() {
    return CDialog::OnInitDialog();
}

void CTarvoDlg::LoadDeviceConfig(const TarvoConfigBlock& block) {
    (void)block;
}
