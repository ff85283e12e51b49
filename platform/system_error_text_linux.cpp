#include <string.h>

#include "platform/system_error_text.h"

std::string SystemErrorText(int errorNumber) {
    char buffer[256] = {};
    // GNU strerror_r: returns either buffer or a static string; both are safe to copy here.
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}
