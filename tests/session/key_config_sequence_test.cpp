// The one key-configuration write sequence: what it refuses, the frames it sends with what its
// source says at the time of each frame, where it stops, and how confirmations are matched.

#include "session/key_config_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bus/frame.h"
#include "tests/bus/hex.h"

namespace {

// A source whose answers a test sets per step; nothing for a step it has not been given.
class ScriptedSource : public IKeyConfigSource {
public:
    std::optional<Target> targets[4];
    std::optional<DeviceSerialFormat> format;
    std::vector<KeyConfigStep> asked;

    std::optional<Target> TargetOf(KeyConfigStep step) override {
        asked.push_back(step);
        return targets[static_cast<int>(step)];
    }
    std::optional<DeviceSerialFormat> SerialFormat() override { return format; }
};

// Builds every frame on one outgoing frame, as the session does, and records it in hex with
// the pauses between frames.
class RecordingLink : public IKeyConfigLink {
public:
    explicit RecordingLink(std::uint8_t byte5) {
        m_frame.WithLock([&](TxFrame::Bytes& b) { b[5] = byte5; });
    }
    bool Send(const Build& build) override {
        m_frame.WithLock([&](TxFrame::Bytes& b) {
            const unsigned n = build(b);
            events.push_back(ToHex(b.begin(), b.begin() + n));
        });
        return sendOk;
    }
    bool Pause(std::chrono::milliseconds gap) override {
        events.push_back("pause " + std::to_string(gap.count()));
        return --pausesLeft >= 0;
    }
    std::vector<std::string> events;
    bool sendOk = true;
    int pausesLeft = 100;

private:
    TxFrame m_frame;
};

KeyConfigFields Example() {
    KeyConfigFields f;
    f.shortLong = true;
    f.longPressMs = 800;
    f.pressText = u"01 02 0A";
    f.releaseText = u"41 42";
    return f;
}

TEST(KeyConfigCheck, RefusesInTheWindowsOrderWithItsWords) {
    KeyConfigFields f = Example();
    EXPECT_FALSE(CheckKeyConfig(f));
    for (std::uint32_t ms : {599u, 10001u, 0u}) {
        f.longPressMs = ms;
        EXPECT_EQ(CheckKeyConfig(f), KeyConfigRefusal::LongPressOutOfRange) << ms;
    }
    for (std::uint32_t ms : {600u, 10000u}) {
        f.longPressMs = ms;
        EXPECT_FALSE(CheckKeyConfig(f)) << ms;
    }
    // Plain text above U+00FF has no single-byte form; in hexadecimal the same text is read as
    // F digits and is sent.
    f.releaseText = u"中";
    f.releaseHex = false;
    f.serialFormat.reset();
    EXPECT_EQ(CheckKeyConfig(f), KeyConfigRefusal::UnencodableCodes);
    f.releaseHex = true;
    EXPECT_EQ(CheckKeyConfig(f), KeyConfigRefusal::NoSerialFormat);
    f.longPressMs = 300;
    EXPECT_EQ(CheckKeyConfig(f), KeyConfigRefusal::LongPressOutOfRange);

    EXPECT_STREQ(RefusalText(KeyConfigRefusal::LongPressOutOfRange),
                 "长按时间有效值为600ms-10000ms之间!");
    EXPECT_STREQ(RefusalText(KeyConfigRefusal::UnencodableCodes),
                 "功能码含有无法按单字节发送的字符!");
    EXPECT_STREQ(RefusalText(KeyConfigRefusal::NoSerialFormat),
                 "请选择设备串口配置的波特率、数据位、停止位和校验!");
}

TEST(KeyConfigSequence, FourFramesAHundredMillisecondsApartWithBytesLeftAsTheyStand) {
    const KeyConfigFields f = Example();
    FixedKeyConfigSource source(5, f);
    RecordingLink link(0x77);
    const KeyConfigWriteResult r = WriteKeyConfig(f, source, link);
    EXPECT_TRUE(r.Complete());
    EXPECT_EQ(link.events,
              (std::vector<std::string>{"FA 09 05 00 26 77 01 20 03 00", "pause 100",
                                        "FA 09 05 00 27 77 03 01 03 00 01 02 0A", "pause 100",
                                        "FA 09 05 00 27 77 02 00 03 00 41 42", "pause 100",
                                        "FA 09 05 00 25 77 60 00 00 00", "pause 100"}));
}

TEST(KeyConfigSequence, EachFrameTakesWhatTheSourceSaysAtItsTime) {
    KeyConfigFields f = Example();
    f.releaseText = u"AB";
    ScriptedSource source;
    source.targets[0] = IKeyConfigSource::Target{3, false};  // press/release mode
    source.targets[1] = IKeyConfigSource::Target{4, true};   // the selection moved to 4
    source.targets[2] = IKeyConfigSource::Target{4, false};  // "16进制" cleared: plain text
    source.format = DeviceSerialFormat{115200, 1, 2, 3};
    RecordingLink link(0);
    EXPECT_TRUE(WriteKeyConfig(f, source, link).Complete());
    ASSERT_EQ(link.events.size(), 8u);
    EXPECT_EQ(link.events[0], "FA 09 03 00 26 00 00 20 03 00");
    EXPECT_EQ(link.events[2], "FA 09 04 00 27 00 03 01 03 00 01 02 0A");
    EXPECT_EQ(link.events[4], "FA 09 04 00 27 00 02 00 03 00 41 42");
    // The serial format keeps the address bytes of the frame before: 115200 / 100 = 0x0480,
    // data bits 1, stop bits 2 and parity 3 in their own bit fields.
    EXPECT_EQ(link.events[6], "FA 09 04 00 25 00 80 04 39 00");
}

TEST(KeyConfigSequence, StopsWhereItsSourceOrLinkEndsItAndSaysWhatWentOut) {
    const KeyConfigFields f = Example();
    {
        // The device list lost its selection before the second frame: nothing is sent blind.
        ScriptedSource source;
        source.targets[0] = IKeyConfigSource::Target{5, true};
        RecordingLink link(0);
        const KeyConfigWriteResult r = WriteKeyConfig(f, source, link);
        EXPECT_EQ(r.sent, std::vector<KeyConfigStep>{KeyConfigStep::KeyMode});
        EXPECT_EQ(source.asked.size(), 2u);
        EXPECT_EQ(link.events.size(), 2u);
    }
    {
        // Told to stop during the second pause.
        FixedKeyConfigSource source(5, f);
        RecordingLink link(0);
        link.pausesLeft = 1;
        const KeyConfigWriteResult r = WriteKeyConfig(f, source, link);
        EXPECT_EQ(r.sent.size(), 2u);
        EXPECT_FALSE(r.Complete());
    }
    {
        // The flag of the second set changed to plain text with a character that has no
        // single-byte form: that set and everything after it stay unsent.
        KeyConfigFields g = f;
        g.releaseText = u"é中";
        ScriptedSource source;
        source.targets[0] = source.targets[1] = IKeyConfigSource::Target{5, true};
        source.targets[2] = IKeyConfigSource::Target{5, false};
        source.format = DeviceSerialFormat{9600, 0, 0, 0};
        RecordingLink link(0);
        EXPECT_EQ(WriteKeyConfig(g, source, link).sent.size(), 2u);
    }
    {
        // No serial format any more: three frames.
        ScriptedSource source;
        source.targets[0] = source.targets[1] = source.targets[2] =
            IKeyConfigSource::Target{5, true};
        RecordingLink link(0);
        EXPECT_EQ(WriteKeyConfig(f, source, link).sent.size(), 3u);
    }
    {
        // A frame that does not go out ends the sequence.
        FixedKeyConfigSource source(5, f);
        RecordingLink link(0);
        link.sendOk = false;
        EXPECT_TRUE(WriteKeyConfig(f, source, link).sent.empty());
        EXPECT_EQ(link.events.size(), 1u);
    }
}

TEST(KeyConfigConfirmations, MatchedByCommandFromTheDeviceInTheOrderTheyCome) {
    KeyConfigConfirmations c(5);
    const auto frame = [](const std::string& hex) { return Hex(hex); };
    c.OnFrame(frame("FA 09 00 06 26 00 01 20 03 00").data());  // another panel
    EXPECT_FALSE(c.Confirmed(KeyConfigStep::KeyMode));
    c.OnFrame(frame("FA 09 00 05 27 00 03 01 00 00").data());
    EXPECT_TRUE(c.Confirmed(KeyConfigStep::PressCodes));
    EXPECT_FALSE(c.Confirmed(KeyConfigStep::ReleaseCodes));
    c.OnFrame(frame("FA 09 00 05 26 00 01 20 03 00").data());
    c.OnFrame(frame("FA 09 00 05 FE 00 54 A0 00 01").data());  // not a confirmation
    EXPECT_FALSE(c.All());
    c.OnFrame(frame("FA 09 00 05 27 00 02 00 00 00").data());
    c.OnFrame(frame("FA 09 00 05 25 00 60 00 00 00").data());
    EXPECT_TRUE(c.All());
}

}  // namespace
