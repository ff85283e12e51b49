// The window shows what the session decides: after every step an installer takes (tabs, opening
// and closing, found devices, selections, a port that goes away), each control that follows the
// port, the tab or the selection is enabled and shown exactly as the session's states say, and
// the session's tab is the tab on screen.

#include <QComboBox>
#include <QListWidget>

#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "main_dialog_fixture.h"
#include "pages/mirell_dlg.h"
#include "pages/oskan_dlg.h"
#include "pages/tarvo_dlg.h"
#include "platform/qt_tab_control.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

class SessionViewTest : public MainDialogFixture {
protected:
    QWidget* C(int id) const { return MainControl(*m_dlg, id); }

    // Every control against the session's states, naming the step that broke them.
    void ExpectWindowShowsSession(const char* step) {
        SCOPED_TRACE(step);
        const ControlStates& s = m_dlg->Session().Controls();
        EXPECT_EQ(m_dlg->Session().CurrentTab(), m_dlg->TabControl()->GetCurSel());
        EXPECT_EQ(C(IDC_OPEN_CLOSE)->isEnabled(), s.openCloseEnabled);
        for (const int id : {IDC_PORT, IDC_BAUD, IDC_DATA_BITS, IDC_STOP_BITS, IDC_PARITY}) {
            EXPECT_EQ(C(id)->isEnabled(), s.lineSettingsEnabled) << id;
        }
        EXPECT_EQ(C(IDC_SEARCH)->isEnabled(), s.searchEnabled);
        EXPECT_EQ(C(IDC_AUTO_ASSIGN)->isEnabled(), s.autoAssignEnabled);
        EXPECT_EQ(!C(IDC_AUTO_ASSIGN)->isHidden(), s.autoAssignShown);
        EXPECT_EQ(C(IDC_WRITE_ADDRESS)->isEnabled(), s.writeAddressEnabled);
        EXPECT_EQ(!C(IDC_WRITE_ADDRESS)->isHidden(), s.writeAddressShown);
        EXPECT_EQ(C(IDOK)->isEnabled(), s.writeKeyConfigEnabled);
        for (const int id : {IDC_LED1, IDC_LED2}) {
            EXPECT_EQ(FindControl(&m_dlg->TarvoPage(), id)->isEnabled(), s.tarvoLedsEnabled) << id;
        }
        for (const int id : {IDC_SW_SCREEN, IDC_SCREEN_STOP, IDC_LIFTER_STOP, IDC_SEQ_ENABLE}) {
            EXPECT_EQ(FindControl(&m_dlg->MirellPage(), id)->isEnabled(), s.mirellControlsEnabled)
                << id;
        }
        for (const int id : {IDC_SW_CH1, IDC_SW_CH1 + 7, IDC_FEEDBACK}) {
            EXPECT_EQ(FindControl(&m_dlg->OskanPage(), id)->isEnabled(), s.oskanControlsEnabled)
                << id;
        }
    }

    // A found-device frame of `type` from `address`, as a device answers a search.
    void DeviceAnswers(std::uint8_t type, std::uint8_t address) {
        const int before = DeviceList(*m_dlg)->count();
        m_pty->Write({0xFA, type, 0x00, address, 0xFE, 0x00, 0x11, 0x22, 0x33, 0x44});
        ASSERT_TRUE(WaitFor([&] { return DeviceList(*m_dlg)->count() > before; }));
    }
};

TEST_F(SessionViewTest, EveryStepShowsTheSessionsStates) {
    ExpectWindowShowsSession("start");
    ClickTab(*m_dlg, 1);
    ExpectWindowShowsSession("MIRELL tab, closed");
    ClickTab(*m_dlg, 0);
    ExpectWindowShowsSession("TARVO tab, closed: 写入 enabled by the tab change");
    EXPECT_TRUE(C(IDOK)->isEnabled());

    ASSERT_TRUE(OpenPort(*m_dlg, QStringLiteral("bus-a")));
    ASSERT_TRUE(SyncWithMonitor(*m_dlg, *m_pty));
    ExpectWindowShowsSession("open on the TARVO tab");

    ClickTab(*m_dlg, 1);
    DeviceAnswers(kTypeMirell, 7);
    ClickRow(DeviceList(*m_dlg), 0);
    ExpectWindowShowsSession("MIRELL device selected");
    EXPECT_TRUE(m_dlg->Session().Controls().mirellControlsEnabled);

    ClickTab(*m_dlg, 2);
    ExpectWindowShowsSession("OSKAN tab: the list was emptied");
    DeviceAnswers(kTypeOskan, 9);
    ClickRow(DeviceList(*m_dlg), 0);
    ExpectWindowShowsSession("OSKAN device selected");

    Click(C(IDC_OPEN_CLOSE));
    ExpectWindowShowsSession("closed on the OSKAN tab");
    EXPECT_FALSE(m_dlg->Session().IsOpen());

    // The port goes away while closed: the list follows, and opening with it.
    m_pty.reset();
    auto* ports = qobject_cast<QComboBox*>(C(IDC_PORT));
    ASSERT_TRUE(WaitFor([&] { return ports->findText(QStringLiteral("bus-a")) < 0; }, 3000));
    ExpectWindowShowsSession("the port went away");
    EXPECT_EQ(C(IDC_OPEN_CLOSE)->isEnabled(), ports->count() > 0);
}

}  // namespace
