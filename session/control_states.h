#pragma once
// The enabled and shown state of the main window's controls that follow the port, the tab and
// the device selection, and how each event changes it. The window applies what these functions
// decide; it keeps no enabling rule of its own.
//
// Enabling depends on what happened, not only on where things stand: a change to the TARVO tab
// enables "写入" (1) even while the port is closed, and only a later open or close sets it by the
// port again. So each function takes the states before the event and returns those after it.

#include <cstddef>
#include <optional>

struct ControlStates {
    bool openCloseEnabled = true;        // 1006 "打开串口"/"关闭串口"
    bool lineSettingsEnabled = true;     // 1001..1005: port, baud, data bits, stop bits, parity
    bool searchEnabled = false;          // 1016 "搜索设备"
    bool autoAssignEnabled = false;      // 1030 "自动分配"
    bool autoAssignShown = true;         //   shown on the TARVO tab only
    bool writeAddressEnabled = false;    // 1012 address "写入"
    bool writeAddressShown = false;      //   shown on the MIRELL and OSKAN tabs only
    bool writeKeyConfigEnabled = false;  // 1 "写入" of the key configuration
    bool tarvoLedsEnabled = false;       // 1036 and 1034 on the TARVO page
    bool mirellControlsEnabled = false;  // the MIRELL page's switches and buttons
    bool oskanControlsEnabled = false;   // the OSKAN page's switches and check box

    bool operator==(const ControlStates&) const = default;
};

// The window once it is set up: the template's states; with no port at all, opening, searching
// and both "写入" buttons disabled; no device selected.
ControlStates StatesAtStart(bool portsFound);

// The port list was read again (at start-up and whenever ports come and go): while the port is
// closed, opening is possible exactly when the list has a port. An open port is left alone.
ControlStates StatesAfterPortList(ControlStates s, bool portOpen, std::size_t portCount);

// The user changed the tab. The device list is emptied with it, so no device is selected after.
ControlStates StatesAfterTabChange(ControlStates s, int tab);

// The port was opened (`open`) or closed while `tab` is current. A failed open is no event.
ControlStates StatesAfterOpenClose(ControlStates s, bool open, int tab);

// The device-list selection changed while `tab` is current: nothing when no line is selected,
// otherwise whether the selected line's address is not 0.
ControlStates StatesAfterSelection(ControlStates s, int tab, std::optional<bool> selectedAddressed);
