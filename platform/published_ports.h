#pragma once
// The folder in which bus simulators publish their pseudo-terminals as symbolic links, so that
// port enumeration lists them like any serial port. $RAVLIN_PORT_DIR when set (tests give each
// program its own), otherwise $XDG_RUNTIME_DIR/ravlin-ports, otherwise /tmp/ravlin-ports-<uid>.
//
// A link in that folder is offered to the installer as a serial port, so nobody else may be
// able to plant one there: the folder is used only when it is a real directory (not a link)
// owned by the user, with no access at all for group or others, as XDG_RUNTIME_DIR is.

#include <string>

std::string PublishedPortsFolder();

enum class FolderCheck {
    Private,  // a directory of the user's own with no group or other access: use it
    Missing,  // nothing there yet: nothing to list, and it may be created
    Refused,  // anything else: a link, not a directory, someone else's, or open to others
};

// Checks `folder` as described above. For Refused, *reason (when given) says why, in a few
// words for a log line.
FolderCheck CheckPublishedPortsFolder(const std::string& folder, std::string* reason = nullptr);

// True when ports may be listed from `folder` (it is private). A refused folder is told once
// per process and folder on standard error, however often it is asked about.
bool UsePublishedPortsFolder(const std::string& folder);

// Creates `folder` (and missing parents) with mode 0700 when it isn't there. True when the
// folder is then private; otherwise false with *reason set.
bool CreatePublishedPortsFolder(const std::string& folder, std::string* reason);
