#pragma once
// The ORVAL bus frame: head 0xFA, device type, destination, source, command, five data bytes.
// No length field and no checksum. Ten bytes as a rule; the search frame is four bytes, the
// function-code frame 10 + n bytes and the configuration reply 160 bytes.

#include <cstddef>
#include <cstdint>

inline constexpr std::uint8_t kFrameHead = 0xFA;

// Device type codes (frame byte 1). The receiver accepts kTypeMin..kTypeMax.
inline constexpr std::uint8_t kTypeTarvo = 9;
inline constexpr std::uint8_t kTypeMirell = 8;
inline constexpr std::uint8_t kTypeOskan = 6;
inline constexpr std::uint8_t kTypeMin = 6;
inline constexpr std::uint8_t kTypeMax = 9;

// Bus addresses. The PC is 0; devices have 1..255; 0xFF addresses every device in the
// automatic-assignment announcement.
inline constexpr std::uint8_t kPcAddress = 0;
inline constexpr std::uint8_t kBroadcastAddress = 0xFF;
inline constexpr std::uint8_t kFirstDeviceAddress = 1;

// Command codes (frame byte 4).
inline constexpr std::uint8_t kCmdDevice = 0x00;  // MIRELL and OSKAN command frames
inline constexpr std::uint8_t kCmdLed1 = 0x03;
inline constexpr std::uint8_t kCmdLed2 = 0x04;
inline constexpr std::uint8_t kCmdAutoAssign = 0x20;
inline constexpr std::uint8_t kCmdAddressRequest = 0x21;
inline constexpr std::uint8_t kCmdAddressAssign = 0x22;
inline constexpr std::uint8_t kCmdReadConfig = 0x23;  // request, and the long reply
inline constexpr std::uint8_t kCmdSerialFormat = 0x25;
inline constexpr std::uint8_t kCmdKeyMode = 0x26;
inline constexpr std::uint8_t kCmdFunctionCodes = 0x27;
inline constexpr std::uint8_t kCmdFound = 0xFE;
inline constexpr std::uint8_t kCmdNeverAccepted = 0xFF;

// Byte positions.
inline constexpr std::size_t kPosHead = 0;
inline constexpr std::size_t kPosType = 1;
inline constexpr std::size_t kPosDestination = 2;
inline constexpr std::size_t kPosSource = 3;
inline constexpr std::size_t kPosCommand = 4;
inline constexpr std::size_t kPosData = 5;  // bytes 5..9

// Lengths.
inline constexpr std::size_t kFrameLength = 10;
inline constexpr std::size_t kSearchFrameLength = 4;
inline constexpr std::size_t kLongReplyLength = 160;
inline constexpr std::size_t kConfigBlockSize = 150;  // frame bytes 10..159 of the long reply
inline constexpr std::size_t kMaxFunctionCodes = 64;
inline constexpr std::size_t kFrameBufferSize = 260;
