#include "session/control_states.h"

#include "bus/device_models.h"
#include "bus/frame.h"

ControlStates StatesAtStart(bool portsFound) {
    ControlStates s;
    if (!portsFound) {
        s.openCloseEnabled = false;
        s.searchEnabled = false;
        s.writeAddressEnabled = false;
        s.writeKeyConfigEnabled = false;
    }
    return StatesAfterSelection(s, kTabTarvo, std::nullopt);
}

ControlStates StatesAfterPortList(ControlStates s, bool portOpen, std::size_t portCount) {
    if (!portOpen) {
        s.openCloseEnabled = portCount > 0;
    }
    return s;
}

ControlStates StatesAfterTabChange(ControlStates s, int tab) {
    if (tab == kTabTarvo) {
        s.autoAssignShown = true;
        s.writeAddressShown = false;
        s.writeKeyConfigEnabled = true;
    } else if (tab == kTabMirell || tab == kTabOskan) {
        s.autoAssignShown = false;
        s.writeAddressShown = true;
        s.writeKeyConfigEnabled = false;
    }
    return StatesAfterSelection(s, tab, std::nullopt);
}

ControlStates StatesAfterOpenClose(ControlStates s, bool open, int tab) {
    s.lineSettingsEnabled = !open;
    if (tab == kTabTarvo) {
        s.tarvoLedsEnabled = open;
    }
    s.autoAssignEnabled = open;
    s.searchEnabled = open;
    s.writeKeyConfigEnabled = tab == kTabTarvo && open;
    s.writeAddressEnabled = open;
    return s;
}

ControlStates StatesAfterSelection(ControlStates s, int tab,
                                   std::optional<bool> selectedAddressed) {
    if (!selectedAddressed) {
        s.mirellControlsEnabled = false;
        s.oskanControlsEnabled = false;
    } else if (tab == kTabMirell) {
        s.mirellControlsEnabled = *selectedAddressed;
    } else if (tab == kTabOskan) {
        s.oskanControlsEnabled = *selectedAddressed;
    }
    return s;
}
