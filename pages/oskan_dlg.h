#pragma once
// The OSKAN channel page (tab 2): eight channel switches and the feedback check box.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it.

#include "platform/qt_dialog.h"

class COskanDlg : public CDialog {
    Q_OBJECT
public:
    COskanDlg();

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
};
