#pragma once
// The MIRELL sequencer page (tab 1): SCREEN, LIFTER, PROJECTOR and the switching sequence.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it.

#include "platform/qt_dialog.h"

class CMirellDlg : public CDialog {
    Q_OBJECT
public:
    CMirellDlg();

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
};
