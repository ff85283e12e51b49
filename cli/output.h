#pragma once
// The one printer of orvalctl: a command's result as text (tables and lines meant to be read)
// or as one JSON document (--json), then its error lines on standard error.

#include <cstdio>
#include <string>

#include "cli/results.h"

// The result's document: text or JSON; empty when the result has nothing to print.
std::string RenderResult(const CommandOutput& output, bool json);

// Prints the document on `out` and each error line as "orvalctl: <line>" on `err`.
void PrintResult(const CommandResult& result, bool json, std::FILE* out = stdout,
                 std::FILE* err = stderr);
