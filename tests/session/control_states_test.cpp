// The enabling rules of the main window's controls, walked through the events an installer
// causes: start-up, the port list, tab changes, opening and closing, the device selection.

#include "session/control_states.h"

#include <gtest/gtest.h>

#include "bus/device_models.h"
#include "bus/frame.h"

namespace {

TEST(ControlStatesTest, StartUpFollowsTheTemplateAndTheLackOfPorts) {
    const ControlStates withPorts = StatesAtStart(true);
    EXPECT_TRUE(withPorts.openCloseEnabled);
    EXPECT_TRUE(withPorts.lineSettingsEnabled);
    EXPECT_FALSE(withPorts.searchEnabled);
    EXPECT_FALSE(withPorts.autoAssignEnabled);
    EXPECT_TRUE(withPorts.autoAssignShown);
    EXPECT_FALSE(withPorts.writeAddressEnabled);
    EXPECT_FALSE(withPorts.writeAddressShown);
    EXPECT_FALSE(withPorts.writeKeyConfigEnabled);
    EXPECT_FALSE(withPorts.tarvoLedsEnabled);
    EXPECT_FALSE(withPorts.mirellControlsEnabled);
    EXPECT_FALSE(withPorts.oskanControlsEnabled);

    ControlStates none = StatesAtStart(false);
    EXPECT_FALSE(none.openCloseEnabled);
    EXPECT_TRUE(none.lineSettingsEnabled);
    // An adapter plugged in later makes opening possible; one pulled makes it impossible again.
    none = StatesAfterPortList(none, false, 1);
    EXPECT_TRUE(none.openCloseEnabled);
    EXPECT_FALSE(StatesAfterPortList(none, false, 0).openCloseEnabled);
}

TEST(ControlStatesTest, OpenAndCloseSetTheBusButtonsByTabAndPort) {
    ControlStates s = StatesAtStart(true);
    s = StatesAfterOpenClose(s, true, kTabTarvo);
    EXPECT_FALSE(s.lineSettingsEnabled);
    EXPECT_TRUE(s.searchEnabled);
    EXPECT_TRUE(s.autoAssignEnabled);
    EXPECT_TRUE(s.writeAddressEnabled);
    EXPECT_TRUE(s.writeKeyConfigEnabled);
    EXPECT_TRUE(s.tarvoLedsEnabled);
    // The open port stays listed and openable whatever the list does meanwhile.
    EXPECT_TRUE(StatesAfterPortList(s, true, 0).openCloseEnabled);

    // Closed on the MIRELL tab: "写入" goes off with the port, the TARVO LED buttons keep what
    // the last open or close on the TARVO tab gave them.
    s = StatesAfterTabChange(s, kTabMirell);
    s = StatesAfterOpenClose(s, false, kTabMirell);
    EXPECT_TRUE(s.lineSettingsEnabled);
    EXPECT_FALSE(s.searchEnabled);
    EXPECT_FALSE(s.writeAddressEnabled);
    EXPECT_FALSE(s.writeKeyConfigEnabled);
    EXPECT_TRUE(s.tarvoLedsEnabled);

    // Opened on the OSKAN tab, "写入" stays disabled.
    s = StatesAfterOpenClose(s, true, kTabOskan);
    EXPECT_FALSE(s.writeKeyConfigEnabled);
    EXPECT_TRUE(s.writeAddressEnabled);
}

TEST(ControlStatesTest, TabChangesSwapTheAddressButtonsAndSetWriteWithoutRegardToThePort) {
    ControlStates s = StatesAtStart(true);
    s = StatesAfterTabChange(s, kTabOskan);
    EXPECT_FALSE(s.autoAssignShown);
    EXPECT_TRUE(s.writeAddressShown);
    EXPECT_FALSE(s.writeKeyConfigEnabled);
    // Back on the TARVO tab, "写入" is enabled even though the port is closed.
    s = StatesAfterTabChange(s, kTabTarvo);
    EXPECT_TRUE(s.autoAssignShown);
    EXPECT_FALSE(s.writeAddressShown);
    EXPECT_TRUE(s.writeKeyConfigEnabled);
    EXPECT_FALSE(s.searchEnabled);
    // A tab that isn't one of the three changes nothing but the selection.
    EXPECT_EQ(StatesAfterTabChange(s, -1), StatesAfterSelection(s, -1, std::nullopt));
}

TEST(ControlStatesTest, TheSelectionEnablesOnlyTheCurrentPowerPage) {
    ControlStates s = StatesAfterTabChange(StatesAtStart(true), kTabMirell);
    s = StatesAfterSelection(s, kTabMirell, true);
    EXPECT_TRUE(s.mirellControlsEnabled);
    EXPECT_FALSE(s.oskanControlsEnabled);
    // A line whose address is 0 disables the page.
    EXPECT_FALSE(StatesAfterSelection(s, kTabMirell, false).mirellControlsEnabled);
    // On the TARVO tab a selection leaves both pages as they were.
    EXPECT_TRUE(StatesAfterSelection(s, kTabTarvo, true).mirellControlsEnabled);
    // No selection disables both, whatever the tab.
    const ControlStates none = StatesAfterSelection(s, kTabTarvo, std::nullopt);
    EXPECT_FALSE(none.mirellControlsEnabled);
    EXPECT_FALSE(none.oskanControlsEnabled);
    // A tab change empties the list, and with it the selection.
    EXPECT_FALSE(StatesAfterTabChange(s, kTabMirell).mirellControlsEnabled);
}

}  // namespace
