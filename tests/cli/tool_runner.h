#pragma once
// Runs the real orvalctl binary and gives back its exit status and what it printed.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct ToolResult {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// orvalctl with `args`; its output goes into files (no pipe can fill up and stall it).
ToolResult RunOrvalctl(const std::vector<std::string>& args);

// orvalctl started in the background, for tests that act while it runs (a signal, a port that
// goes away).
struct RunningTool {
    pid_t pid = -1;
    std::string dir;  // where its output goes
};
RunningTool StartOrvalctl(const std::vector<std::string>& args);
// Waits for it to end, at most `limit`; a tool still running then is killed and reported with
// status -1 (a hang is a failure of the test, never a stalled test).
ToolResult WaitForOrvalctl(const RunningTool& tool,
                           std::chrono::milliseconds limit = std::chrono::seconds(60));
