// The port watcher on a real folder with inotify: publishing and withdrawing a pseudo-terminal
// wakes it, a folder that appears later is watched from then on, and unrelated changes beside
// the folder are not reported.

#include "platform/port_watcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/pseudo_terminal.h"

namespace fs = std::filesystem;

namespace {

// Waits up to `ms` for the watcher to report a change.
bool Changed(IPortWatcher& watcher, int ms = 1000) {
    return watcher.WaitForEvents(ms) && watcher.TakeEvents();
}

struct Folder {
    fs::path parent = fs::temp_directory_path() / ("ravlin-watch-" + std::to_string(::getpid()));
    fs::path folder = parent / "ports";
    std::string previous = std::getenv("RAVLIN_PORT_DIR") ? std::getenv("RAVLIN_PORT_DIR") : "";
    Folder() {
        fs::remove_all(parent);
        fs::create_directories(parent);
        ::setenv("RAVLIN_PORT_DIR", folder.c_str(), 1);
    }
    ~Folder() {
        fs::remove_all(parent);
        ::setenv("RAVLIN_PORT_DIR", previous.c_str(), 1);
    }
};

}  // namespace

TEST(PortWatcher, FollowsPortsPublishedAndWithdrawnAndTheFolderComingLater) {
    Folder dir;
    const std::unique_ptr<IPortWatcher> owned = CreatePortWatcher(dir.folder.string(), false);
    IPortWatcher& watcher = *owned;
    ASSERT_TRUE(watcher.Watching());
    EXPECT_FALSE(Changed(watcher, 50)) << "nothing happened yet";

    {
        PseudoTerminal pty;
        pty.Publish("bus-a");  // creates the folder, then the link in it
        EXPECT_TRUE(Changed(watcher));
        std::ofstream(dir.parent / "unrelated.txt") << "x";
        fs::create_symlink("/dev/null", dir.folder / "bus-b");
        EXPECT_TRUE(Changed(watcher)) << "a link made in the folder once it exists";
        fs::remove(dir.folder / "bus-b");
        EXPECT_TRUE(Changed(watcher));
    }
    EXPECT_TRUE(Changed(watcher)) << "the link went with the pseudo-terminal";

    std::ofstream(dir.parent / "other.txt") << "y";
    EXPECT_FALSE(Changed(watcher, 100)) << "files beside the folder are none of its business";

    // Replaced by a folder of the wrong mode: the change is seen, so the list drops its ports.
    fs::remove_all(dir.folder);
    EXPECT_TRUE(Changed(watcher));
    fs::create_directory(dir.folder);
    EXPECT_TRUE(Changed(watcher));
    fs::permissions(dir.folder, fs::perms::owner_all);
    EXPECT_TRUE(Changed(watcher));
    fs::create_symlink("/dev/null", dir.folder / "bus-c");
    EXPECT_TRUE(Changed(watcher)) << "the re-created folder is watched";
}
