#include "cli/line_doctor.h"

#include <algorithm>

#include "bus/line_settings.h"
#include "cli/bus_client.h"
#include "cli/command_support.h"

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

// How long the answers to a search may take at a rate: the devices' own delay, then up to a few
// dozen ten-byte answers, each a character time per byte; the listening ends sooner once the
// line has been quiet for a while after the last byte.
milliseconds Listening(std::chrono::microseconds charTime) {
    return milliseconds(150) + duration_cast<milliseconds>(40 * charTime);
}
milliseconds Quiet(std::chrono::microseconds charTime) {
    return std::max(milliseconds(60), duration_cast<milliseconds>(20 * charTime));
}

}  // namespace

CommandResult RunFindBaud(const CliOptions& o) {
    FindBaudResult r;
    r.model = &ModelInfo(*o.model);
    std::vector<std::uint32_t> rates = o.rates;
    if (rates.empty()) {
        rates.assign(kBaudRates.begin(), kBaudRates.end());
    }
    std::vector<std::string> notes;
    for (const std::uint32_t baud : rates) {
        CliOptions at = o;
        at.line.baud = baud;
        CommandResult failed;
        const auto bus = OpenBus(at, *o.model, &failed);
        if (!bus) {
            failed.output = r;
            return failed;
        }
        bus->SendAndWait([&] { bus->Session().SendSearch(); });
        const auto start = BusClient::Clock::now();
        const auto charTime = bus->CharacterTime();
        std::size_t heard = bus->BytesReceived();
        auto lastByte = start;
        // Until the answers' time is over and the line has been quiet, at most two seconds.
        while (!bus->Stopped()) {
            const auto now = BusClient::Clock::now();
            if (bus->BytesReceived() != heard) {
                heard = bus->BytesReceived();
                lastByte = now;
            }
            if ((now - start >= Listening(charTime) && now - lastByte >= Quiet(charTime)) ||
                now - start >= std::chrono::seconds(2)) {
                break;
            }
            bus->Pump(milliseconds(10));
        }
        RateTried tried{baud, 0, bus->Frames().size(), bus->BytesInNoFrame()};
        for (const FoundDevice& d : bus->Found()) {
            tried.answers += d.type == r.model->typeCode ? 1 : 0;
        }
        bus->Close();
        r.rates.push_back(tried);
        if (bus->Stopped()) {
            return Finish(*bus, {kExitNoAnswer, r, {}});
        }
        notes = bus->Warnings();
    }
    const auto best =
        std::max_element(r.rates.begin(), r.rates.end(), [](const auto& a, const auto& b) {
            return a.answers != b.answers ? a.answers < b.answers : a.dropped > b.dropped;
        });
    if (best == r.rates.end() || best->answers == 0) {
        notes.push_back(std::string("no ") + r.model->name + " device answered at any rate tried");
        return {kExitNoAnswer, r, notes};
    }
    r.found = best->baud;
    return {kExitOk, r, notes};
}
