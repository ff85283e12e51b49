#pragma once
// orvalctl's commissioning-project commands: project capture, check, apply and resolve, and
// identify. Each checks its file (or where a capture goes) before it touches the port, runs its
// step machine (project/) from the tool's pump loop, and returns its result for the printer.

#include "cli/cli_args.h"
#include "cli/results.h"

// The port failed while a run was on (the engine reported a failed device call): the run ended
// with what it knew.
inline constexpr int kExitPortLost = 4;

CommandResult RunProjectCommand(const CliOptions& options);
