#pragma once
// What the receive parser made of the received bytes, for the bus monitor: each complete frame,
// and each run of bytes it dropped with the reasons. Fed by the parser as its observer, on the
// thread that feeds the parser; the records are taken from the same thread.
//
// A run of dropped bytes ends at the next complete frame, at kMaxRunBytes, or once no byte was
// dropped for kRunQuiet by the tracker's clock. Time is read only from that clock, which a test
// may drive, so where a run ends never depends on when the records are taken.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bus/rx_parser.h"

struct RxRecord {
    enum class Kind { Frame, Dropped };
    // A frame the parser let go of once it had read the source: the device that sent it.
    struct BrokenFrom {
        std::uint8_t type = 0;
        std::uint8_t source = 0;
    };
    Kind kind = Kind::Frame;
    std::chrono::steady_clock::time_point time;  // a frame's last byte, a run's first byte
    std::vector<std::uint8_t> bytes;
    std::string reason;                  // dropped runs: why, in words
    std::vector<BrokenFrom> brokenFrom;  // dropped runs: the broken frames of known senders
};

class RxFrameTracker : public IRxObserver {
public:
    using Clock = std::chrono::steady_clock;
    // A run of dropped bytes is cut into records of at most this many bytes.
    static constexpr std::size_t kMaxRunBytes = 256;
    // A run of dropped bytes ends when nothing more was dropped for this long.
    static constexpr std::chrono::milliseconds kRunQuiet{100};

    void OnParsed(std::uint8_t byte, int stateBefore, int countBefore,
                  const RxParser& parser) override;

    // The records completed since the last call, oldest first (a run that has been quiet for
    // kRunQuiet is complete).
    std::vector<RxRecord> Take();
    // Forgets the open run and the records not taken.
    void Clear();
    // Where the time comes from (steady_clock::now unless set; an empty function restores it).
    void SetClock(std::function<Clock::time_point()> now) {
        m_now = std::move(now);
        m_timeKnown = false;
    }
    // The clock is read once per arrival: the bytes handled together (a run the engine hands
    // over at once) share their time, so a busy line costs no clock read per byte. The feeder
    // calls this after each arrival, and the taker before it takes.
    void TimeMoved() { m_timeKnown = false; }
    Clock::time_point Now() {
        if (!m_timeKnown) {
            m_time = m_now ? m_now() : Clock::now();
            m_timeKnown = true;
        }
        return m_time;
    }

private:
    void AddDropped(const std::uint8_t* bytes, std::size_t count, int state, std::uint8_t byte);
    void EndRun();

    std::function<Clock::time_point()> m_now;
    Clock::time_point m_time;  // the time of the current arrival, once read
    bool m_timeKnown = false;
    std::vector<RxRecord> m_records;
    RxRecord m_run;
    bool m_runOpen = false;
    Clock::time_point m_runLast;              // when the open run last grew
    std::vector<std::uint16_t> m_runReasons;  // distinct state << 8 | byte, for states 2..5
    std::size_t m_runNotHead = 0;             // bytes dropped for not being a frame head
};
