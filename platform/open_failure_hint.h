#pragma once
// One short line that tells the installer why a serial port could not be opened, shown under
// the "port busy or missing" box: missing permission (and how to get it), the program that
// holds a busy port, or a device that is gone. UTF-8, in the UI's language. What the system's
// errors mean and where holders are found is the platform's knowledge, so the line is made here
// (open_failure_hint_linux.cpp).

#include <string>

// `path`: the device path that was opened (may be empty for a port no longer listed);
// `error`: the errno of the failed open. Empty when there is
// nothing useful to add.
std::string OpenFailureHint(const std::string& path, int error);
