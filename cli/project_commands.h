#pragma once
// orvalctl's commissioning-project commands: project capture, check, apply and resolve, and
// identify. Each checks its file (or where a capture goes) before it touches the port, runs its
// step machine (project/) from the tool's pump loop, and returns its result for the printer.

#include "cli/cli_args.h"
#include "cli/results.h"

CommandResult RunProjectCommand(const CliOptions& options);
