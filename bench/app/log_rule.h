#pragma once
// What the received-bytes log must show after a stream, computed independently of CHexLog: it
// holds at most 400 full lines and one more token, so it restarts every 400 * perLine + 1
// tokens and keeps the last, possibly partial, stretch.

#include <QString>
#include <cstdint>
#include <cstdio>
#include <vector>

inline QString ExpectedLog(const std::vector<std::uint8_t>& bytes, int perLine) {
    const std::size_t cap = 400 * static_cast<std::size_t>(perLine) + 1;
    const std::size_t kept = bytes.empty() ? 0 : bytes.size() - cap * ((bytes.size() - 1) / cap);
    QString text;
    char token[4];
    for (std::size_t i = bytes.size() - kept; i < bytes.size(); ++i) {
        std::snprintf(token, sizeof token, "%02X ", bytes[i]);
        text += QLatin1String(token);
    }
    return text;
}
