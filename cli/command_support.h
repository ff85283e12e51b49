#pragma once
// What every orvalctl command that works on the bus shares: opening the port for a model, and
// the words it says after its bus work.

#include <memory>
#include <string>

#include "cli/bus_client.h"
#include "cli/cli_args.h"
#include "cli/commands.h"
#include "cli/results.h"

CommandResult Failed(int status, std::string line, CommandOutput output = {});

// Opens the port the options name with the model's tab current, so that the session's
// commands go to that device type. On failure `failed` holds the exit status and the reason.
std::unique_ptr<BusClient> OpenBus(const CliOptions& o, DeviceModel model, CommandResult* failed);

// What every command says after its bus work: settings the port refused, bytes that formed no
// frame, and, when the port failed or the user interrupted, that the work stopped there (the
// result printed is then what was done up to that point).
CommandResult Finish(const BusClient& bus, CommandResult result);
