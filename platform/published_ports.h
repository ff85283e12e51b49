#pragma once
// The folder in which bus simulators publish their pseudo-terminals as symbolic links, so that
// port enumeration lists them like any serial port. $RAVLIN_PORT_DIR when set (tests give each
// program its own), otherwise $XDG_RUNTIME_DIR/ravlin-ports, otherwise /tmp/ravlin-ports-<uid>.

#include <string>

std::string PublishedPortsFolder();
