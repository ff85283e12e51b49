#include "pages/oskan_dlg.h"

#include "res/resource.h"

COskanDlg::COskanDlg() : CDialog(IDD_OSKAN) {}

bool COskanDlg::OnInitDialog() { return CDialog::OnInitDialog(); }
