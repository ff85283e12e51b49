#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_error_text.h"

namespace {

TextFileRead Refused(std::string why) {
    return {std::nullopt, std::move(why)};
}

std::string SizeWords(std::size_t limit) {
    if (limit % (1024 * 1024) == 0) {
        return std::to_string(limit / (1024 * 1024)) + " MiB";
    }
    return std::to_string(limit) + " bytes";
}

}  // namespace

TextFileRead ReadTextFile(const std::string& path, std::size_t limit) {
    // Non-blocking, so that opening a pipe with no writer or a terminal never waits; nothing
    // but a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Refused(SystemErrorText(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return Refused(SystemErrorText(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        return Refused("is a directory");
    }
    if (!S_ISREG(st.st_mode)) {
        return Refused("is not a regular file");
    }
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        return Refused("larger than " + SizeWords(limit));
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Refused(SystemErrorText(errno));
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        // A file that grows while it is read is held to the same limit.
        if (text.size() > limit) {
            return Refused("larger than " + SizeWords(limit));
        }
    }
    return {std::move(text), {}};
}
