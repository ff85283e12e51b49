#pragma once
// The subcommands of orvalctl. Each prints its result on standard output (text, or one JSON
// document with --json), says what went wrong on standard error, and returns the exit status.

#include "cli/cli_args.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoAnswer = 1;    // the bus did not answer as asked
inline constexpr int kExitUsage = 2;       // bad arguments or a bad file
inline constexpr int kExitPort = 3;        // the port can't be opened
inline constexpr int kExitPortFailed = 4;  // the port failed while the command worked on it
// Interrupted by a signal: 128 + its number (130 for Ctrl+C).

int RunCommand(const CliOptions& options);
