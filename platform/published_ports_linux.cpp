#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include "platform/published_ports.h"

namespace {

// `folder` without trailing "/" and "/." : "ports/" and "ports/." name the folder "ports" itself,
// and would let a link named so pass as a directory.
std::string WithoutTrailingDots(std::string folder) {
    for (;;) {
        if (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        } else if (folder.size() > 2 && folder.compare(folder.size() - 2, 2, "/.") == 0) {
            folder.resize(folder.size() - 2);
        } else {
            return folder;
        }
    }
}

}  // namespace

std::string PublishedPortsFolder() {
    if (const char* dir = std::getenv("RAVLIN_PORT_DIR"); dir && *dir) {
        return WithoutTrailingDots(dir);
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::string(runtime) + "/ravlin-ports";
    }
    return "/tmp/ravlin-ports-" + std::to_string(getuid());
}

FolderCheck CheckPublishedPortsFolder(const std::string& folder, std::string* reason) {
    auto refuse = [reason](const char* why) {
        if (reason) {
            *reason = why;
        }
        return FolderCheck::Refused;
    };
    struct stat st {};
    const std::string path = WithoutTrailingDots(folder);
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            return FolderCheck::Missing;
        }
        if (reason) {
            *reason = std::strerror(errno);
        }
        return FolderCheck::Refused;
    }
    if (S_ISLNK(st.st_mode)) {
        return refuse("it is a symbolic link");
    }
    if (!S_ISDIR(st.st_mode)) {
        return refuse("it is not a directory");
    }
    if (st.st_uid != ::geteuid()) {
        return refuse("it belongs to another user");
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return refuse("group or others have access to it (it must be mode 0700)");
    }
    return FolderCheck::Private;
}

bool UsePublishedPortsFolder(const std::string& folder) {
    std::string reason;
    const FolderCheck check = CheckPublishedPortsFolder(folder, &reason);
    if (check != FolderCheck::Refused) {
        return check == FolderCheck::Private;
    }
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard lock(mutex);
    if (told.insert(folder).second) {
        std::fprintf(stderr, "ravlin: ignoring the published-ports folder %s: %s\n", folder.c_str(),
                     reason.c_str());
    }
    return false;
}

bool CreatePublishedPortsFolder(const std::string& folder, std::string* reason) {
    if (CheckPublishedPortsFolder(folder, reason) == FolderCheck::Missing) {
        const std::filesystem::path path(folder);
        std::error_code ec;
        if (path.has_parent_path()) {
            std::filesystem::create_directories(path.parent_path(), ec);
        }
        // mkdir's mode is cut by the umask, which never adds bits: 0700 stays at most 0700.
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            *reason = std::strerror(errno);
            return false;
        }
    }
    return CheckPublishedPortsFolder(folder, reason) == FolderCheck::Private;
}
