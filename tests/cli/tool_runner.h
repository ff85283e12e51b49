#pragma once
// Runs the real orvalctl binary and gives back its exit status and what it printed.

#include <string>
#include <vector>

struct ToolResult {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// orvalctl with `args`; its output goes into files (no pipe can fill up and stall it).
ToolResult RunOrvalctl(const std::vector<std::string>& args);
