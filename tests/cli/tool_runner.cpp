#include "tool_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

ToolResult RunOrvalctl(const std::vector<std::string>& args) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orvalctl-run-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path out = dir / "out";
    const fs::path err = dir / "err";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ORVALCTL_PATH));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::execv(ORVALCTL_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ToolResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    fs::remove_all(dir);
    return r;
}
