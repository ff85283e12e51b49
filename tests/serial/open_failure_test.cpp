// Why an open failed, on real pseudo-terminals: the errno the engine keeps, and the line that
// explains it for each cause (permission, a busy port and its holder, a device that is gone).

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>

#include "platform/open_failure_hint_linux.h"
#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial/serial_port.h"
#include "serial_test_support.h"

using namespace serial_test;

namespace {

std::string OwnName() {
    std::ifstream in("/proc/self/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// Runs `f` with file access checked as an unprivileged user (this thread only), so a device
// of mode 0600 really refuses the open, as it does for an installer outside its group.
template <class F>
void AsUnprivilegedUser(F f) {
    ::setfsuid(65534);
    f();
    ::setfsuid(0);
}

}  // namespace

TEST(OpenFailure, EachCauseIsKeptAndExplained) {
    BoxRecorder boxes;
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    auto pty = std::make_unique<PseudoTerminal>();
    CSerialPort port;
    const unsigned number = PublishAndList(*pty, port, "hint");
    const std::string path = port.PortPath(number);
    ASSERT_FALSE(path.empty());

    // No permission.
    ASSERT_EQ(::chmod(pty->SlavePath().c_str(), 0600), 0);
    AsUnprivilegedUser([&] {
        EXPECT_FALSE(
            port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    });
    EXPECT_EQ(port.LastOpenError(), EACCES);
    const std::string denied = OpenFailureHint(path, EACCES);
    for (const char* part : {path.c_str(), "dialout", "sudo usermod -aG dialout $USER", "登录"}) {
        EXPECT_NE(denied.find(part), std::string::npos) << part << " in " << denied;
    }

    // Busy: the hint names who holds it (here another engine in this very program).
    EXPECT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    EXPECT_EQ(port.LastOpenError(), 0);
    CSerialPort second;
    second.EnumeratePorts();
    EXPECT_FALSE(
        second.OpenPort(&owner, second.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    EXPECT_EQ(second.LastOpenError(), EBUSY);
    const std::string busy = OpenFailureHint(path, EBUSY);
    EXPECT_NE(busy.find(OwnName() + "（进程 " + std::to_string(::getpid()) + "）"),
              std::string::npos)
        << busy;
    EXPECT_NE(busy.find(pty->SlavePath()), std::string::npos) << "the device behind the link";
    port.ClosePort();

    // Gone: the simulator ended and withdrew its port after the list was read.
    pty.reset();
    EXPECT_FALSE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    EXPECT_EQ(port.LastOpenError(), ENOENT);
    EXPECT_NE(OpenFailureHint(path, ENOENT).find("已不存在"), std::string::npos);
    EXPECT_FALSE(port.OpenPort(&owner, port.PortEntry(4242), MakeLineSettings(9600, 'N', 8, 0)));
    EXPECT_EQ(port.LastOpenError(), ENODEV) << "a number that isn't listed";
    EXPECT_EQ(boxes.Count(), 0u) << "a failed open reports nothing itself";
}

TEST(OpenFailure, ABusyPortWhoseHolderCantBeFoundStillSaysItIsBusy) {
    PseudoTerminal pty;
    const std::string hint = OpenFailureHint(pty.SlavePath(), EBUSY, "/nonexistent-proc");
    EXPECT_NE(hint.find("正被其他程序占用"), std::string::npos) << hint;
}
