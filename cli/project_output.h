#pragma once
// The renderers of the commissioning-project results: a table for people, one JSON document
// for scripts. Labels come from a file a person wrote: in the table every control character is
// shown as an escape, so a label can't break a line or move the cursor; JsonWriter escapes
// them in JSON.

#include <string>
#include <string_view>

#include "cli/project_results.h"

std::string RenderProjectRun(const ProjectRunResult& result, bool json);
std::string RenderIdentify(const IdentifyResult& result, bool json);

// `text` (UTF-8) with backslashes doubled and control characters (C0, DEL, C1) written as \n,
// \t, \r or \xNN; bytes that are not UTF-8 as \xNN too.
std::string EscapeForTerminal(std::string_view text);
