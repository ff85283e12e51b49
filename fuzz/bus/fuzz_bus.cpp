// Arbitrary bytes from the bus through the receive parser and the dispatcher, with a view that
// checks what the dialog would be asked to do; the same bytes as function-code text and as a
// configuration block. Input: byte 0 picks the tab (bits 0-1) and whether automatic assignment
// starts at byte 1 (bit 2); the rest is the received stream.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bus/bus_dispatch.h"
#include "bus/bus_status.h"
#include "bus/device_models.h"
#include "bus/frame.h"
#include "bus/function_codes.h"
#include "bus/rx_parser.h"
#include "bus/tarvo_config.h"

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

class CheckingView : public IBusView {
public:
    CheckingView(TxFrame& tx, int tab) : m_tx(tx), m_tab(tab) {}
    int CurrentTab() const override { return m_tab; }
    void AddStatusLine(const char* utf8) override { Check(utf8 != nullptr && *utf8 != '\0'); }
    void ScrollStatusToLastLine() override {}
    void AddDeviceToList(std::uint8_t address) override { Check(address != kPcAddress); }
    void SetMirellRecord(const OrvalMirell& r) override {
        Check(m_tab == kTabMirell && r.addr != kPcAddress);
    }
    void SetOskanRecord(const OrvalOskan& r) override {
        Check(m_tab == kTabOskan && r.addr != kPcAddress);
    }
    void LoadTarvoConfig(const TarvoConfigBlock& block) override {
        Check(m_tab == kTabTarvo);
        const TarvoConfig c = DecodeTarvoConfig(block);
        Check(c.pressCodes.size() <= kMaxFunctionCodes);
        Check(c.releaseCodes.size() <= kMaxFunctionCodes);
    }
    void SendTxFrame(unsigned count) override {
        // Only the 0x22 answer is sent from the receive path, and never with address 0.
        const auto b = m_tx.Snapshot();
        Check(count == kFrameLength && b[kPosCommand] == kCmdAddressAssign && b[5] != 0);
    }

private:
    TxFrame& m_tx;
    int m_tab;
};

void FuzzReceive(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    g_longReplyRemaining = kLongReplyBlockBytes;
    TxFrame tx;
    CheckingView view(tx, data[0] & 3);
    BusDispatcher dispatcher(view, tx);
    if ((data[0] & 4) && size > 1) {
        dispatcher.StartAutoAssign(data[1]);
    }
    RxParser parser;
    for (std::size_t i = 1; i < size; ++i) {
        parser.Feed(data[i], dispatcher);
        Check(parser.State() >= 1 && parser.State() <= 10);
        Check(parser.Count() >= 0 && parser.Count() <= static_cast<int>(kLongReplyLength));
        Check(g_longReplyRemaining >= 0 && g_longReplyRemaining <= kLongReplyBlockBytes);
    }
}

void FuzzConversions(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    // The same bytes also as 8-bit text, where spaces and hex digits are frequent.
    std::u16string narrow(data, data + size);

    std::array<std::uint8_t, 260> out;
    for (const std::u16string* t : {&text, &narrow}) {
        for (bool hex : {true, false}) {
            const int n = CodeTextToBytes(*t, hex, out);
            Check(n == kCodeTextUnencodable || (n >= 0 && n <= 64));
            Check(hex || n != kCodeTextUnencodable || t == &text);
        }
        // A small buffer with guard bytes on either side.
        std::uint8_t small[8] = {0xA5, 0, 0, 0, 0, 0, 0, 0xA5};
        const int n = ParseHexCodes(*t, small + 1, 6);
        Check(n >= 0 && n <= 6 && small[0] == 0xA5 && small[7] == 0xA5);
    }

    TarvoConfigBlock block;
    std::copy_n(data, std::min(size, block.bytes.size()), block.bytes.begin());
    const TarvoConfig c = DecodeTarvoConfig(block);
    const std::string codes = FormatCodes(c.pressCodes);
    Check(codes.size() == (c.pressCodes.empty() ? 0 : c.pressCodes.size() * 3 - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzReceive(data, size);
    FuzzConversions(data, size);
    return 0;
}
