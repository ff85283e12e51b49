#pragma once
// The subcommands of orvalctl. Each prints its result on standard output (text, or one JSON
// document with --json), says what went wrong on standard error, and returns the exit status.

#include <memory>

#include "cli/cli_args.h"
#include "cli/results.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoAnswer = 1;  // the bus did not answer as asked
inline constexpr int kExitUsage = 2;     // bad arguments or a bad file
inline constexpr int kExitPort = 3;      // the port can't be opened

int RunCommand(const CliOptions& options);

// Opens the port the options name with `model`'s tab current, so that the session's commands go
// to that device type. On failure `failed` holds the exit status and the reason.
std::unique_ptr<BusClient> OpenBus(const CliOptions& o, DeviceModel model, CommandResult* failed);
