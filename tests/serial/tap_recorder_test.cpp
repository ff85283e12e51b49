// The tap recorder: what it keeps while recording, its bound, and a reporting thread racing the
// taker (run under ThreadSanitizer).

#include "serial/tap_recorder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace {

TEST(TapRecorder, KeepsEventsOnlyWhileRecording) {
    CTapRecorder tap;
    const std::uint8_t frame[] = {0xFA, 0x08, 0x00, 0x00};
    tap.OnWritten(frame, sizeof frame);
    tap.OnPurged(3);
    EXPECT_TRUE(tap.Take().empty());

    const auto before = tap.OpenedAt();
    tap.OnPortOpened(1);  // kept while not recording: times count from the opening
    EXPECT_GE(tap.OpenedAt(), before);

    tap.SetRecording(true);
    tap.OnReplaced(frame, 2);
    tap.OnPurged(7);
    tap.OnWritten(frame, sizeof frame);
    tap.SetRecording(false);
    tap.OnWritten(frame, sizeof frame);

    std::size_t lost = 99;
    const auto events = tap.Take(&lost);
    EXPECT_EQ(lost, 0u);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, TapEvent::Kind::Replaced);
    EXPECT_EQ(events[0].bytes, (std::vector<std::uint8_t>{0xFA, 0x08}));
    EXPECT_EQ(events[1].kind, TapEvent::Kind::Purged);
    EXPECT_EQ(events[1].unread, 7u);
    EXPECT_EQ(events[2].kind, TapEvent::Kind::Written);
    EXPECT_EQ(events[2].bytes.size(), sizeof frame);
    EXPECT_LE(events[0].time, events[2].time);
}

TEST(TapRecorder, BeyondTheBoundTheOldestGoAndAreCounted) {
    CTapRecorder tap;
    tap.SetRecording(true);
    const std::size_t extra = 5;
    for (std::size_t i = 0; i < CTapRecorder::kMaxPending + extra; ++i) {
        tap.OnPurged(i);
    }
    std::size_t lost = 0;
    const auto events = tap.Take(&lost);
    EXPECT_EQ(lost, extra);
    ASSERT_EQ(events.size(), CTapRecorder::kMaxPending);
    EXPECT_EQ(events.front().unread, extra);
    EXPECT_EQ(events.back().unread, CTapRecorder::kMaxPending + extra - 1);

    // The count of lost events is handed over once.
    tap.OnPurged(1);
    EXPECT_EQ(tap.Take(&lost).size(), 1u);
    EXPECT_EQ(lost, 0u);
}

TEST(TapRecorder, ReportingThreadAndTakerShareTheList) {
    CTapRecorder tap;
    tap.SetRecording(true);
    constexpr unsigned kEvents = 20000;
    std::thread writer([&] {
        for (unsigned i = 0; i < kEvents; ++i) {
            const std::uint8_t bytes[] = {static_cast<std::uint8_t>(i),
                                          static_cast<std::uint8_t>(i >> 8)};
            tap.OnWritten(bytes, sizeof bytes);
            if (i % 1000 == 0) {
                tap.OnPortOpened(i);
            }
        }
    });
    std::vector<unsigned> seen;
    std::size_t lostTotal = 0;
    while (seen.size() + lostTotal < kEvents) {
        std::size_t lost = 0;
        for (const TapEvent& e : tap.Take(&lost)) {
            ASSERT_EQ(e.bytes.size(), 2u);
            seen.push_back(e.bytes[0] | e.bytes[1] << 8);
        }
        lostTotal += lost;
        tap.OpenedAtWall();
        std::this_thread::yield();
    }
    writer.join();
    EXPECT_EQ(lostTotal, 0u);
    ASSERT_EQ(seen.size(), kEvents);
    for (unsigned i = 0; i < kEvents; ++i) {
        ASSERT_EQ(seen[i], i & 0xFFFF) << "events out of order";
    }
}

TEST(TapRecorder, AFailureIsKeptOnceRecordingOrNotAndTakenOnce) {
    CTapRecorder tap;
    tap.SetRecording(false);
    EXPECT_FALSE(tap.TakeFailure());
    tap.OnFailure("WaitCommEvent()", 5, true);
    tap.OnFailure("ReadFile()", 9, false);  // what follows the first failure adds nothing
    const std::optional<TapFailure> first = tap.TakeFailure();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->operation, "WaitCommEvent()");
    EXPECT_EQ(first->errorNumber, 5);
    EXPECT_TRUE(first->gone);
    EXPECT_FALSE(tap.TakeFailure());
    EXPECT_TRUE(tap.Take().empty());  // a failure is no event of the monitor's list
}

}  // namespace
