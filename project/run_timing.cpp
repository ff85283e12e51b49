#include "project/run_timing.h"

RunTiming RunTiming::For(const ProjectLine& line, Duration wait) {
    RunTiming t;
    t.wait = wait;
    const unsigned baud = line.baud == 0 ? 9600 : line.baud;
    t.character = Duration((line.BitsPerCharacter() * 1000000LL + baud - 1) / baud);
    return t;
}
