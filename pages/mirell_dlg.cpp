#include "pages/mirell_dlg.h"

#include "res/resource.h"

CMirellDlg::CMirellDlg() : CDialog(IDD_MIRELL) {}

bool CMirellDlg::OnInitDialog() { return CDialog::OnInitDialog(); }
