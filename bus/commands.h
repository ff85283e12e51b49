#pragma once
// Frame builders. Each writes only the bytes its command defines into the outgoing frame and
// returns the number of bytes to send; every other byte keeps what the previous frame left.
// Call them inside TxFrame::WithLock and hand the frame over under the same lock.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "bus/tx_frame.h"

// Search: byte 1 = `type` when given (left as it stands otherwise), bytes 2 and 3 = 0. 4 bytes.
unsigned BuildSearchFrame(TxFrame::Bytes& b, std::optional<std::uint8_t> type);

// Automatic-assignment announcement: byte 2 = 0xFF, byte 4 = 0x20. 10 bytes.
unsigned BuildAutoAssignFrame(TxFrame::Bytes& b);

// Answer 0x22 to a device's 0x21 request (`request`: its ten bytes): byte 2 = the requester
// (request[3]), byte 4 = 0x22, byte 5 = `address`, bytes 6..9 = request[6..9]. 10 bytes.
unsigned BuildAddressAnswer(TxFrame::Bytes& b, const std::uint8_t* request, std::uint8_t address);

// Address write to a MIRELL device: bytes 2..5 = device, 0, 0x22, newAddress; bytes 6..9 = the
// state bytes of its found-device record. 10 bytes.
unsigned BuildMirellAddressWrite(TxFrame::Bytes& b, std::uint8_t device, std::uint8_t newAddress,
                                 const std::array<std::uint8_t, 4>& state);

// Address write to an OSKAN device: bytes 2..5 = device, 0, 0x22, newAddress; byte 6 = 0x22.
unsigned BuildOskanAddressWrite(TxFrame::Bytes& b, std::uint8_t device, std::uint8_t newAddress);

// Configuration read request: bytes 2..4 = device, 0, 0x23. 10 bytes.
unsigned BuildReadConfigFrame(TxFrame::Bytes& b, std::uint8_t device);

// LED test states (byte 6).
inline constexpr std::uint8_t kLedOff = 0;
inline constexpr std::uint8_t kLedOn = 1;
inline constexpr std::uint8_t kLedFlash = 2;

// LED test: bytes 2..4 = device, 0, command (kCmdLed1 or kCmdLed2); byte 6 = state. 10 bytes.
unsigned BuildLedTestFrame(TxFrame::Bytes& b, std::uint8_t command, std::uint8_t device,
                           std::uint8_t state);

// Key mode and long-press time 0x26: bytes 2..4 = device, 0, 0x26; byte 6 = 1 for short/long
// press, 0 for press/release; bytes 7, 8 = low 16 bits of longPressMs, low byte first;
// byte 9 = 0. 10 bytes.
unsigned BuildKeyModeFrame(TxFrame::Bytes& b, std::uint8_t device, bool shortLongMode,
                           std::uint32_t longPressMs);

// Function codes 0x27: bytes 2..4 = device, 0, 0x27; byte 6 = n; byte 7 = 1 for the first set,
// 0 for the second; bytes 10.. = the n codes (n cut to 64). 10 + n bytes.
unsigned BuildFunctionCodesFrame(TxFrame::Bytes& b, std::uint8_t device, bool firstSet,
                                 const std::uint8_t* codes, std::size_t count);

// Serial-format byte of command 0x25: data-bits index in bits 0-1, stop-bits index in bits 2-3,
// parity index in bits 4-6. 8-N-1 (0, 0, 0) is 0.
std::uint8_t SerialFormatByte(unsigned dataIdx, unsigned stopIdx, unsigned parityIdx);

// Device serial format 0x25: byte 4 = 0x25; bytes 6, 7 = baud / 100, low byte first; byte 8 =
// SerialFormatByte. Bytes 2 and 3 are left as they stand. 10 bytes.
unsigned BuildSerialFormatFrame(TxFrame::Bytes& b, std::uint32_t baud, unsigned dataIdx,
                                unsigned stopIdx, unsigned parityIdx);

// MIRELL functions (byte 7) and values (byte 8).
inline constexpr std::uint8_t kMirellProjector = 0x01;
inline constexpr std::uint8_t kMirellSequence = 0x02;
inline constexpr std::uint8_t kMirellScreen = 0x04;
inline constexpr std::uint8_t kMirellLifter = 0x05;

// One MIRELL command: the function and the value the page's control sends.
struct MirellCommand {
    std::uint8_t function;  // byte 7
    std::uint8_t value;     // byte 8
};

// What each control of the MIRELL page sends. For SCREEN and LIFTER 0x00 is stop; the device
// takes the LIFTER values the other way round from the SCREEN values.
namespace mirell {
inline constexpr MirellCommand kScreenUp{kMirellScreen, 0x01};
inline constexpr MirellCommand kScreenDown{kMirellScreen, 0x02};
inline constexpr MirellCommand kScreenStop{kMirellScreen, 0x00};
inline constexpr MirellCommand kLifterUp{kMirellLifter, 0x02};
inline constexpr MirellCommand kLifterDown{kMirellLifter, 0x01};
inline constexpr MirellCommand kLifterStop{kMirellLifter, 0x00};
inline constexpr MirellCommand kProjectorOn{kMirellProjector, 0x01};
inline constexpr MirellCommand kProjectorOff{kMirellProjector, 0x00};
inline constexpr MirellCommand kSeqOn{kMirellSequence, 0x01};
inline constexpr MirellCommand kSeqOff{kMirellSequence, 0x02};
inline constexpr MirellCommand kSeqEnable{kMirellSequence, 0x00};  // "启用时序开关"
}  // namespace mirell

// The MIRELL commands by name: the words of the command line ("screen" "up") and of a decoded
// frame ("SCREEN" "UP").
struct NamedMirellCommand {
    const char* function;  // "screen", "lifter", "projector", "seq"
    const char* action;    // "up", "down", "stop", "on", "off"; nullptr: not on the command line
    const char* functionTitle;  // "SCREEN", "LIFTER", "PROJECTOR", "SEQ.SW"
    const char* actionTitle;    // "UP", "DOWN", "STOP", "ON", "OFF", "启用"
    MirellCommand command;
};
inline constexpr std::array<NamedMirellCommand, 11> kMirellCommands = {{
    {"screen", "up", "SCREEN", "UP", mirell::kScreenUp},
    {"screen", "down", "SCREEN", "DOWN", mirell::kScreenDown},
    {"screen", "stop", "SCREEN", "STOP", mirell::kScreenStop},
    {"lifter", "up", "LIFTER", "UP", mirell::kLifterUp},
    {"lifter", "down", "LIFTER", "DOWN", mirell::kLifterDown},
    {"lifter", "stop", "LIFTER", "STOP", mirell::kLifterStop},
    {"projector", "on", "PROJECTOR", "ON", mirell::kProjectorOn},
    {"projector", "off", "PROJECTOR", "OFF", mirell::kProjectorOff},
    {"seq", "on", "SEQ.SW", "ON", mirell::kSeqOn},
    {"seq", "off", "SEQ.SW", "OFF", mirell::kSeqOff},
    {"seq", nullptr, "SEQ.SW", "启用", mirell::kSeqEnable},
}};

// The command the command line names ("screen", "up"); nothing for other words.
std::optional<MirellCommand> FindMirellCommand(std::string_view function, std::string_view action);

// MIRELL command, bytes 0..9 whole: FA 08 address 00 00 00 45 function value 55. 10 bytes.
unsigned BuildMirellCommandFrame(TxFrame::Bytes& b, std::uint8_t address, std::uint8_t function,
                                 std::uint8_t value);

// OSKAN channel codes: byte 7 = code (on: k, off: 0x10 + k for channel k = 1..8), byte 6 = its
// complement 0xFF - code.
struct ChannelCodePair {
    std::uint8_t complement;  // byte 6
    std::uint8_t code;        // byte 7
};
struct ChannelCodes {
    ChannelCodePair on;
    ChannelCodePair off;
};
extern const std::array<ChannelCodes, 8> g_channelCodes;

// OSKAN channel frame, bytes 0..9 whole: FA 06 address 00 00 00 complement code 00 00, for
// channel index 0..7 (channel 1..8). An index outside 0..7 writes nothing and returns 0.
unsigned BuildOskanChannelFrame(TxFrame::Bytes& b, std::uint8_t address, unsigned channelIndex,
                                bool on);

// OSKAN feedback frame, bytes 0..9 whole: FA 06 address 00 cc cc 00 00 00 00 with cc = 02 for
// on, 03 for off. 10 bytes.
unsigned BuildOskanFeedbackFrame(TxFrame::Bytes& b, std::uint8_t address, bool on);
