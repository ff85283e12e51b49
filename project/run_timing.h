#pragma once
// How long a project run waits, worked out from the line: every wait ends as soon as the answer
// it waits for is there, and the rest is bounded by what the line needs to carry the frames.

#include <chrono>
#include <cstddef>

#include "project/project_plan.h"

struct RunTiming {
    using Duration = std::chrono::microseconds;

    // How long a search waits for its first answer, and a read-back for its reply beyond the
    // time the line needs to carry it (orvalctl's --wait).
    Duration wait = std::chrono::seconds(1);
    // One character on the line.
    Duration character = Duration(1042);
    // A search is over when no answer came for this long after the last one (plus the time of
    // three frames on the line).
    Duration searchQuiet = std::chrono::milliseconds(200);
    // An automatic assignment in which every device that announced itself has taken its address
    // is over when no device asked for this long; one that never completes ends after `wait`
    // without a request.
    Duration assignSettle = std::chrono::milliseconds(300);
    // The pause after an address write (the window's 300 ms), cut short by the device's answer.
    Duration addressWritePause = std::chrono::milliseconds(300);
    // A read-back that brought no reply is asked for once more.
    int readAttempts = 2;

    // The timing of a line with these settings.
    static RunTiming For(const ProjectLine& line, Duration wait);
    // The time `bytes` take on the line.
    Duration OnLine(std::size_t bytes) const { return character * static_cast<long>(bytes); }
};
