#pragma once
// The open-failure hint on Linux, with the process table read from `procRoot` instead of /proc
// (tests give one that can't be read). Only platform's Linux sources (and tests) include this
// header.

#include <string>

#include "platform/open_failure_hint.h"

std::string OpenFailureHint(const std::string& path, int error, const std::string& procRoot);
