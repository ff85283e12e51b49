#include "tool_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::atomic<int> g_runs{0};

}  // namespace

RunningTool StartOrvalctl(const std::vector<std::string>& args) {
    const fs::path dir = fs::temp_directory_path() / ("orvalctl-run-" + std::to_string(::getpid()) +
                                                      "-" + std::to_string(g_runs++));
    fs::create_directories(dir);
    const std::string out = (dir / "out").string();
    const std::string err = (dir / "err").string();
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
    return {pid, dir.string()};
}

ToolResult WaitForOrvalctl(const RunningTool& tool, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    bool ended = false;
    while (!(ended = ::waitpid(tool.pid, &status, WNOHANG) == tool.pid) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ended) {
        ::kill(tool.pid, SIGKILL);
        ::waitpid(tool.pid, &status, 0);
    }
    ToolResult r;
    r.status = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(fs::path(tool.dir) / "out");
    r.err = Slurp(fs::path(tool.dir) / "err");
    fs::remove_all(tool.dir);
    return r;
}

ToolResult RunOrvalctl(const std::vector<std::string>& args) {
    return WaitForOrvalctl(StartOrvalctl(args));
}
