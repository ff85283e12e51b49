#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/system_error_text.h"
#include "platform/text_file_write.h"

namespace {

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The path a link leads to; the path itself when it is no link or leads nowhere yet.
std::string Target(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

}  // namespace

std::string WhyNotWritable(const std::string& path) {
    if (path.empty()) {
        return "no file name";
    }
    const std::string target = Target(path);
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return "is a directory";
        }
        if (!S_ISREG(st.st_mode)) {
            return "is not a regular file";
        }
    } else if (errno != ENOENT) {
        return SystemErrorText(errno);
    }
    const std::string folder = FolderOf(target);
    if (::stat(folder.c_str(), &st) != 0) {
        return "folder " + folder + ": " + SystemErrorText(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return folder + " is not a folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "folder " + folder + ": " + SystemErrorText(errno);
    }
    return {};
}

bool WriteTextFileWhole(const std::string& path, const std::string& text, std::string* error) {
    const auto fail = [&](int number) {
        if (error) {
            *error = SystemErrorText(number);
        }
        return false;
    };
    if (const std::string why = WhyNotWritable(path); !why.empty()) {
        if (error) {
            *error = why;
        }
        return false;
    }
    const std::string target = Target(path);
    struct stat st {};
    const bool replacing = ::stat(target.c_str(), &st) == 0;
    // A new name beside the target; a new file gets 0666 less the user's umask.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = target + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) {
            return fail(errno);
        }
    }
    if (fd < 0) {
        return fail(EEXIST);
    }
    int problem = 0;
    for (std::size_t done = 0; done < text.size() && problem == 0;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno != EINTR) {
                problem = errno;
            }
            continue;
        }
        done += static_cast<std::size_t>(n);
    }
    if (problem == 0 && replacing && ::fchmod(fd, st.st_mode & 07777) != 0) {
        problem = errno;
    }
    if (problem == 0 && ::fsync(fd) != 0) {
        problem = errno;
    }
    if (::close(fd) != 0 && problem == 0) {
        problem = errno;
    }
    if (problem == 0 && ::rename(temp.c_str(), target.c_str()) != 0) {
        problem = errno;
    }
    if (problem != 0) {
        ::unlink(temp.c_str());
        return fail(problem);
    }
    return true;
}
