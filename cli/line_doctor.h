#pragma once
// The line doctor: the questions an installer asks when nothing answers.

#include "cli/cli_args.h"
#include "cli/results.h"

// find-baud: a search for the options' model at each rate of the line-settings table (or of
// --rates), each listened to as long as the answers take at that rate; names the rate with the
// most answers (on a tie, the fewest bytes that formed no frame).
CommandResult RunFindBaud(const CliOptions& options);
