#pragma once
// The About box: the application icon, name and version, and "确定".

#include "platform/qt_dialog.h"

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    CAboutDlg();
};
