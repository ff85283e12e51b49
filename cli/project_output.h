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
