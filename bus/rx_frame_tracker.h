#pragma once
// What the receive parser made of the received bytes, for the bus monitor: each complete frame,
// and each run of bytes it dropped with the reasons. Fed by the parser as its observer, on the
// thread that feeds the parser; the records are taken from the same thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bus/rx_parser.h"

struct RxRecord {
    enum class Kind { Frame, Dropped };
    Kind kind = Kind::Frame;
    std::chrono::steady_clock::time_point time;  // a frame's last byte, a run's first byte
    std::vector<std::uint8_t> bytes;
    std::string reason;  // dropped runs: why, in words
};

class RxFrameTracker : public IRxObserver {
public:
    // A run of dropped bytes is cut into records of at most this many bytes.
    static constexpr std::size_t kMaxRunBytes = 256;

    void OnParsed(std::uint8_t byte, int stateBefore, int countBefore,
                  const RxParser& parser) override;

    // The records completed since the last call, oldest first. A run of dropped bytes that has
    // not grown since the last call is complete too: nothing more arrived to extend it.
    std::vector<RxRecord> Take();
    // Forgets the open run and the records not taken.
    void Clear();

private:
    void AddDropped(const std::uint8_t* bytes, std::size_t count, int state, std::uint8_t byte);
    void EndRun();

    std::vector<RxRecord> m_records;
    RxRecord m_run;
    bool m_runOpen = false;
    bool m_runGrew = false;
    std::vector<std::string> m_runReasons;  // distinct, for states 2..5
    std::size_t m_runNotHead = 0;           // bytes dropped for not being a frame head
};
