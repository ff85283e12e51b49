#pragma once
// Frames in words: what a frame on the bus says, read with the same constants, tables and
// conversions the program sends and parses with. Texts are UTF-8 in the UI's voice. Any byte
// string is accepted; a frame shorter than its command needs is said to be short, never read
// past its end.

#include <cstddef>
#include <cstdint>
#include <string>

enum class FrameDirection { Sent, Received };

// "FA 08 00 00": each byte as two upper-case hex digits, separated by one space.
std::string FormatHex(const std::uint8_t* bytes, std::size_t count);

// "TARVO", "MIRELL", "OSKAN", or "类型 0x0A" for any other code.
std::string DeviceTypeName(std::uint8_t type);

// A frame's command for filtering: frame byte 4, or kSearchCommand for the four-byte search
// frame (which has none), or kNoCommand for bytes that are no frame.
inline constexpr int kSearchCommand = 0x100;
inline constexpr int kNoCommand = -1;
int FrameCommand(const std::uint8_t* bytes, std::size_t count);

// The device a frame concerns: the destination of a sent frame, the source of a received
// one; -1 when the bytes are too short to say.
int FrameDeviceAddress(const std::uint8_t* bytes, std::size_t count, FrameDirection direction);

// The name of a command in a filter list: "读取配置 (0x23)"; "搜索" for kSearchCommand.
std::string CommandName(int command);

// "MIRELL 0→5 SCREEN UP", "TARVO 1→0 找到设备，状态 54 A0 00 01", …
std::string DecodeFrame(const std::uint8_t* bytes, std::size_t count, FrameDirection direction);

// Why the receive parser dropped `byte` in parser state `state` (1..5):
// "不是帧头 0xFA", "类型 0x0A 不在 6..9", "目的地址 0x05 不是 0", "源地址为 0",
// "命令 0xFF 不被接受".
std::string DropReason(int state, std::uint8_t byte);
