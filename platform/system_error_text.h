#pragma once
// The system's text for an error number, as failure reports quote it (the stand-in for
// FormatMessage with the system's message table).

#include <string>

std::string SystemErrorText(int errorNumber);
