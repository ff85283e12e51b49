#pragma once
// The accessibility interface of CSwitchBtn: a two-state button (the toolkit's check box role)
// whose name, description and checked state are read from the switch's fields when asked, so a
// reader is right about a switch on a page that has not been painted yet, and whose toggle
// action moves the knob as a click on the other half does.

// Registers the interface for every switch; called before the first switch can be asked for.
void InstallSwitchAccessibility();
