#include "bus/commands.h"

#include <algorithm>

#include "bus/frame.h"

namespace {

// Bytes 2..4 of a frame addressed to one device by the PC.
void Address(TxFrame::Bytes& b, std::uint8_t device, std::uint8_t command) {
    b[kPosDestination] = device;
    b[kPosSource] = kPcAddress;
    b[kPosCommand] = command;
}

void LowHigh(TxFrame::Bytes& b, std::size_t at, std::uint32_t value) {
    b[at] = static_cast<std::uint8_t>(value);
    b[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr ChannelCodePair Pair(std::uint8_t code) {
    return {static_cast<std::uint8_t>(0xFF - code), code};
}

constexpr ChannelCodes Channel(std::uint8_t k) {
    return {Pair(k), Pair(static_cast<std::uint8_t>(0x10 + k))};
}

}  // namespace

const std::array<ChannelCodes, 8> g_channelCodes = {Channel(1), Channel(2), Channel(3), Channel(4),
                                                    Channel(5), Channel(6), Channel(7), Channel(8)};

unsigned BuildSearchFrame(TxFrame::Bytes& b, std::optional<std::uint8_t> type) {
    if (type) {
        b[kPosType] = *type;
    }
    b[kPosDestination] = 0;
    b[kPosSource] = kPcAddress;
    return kSearchFrameLength;
}

unsigned BuildAutoAssignFrame(TxFrame::Bytes& b) {
    b[kPosCommand] = kCmdAutoAssign;
    b[kPosDestination] = kBroadcastAddress;
    return kFrameLength;
}

unsigned BuildAddressAnswer(TxFrame::Bytes& b, const std::uint8_t* request, std::uint8_t address) {
    b[kPosCommand] = kCmdAddressAssign;
    b[5] = address;
    b[kPosDestination] = request[kPosSource];
    std::copy_n(request + 6, 4, b.begin() + 6);
    return kFrameLength;
}

unsigned BuildMirellAddressWrite(TxFrame::Bytes& b, std::uint8_t device, std::uint8_t newAddress,
                                 const std::array<std::uint8_t, 4>& state) {
    Address(b, device, kCmdAddressAssign);
    b[5] = newAddress;
    std::copy(state.begin(), state.end(), b.begin() + 6);
    return kFrameLength;
}

unsigned BuildOskanAddressWrite(TxFrame::Bytes& b, std::uint8_t device, std::uint8_t newAddress) {
    Address(b, device, kCmdAddressAssign);
    b[5] = newAddress;
    b[6] = kCmdAddressAssign;
    return kFrameLength;
}

unsigned BuildReadConfigFrame(TxFrame::Bytes& b, std::uint8_t device) {
    Address(b, device, kCmdReadConfig);
    return kFrameLength;
}

unsigned BuildLedTestFrame(TxFrame::Bytes& b, std::uint8_t command, std::uint8_t device,
                           std::uint8_t state) {
    Address(b, device, command);
    b[6] = state;
    return kFrameLength;
}

unsigned BuildKeyModeFrame(TxFrame::Bytes& b, std::uint8_t device, bool shortLongMode,
                           std::uint32_t longPressMs) {
    Address(b, device, kCmdKeyMode);
    LowHigh(b, 7, longPressMs);
    b[6] = shortLongMode ? 1 : 0;
    b[9] = 0;
    return kFrameLength;
}

unsigned BuildFunctionCodesFrame(TxFrame::Bytes& b, std::uint8_t device, bool firstSet,
                                 const std::uint8_t* codes, std::size_t count) {
    const std::size_t n = std::min(count, kMaxFunctionCodes);
    Address(b, device, kCmdFunctionCodes);
    b[6] = static_cast<std::uint8_t>(n);
    b[7] = firstSet ? 1 : 0;
    if (n > 0) {
        std::copy_n(codes, n, b.begin() + kFrameLength);
    }
    return static_cast<unsigned>(kFrameLength + n);
}

std::uint8_t SerialFormatByte(unsigned dataIdx, unsigned stopIdx, unsigned parityIdx) {
    return static_cast<std::uint8_t>((dataIdx & 0x3) | (stopIdx & 0x3) << 2 |
                                     (parityIdx & 0x7) << 4);
}

unsigned BuildSerialFormatFrame(TxFrame::Bytes& b, std::uint32_t baud, unsigned dataIdx,
                                unsigned stopIdx, unsigned parityIdx) {
    LowHigh(b, 6, baud / 100);
    b[kPosCommand] = kCmdSerialFormat;
    b[8] = SerialFormatByte(dataIdx, stopIdx, parityIdx);
    return kFrameLength;
}

std::optional<MirellCommand> FindMirellCommand(std::string_view function, std::string_view action) {
    for (const NamedMirellCommand& c : kMirellCommands) {
        if (c.action != nullptr && function == c.function && action == c.action) {
            return c.command;
        }
    }
    return std::nullopt;
}

unsigned BuildMirellCommandFrame(TxFrame::Bytes& b, std::uint8_t address, std::uint8_t function,
                                 std::uint8_t value) {
    const std::array<std::uint8_t, kFrameLength> frame = {
        kFrameHead, kTypeMirell, address,  kPcAddress, kCmdDevice,
        0x00,       0x45,        function, value,      0x55};
    std::copy(frame.begin(), frame.end(), b.begin());
    return kFrameLength;
}

namespace {

unsigned CopyOskanFrame(TxFrame::Bytes& b, std::uint8_t address, std::uint8_t b4, std::uint8_t b5,
                        std::uint8_t b6, std::uint8_t b7) {
    const std::array<std::uint8_t, kFrameLength> frame = {
        kFrameHead, kTypeOskan, address, kPcAddress, b4, b5, b6, b7, 0x00, 0x00};
    std::copy(frame.begin(), frame.end(), b.begin());
    return kFrameLength;
}

}  // namespace

unsigned BuildOskanChannelFrame(TxFrame::Bytes& b, std::uint8_t address, unsigned channelIndex,
                                bool on) {
    if (channelIndex >= g_channelCodes.size()) {
        return 0;
    }
    const ChannelCodePair& p =
        on ? g_channelCodes[channelIndex].on : g_channelCodes[channelIndex].off;
    return CopyOskanFrame(b, address, kCmdDevice, 0x00, p.complement, p.code);
}

unsigned BuildOskanFeedbackFrame(TxFrame::Bytes& b, std::uint8_t address, bool on) {
    const std::uint8_t code = on ? 0x02 : 0x03;
    return CopyOskanFrame(b, address, code, code, 0x00, 0x00);
}
