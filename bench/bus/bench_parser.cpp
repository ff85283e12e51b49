// Throughput of the receive path alone: a realistic mix of received bytes (found-device
// replies, confirmations, address requests, configuration replies and line noise) through the
// parser and the dispatcher, with a main dialog that only counts what it is asked to do.
// Prints figures; never fails on speed.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "bus/bus_dispatch.h"
#include "bus/rx_parser.h"

namespace {

class CountingView : public IBusView {
public:
    int CurrentTab() const override { return tab; }
    void AddStatusLine(const char*) override { ++lines; }
    void ScrollStatusToLastLine() override { ++scrolls; }
    void AddDeviceToList(std::uint8_t) override { ++devices; }
    void SetMirellRecord(const OrvalMirell&) override { ++records; }
    void SetOskanRecord(const OrvalOskan&) override { ++records; }
    void LoadTarvoConfig(const TarvoConfigBlock& b) override { configs += b.bytes.size() == 150; }
    void SendTxFrame(unsigned count) override { sent += count; }

    int tab = 0;
    std::uint64_t lines = 0, scrolls = 0, devices = 0, records = 0, configs = 0, sent = 0;
};

void Append(std::vector<std::uint8_t>& s, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        s.push_back(static_cast<std::uint8_t>(b));
    }
}

std::vector<std::uint8_t> MakeStream(std::size_t frames) {
    std::mt19937 rng(12345);
    std::vector<std::uint8_t> s;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto addr = static_cast<int>(1 + rng() % 255);
        switch (rng() % 10) {
            case 0:
            case 1:
            case 2:
            case 3:  // found-device replies
                Append(s, {0xFA, 0x08, 0x00, addr, 0xFE, 0x00, 0x11, 0x22, 0x33, 0x44});
                break;
            case 4:
            case 5:  // confirmations
                Append(s, {0xFA, 0x09, 0x00, addr, 0x26, 0x00, 0x00, 0x00, 0x00, 0x00});
                break;
            case 6:  // address request, answered
                Append(s, {0xFA, 0x09, 0x00, addr, 0x21, 0x00, 0xA1, 0xB2, 0xE3, 0xD4});
                break;
            case 7:  // configuration reply
                Append(s, {0xFA, 0x09, 0x00, addr, 0x23, 0x00, 0x00, 0x00, 0x00, 0x00});
                for (int k = 0; k < 150; ++k) {
                    s.push_back(static_cast<std::uint8_t>(rng()));
                }
                break;
            default:  // line noise, with a stray head byte now and then
                for (int k = 0; k < 8; ++k) {
                    s.push_back(k == 3 ? 0xFA : static_cast<std::uint8_t>(rng() % 0xF0));
                }
                break;
        }
    }
    return s;
}

}  // namespace

int main() {
    const std::vector<std::uint8_t> stream = MakeStream(200000);
    CountingView view;
    TxFrame tx;
    BusDispatcher dispatcher(view, tx);
    RxParser parser;

    const int rounds = 10;
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) {
        view.tab = r % 3;
        parser.Feed(stream.data(), stream.size(), dispatcher);
        bytes += stream.size();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("stream_bytes: %zu\n", stream.size());
    std::printf("rounds: %d\n", rounds);
    std::printf(
        "status_lines: %llu devices: %llu records: %llu configs: %llu sent_bytes: %llu\n",
        static_cast<unsigned long long>(view.lines), static_cast<unsigned long long>(view.devices),
        static_cast<unsigned long long>(view.records),
        static_cast<unsigned long long>(view.configs), static_cast<unsigned long long>(view.sent));
    std::printf("seconds: %.3f\n", seconds);
    std::printf("bytes_per_s: %.0f\n", static_cast<double>(bytes) / seconds);
    return 0;
}
