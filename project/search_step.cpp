#include "project/search_step.h"

#include <algorithm>

#include "bus/frame.h"

namespace {

// Answers a search can bring at most: one per address, and as many again for clashes.
constexpr std::size_t kMostAnswers = 2 * 255;

}  // namespace

void SearchStep::Begin(StepContext& c, Time now) {
    c.bus.UseModel(m_model);
    c.bus.SendSearch();
    const auto frame = c.timing.OnLine(kFrameLength);
    WakeAt(now + c.timing.OnLine(kSearchFrameLength) + c.timing.wait);
    m_limit =
        now + c.timing.wait + (frame + c.timing.searchQuiet) * static_cast<long>(kMostAnswers);
}

void SearchStep::OnFrame(StepContext& c, const std::uint8_t* frame, Time now) {
    if (Finished() || frame[kPosCommand] != kCmdFound ||
        frame[kPosType] != ModelInfo(m_model).typeCode) {
        return;
    }
    SearchAnswer a;
    a.address = frame[kPosSource];
    std::copy_n(frame + 6, a.identity.size(), a.identity.begin());
    m_answers.push_back(a);
    WakeAt(std::min(m_limit, now + c.timing.searchQuiet + c.timing.OnLine(3 * kFrameLength)));
}

void SearchStep::Stop(StepContext&, Time) {
    m_cut = true;
    Finish();
}

void SearchStep::OnTime(StepContext&, Time now) {
    if (Due(WakeAt(), now)) {
        Finish();
    }
}
