#pragma once
// Which terminals may carry bus frames. A published port is a symbolic link to a pseudo-terminal
// that a bus simulator or a test rig holds; a link left behind by one that ended may lead to a
// pseudo-terminal whose number the system has since given to a shell or an editor, and a
// careless link may lead to /dev/tty, /dev/null or another link. Frames written there would land
// in someone's terminal, so only a pseudo-terminal of this user that is no process's
// controlling terminal counts as a bus.

#include <string>

enum class BusTerminal {
    Free,              // a pseudo-terminal of this user, nobody's controlling terminal: a bus
    NotPseudo,         // not a pseudo-terminal's slave (/dev/tty, /dev/null, /dev/ptmx, a file)
    OtherUser,         // a pseudo-terminal of another user
    SomeonesTerminal,  // the controlling terminal of a process (a shell, an editor)
    Missing,           // nothing there (a link whose terminal went away)
    LinkToLink,        // a link that leads to another link
};

// What `path` leads to. A symbolic link is followed once; a link to a link is not followed.
// `procRoot` is where the processes are looked at (tests give a tree of their own).
BusTerminal ClassifyBusTerminal(const std::string& path, const std::string& procRoot = "/proc");

// Why a terminal is no bus, in a few words ("another user's pseudo-terminal"); empty for Free.
const char* BusTerminalWords(BusTerminal kind);
