#include "app/about_dlg.h"

#include "res/dialog_templates.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(FindApplicationTemplate(IDD_ABOUTBOX)) {}
