#pragma once
// The key configuration of a TARVO panel and its write: the check of what is to be written
// (with the refusals the window tells the user in its own words), the four frames
//   0x26 key mode and long-press time, 0x27 first code set, 0x27 second code set,
//   0x25 the panel's serial format,
// 100 ms apart, and the matching of the panel's confirmations. The window's "写入" worker, the
// command-line tool and the commissioning project all write through this one sequence; what
// differs between them (where the device address and the page's flags are read at the time of
// each frame, how a frame goes out and how the pause is waited) is behind two small interfaces.
//
// No toolkit and no threads of its own: the sequence runs on the caller's thread, and calls its
// source and its link from there.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bus/tx_frame.h"

// Long-press time limits, in milliseconds.
inline constexpr std::uint32_t kMinLongPressMs = 600;
inline constexpr std::uint32_t kMaxLongPressMs = 10000;
// The pause after each frame of the sequence.
inline constexpr std::chrono::milliseconds kKeyConfigFrameGap{100};

// A panel's own serial format: the baud rate itself and the indices into the line-settings
// tables (bus/line_settings.h) of its data bits, stop bits and parity.
struct DeviceSerialFormat {
    std::uint32_t baud = 0;
    unsigned dataBitsIndex = 0;
    unsigned stopBitsIndex = 0;
    unsigned parityIndex = 0;

    bool operator==(const DeviceSerialFormat&) const = default;
};

// Everything the TARVO page holds for "写入". Code texts are as the page's edits give them
// (line breaks CRLF); hexadecimal when the set's "16进制" flag is set, else one byte per
// character.
struct KeyConfigFields {
    bool shortLong = true;  // short/long-press mode; false: press/release mode
    std::uint32_t longPressMs = 800;
    std::u16string pressText;  // first set: press, or short press
    bool pressHex = true;
    std::u16string releaseText;  // second set: release, or long press
    bool releaseHex = true;
    // Nothing when a list of the page has no selection (a rate or index it lacks was read back).
    std::optional<DeviceSerialFormat> serialFormat = DeviceSerialFormat{9600, 0, 0, 0};
};

// Why a key configuration is not written. Checked in this order.
enum class KeyConfigRefusal {
    LongPressOutOfRange,  // outside kMinLongPressMs..kMaxLongPressMs
    UnencodableCodes,     // plain-character codes with a character that has no single-byte form
    NoSerialFormat,       // the serial format is not complete
};
std::optional<KeyConfigRefusal> CheckKeyConfig(const KeyConfigFields& fields);
// The window's words for a refusal (UTF-8), as its message box shows them.
const char* RefusalText(KeyConfigRefusal refusal);

// The frames of the sequence, in the order they go out.
enum class KeyConfigStep { KeyMode, PressCodes, ReleaseCodes, SerialFormat };
inline constexpr std::array<KeyConfigStep, 4> kKeyConfigSteps = {
    KeyConfigStep::KeyMode, KeyConfigStep::PressCodes, KeyConfigStep::ReleaseCodes,
    KeyConfigStep::SerialFormat};
// "key mode and long-press time", "first code set", ...
const char* StepName(KeyConfigStep step);

// What the sequence reads at the time of each frame: the window reads its device list and the
// page then, so a change made while the sequence runs is taken by the frames still to come.
class IKeyConfigSource {
public:
    struct Target {
        std::uint8_t address = 0;
        // KeyMode: short/long-press mode; PressCodes, ReleaseCodes: the set is hexadecimal.
        bool flag = false;
    };
    virtual ~IKeyConfigSource() = default;
    // The device the frame of `step` goes to, and the flag it needs. Nothing ends the sequence
    // before that frame (no device selected any more, or the writer was told to stop).
    virtual std::optional<Target> TargetOf(KeyConfigStep step) = 0;
    // The serial format of the last frame, whose address bytes stay as the frame before left
    // them. Nothing ends the sequence before it.
    virtual std::optional<DeviceSerialFormat> SerialFormat() = 0;
};

// How the frames go out and the pauses pass.
class IKeyConfigLink {
public:
    using Build = std::function<unsigned(TxFrame::Bytes&)>;
    virtual ~IKeyConfigLink() = default;
    // Builds the frame in the outgoing frame and hands it over (one step under the frame's
    // lock). False when it did not go out: the sequence ends.
    virtual bool Send(const Build& build) = 0;
    // Waits `gap` after a frame; false when told to stop meanwhile.
    virtual bool Pause(std::chrono::milliseconds gap) = 0;
};

// The source of a writer that knows everything beforehand (the command line, a project): one
// device and the flags and format of `fields`.
class FixedKeyConfigSource : public IKeyConfigSource {
public:
    FixedKeyConfigSource(std::uint8_t address, const KeyConfigFields& fields)
        : m_address(address), m_fields(fields) {}
    std::optional<Target> TargetOf(KeyConfigStep step) override;
    std::optional<DeviceSerialFormat> SerialFormat() override { return m_fields.serialFormat; }

private:
    std::uint8_t m_address;
    KeyConfigFields m_fields;
};

struct KeyConfigWriteResult {
    std::vector<KeyConfigStep> sent;  // the frames that went out, in order
    bool Complete() const { return sent.size() == kKeyConfigSteps.size(); }
};

// The sequence one frame at a time, for a runner that must not block (the commissioning
// project in the window): Next() builds the next frame from what the source says now, the
// runner hands it over, calls Sent(), and asks for the next one kKeyConfigFrameGap later.
class KeyConfigSequence {
public:
    explicit KeyConfigSequence(KeyConfigFields fields) : m_fields(std::move(fields)) {}
    // The next frame's builder; nothing when the sequence is over or ends before that frame
    // (the source has no target or format, or a code set has no single-byte form with the flag
    // read for its frame). The builder stays valid until the next call.
    std::optional<IKeyConfigLink::Build> Next(IKeyConfigSource& source);
    // The frame Next() gave went out.
    void Sent();
    const KeyConfigWriteResult& Result() const { return m_result; }

private:
    KeyConfigFields m_fields;
    KeyConfigWriteResult m_result;
    std::size_t m_step = 0;  // the index in kKeyConfigSteps of the frame Next() gives
    bool m_ended = false;
    IKeyConfigSource::Target m_target;
    std::optional<DeviceSerialFormat> m_format;
    std::array<std::uint8_t, kFrameBufferSize> m_codes{};
    int m_count = 0;
};

// Sends the four frames with the code texts and the long-press time of `fields` (taken when
// the write was asked for) and what `source` gives at the time of each frame, pausing
// kKeyConfigFrameGap after each. Ends early, sending nothing more, when the source has no
// target or format, a frame does not go out, a pause is cut short, or a code set's text has
// no single-byte form with the flag read for its frame. Call CheckKeyConfig first.
KeyConfigWriteResult WriteKeyConfig(const KeyConfigFields& fields, IKeyConfigSource& source,
                                    IKeyConfigLink& link);

// The panel confirms each frame of the sequence with a frame of the same command from its
// address: 0x26, 0x27 for each code set (byte 7 says which set, as in the frame it confirms;
// without that, in the order they come back) and 0x25, repeating what it took in bytes 6..8
// (the code sets: count and set in bytes 6 and 7). Fed with every received ten-byte frame after
// the write began; told the frames as they were sent, so a confirmation of other values, or a
// second one (two panels share the address), is told apart from a good one.
class KeyConfigConfirmations {
public:
    enum class State {
        Missing,      // no confirmation
        Confirmed,    // once, with what was sent
        OtherValues,  // with values other than those sent
        Twice,        // more than once: more than one device answers at the address
    };

    explicit KeyConfigConfirmations(std::uint8_t device) : m_device(device) {}
    // The frame of `step` as it was sent (at least ten bytes).
    void Sent(KeyConfigStep step, const std::uint8_t* frame);
    void OnFrame(const std::uint8_t* frame /*10 bytes*/);
    State StateOf(KeyConfigStep step) const;
    bool Confirmed(KeyConfigStep step) const { return StateOf(step) == State::Confirmed; }
    bool All() const;
    // What the device said in bytes 6..8 of its (first) confirmation of `step`.
    std::array<std::uint8_t, 3> Said(KeyConfigStep step) const { return m_said[Index(step)]; }
    std::array<std::uint8_t, 3> Expected(KeyConfigStep step) const {
        return m_expected[Index(step)];
    }

private:
    static std::size_t Index(KeyConfigStep step) { return static_cast<std::size_t>(step); }
    std::uint8_t m_device;
    std::array<int, 4> m_count{};
    std::array<bool, 4> m_same{};
    std::array<bool, 4> m_sent{};
    std::array<std::array<std::uint8_t, 3>, 4> m_expected{};
    std::array<std::array<std::uint8_t, 3>, 4> m_said{};
};
