#pragma once
// A test fixture with the main dialog shown, listing one published pseudo-terminal ("bus-a"),
// and a recorder for the message boxes it shows.

#include <memory>

#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "platform/pseudo_terminal.h"

namespace gui_test {

class MainDialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_pty = std::make_unique<PseudoTerminal>();
        m_pty->Publish("bus-a");
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
    }
    void TearDown() override { m_dlg.reset(); }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<CRavlinDlg> m_dlg;
};

}  // namespace gui_test
