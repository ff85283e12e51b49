// Line settings: the format arguments as control flags, and what a pseudo-terminal reads back.
// This file reads termios2 directly, so it includes <asm/termbits.h> and never <termios.h>.
#include "platform/line_settings.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include "platform/line_settings_linux.h"
#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial/serial_port.h"
#include "serial_test_support.h"

using namespace serial_test;

namespace {

std::uint32_t FormatFlags(char parity, std::uint8_t dataBits, std::uint8_t stopBits) {
    const LineControlFlags flags =
        ComputeLineControlFlags(MakeLineSettings(9600, parity, dataBits, stopBits));
    EXPECT_TRUE(flags.valid);
    EXPECT_EQ(flags.set & ~flags.mask, 0u);
    return flags.set;
}

termios2 ReadBack(const PseudoTerminal& pty) {
    termios2 t{};
    EXPECT_EQ(::ioctl(pty.SlaveFd(), TCGETS2, &t), 0);
    return t;
}

}  // namespace

TEST(LineFormat, ParityLettersInEitherCaseAndEverythingElseIsNone) {
    constexpr std::uint32_t kParity = PARENB | PARODD | CMSPAR;
    for (char c : {'E', 'e'}) {
        EXPECT_EQ(FormatFlags(c, 8, 0) & kParity, std::uint32_t(PARENB)) << c;
    }
    for (char c : {'O', 'o'}) {
        EXPECT_EQ(FormatFlags(c, 8, 0) & kParity, std::uint32_t(PARENB | PARODD)) << c;
    }
    for (char c : {'M', 'm'}) {
        EXPECT_EQ(FormatFlags(c, 8, 0) & kParity, std::uint32_t(PARENB | PARODD | CMSPAR)) << c;
    }
    for (char c : {'S', 's'}) {
        EXPECT_EQ(FormatFlags(c, 8, 0) & kParity, std::uint32_t(PARENB | CMSPAR)) << c;
    }
    for (char c : {'N', 'n', 'x', '?', '\0', '\xE9'}) {
        EXPECT_EQ(FormatFlags(c, 8, 0) & kParity, 0u) << int(c);
    }
}

TEST(LineFormat, DataBitsAndStopBitsCodes) {
    EXPECT_EQ(FormatFlags('N', 5, 0) & CSIZE, std::uint32_t(CS5));
    EXPECT_EQ(FormatFlags('N', 6, 0) & CSIZE, std::uint32_t(CS6));
    EXPECT_EQ(FormatFlags('N', 7, 0) & CSIZE, std::uint32_t(CS7));
    EXPECT_EQ(FormatFlags('N', 8, 0) & CSIZE, std::uint32_t(CS8));
    EXPECT_EQ(FormatFlags('N', 8, 0) & CSTOPB, 0u);
    EXPECT_EQ(FormatFlags('N', 5, 1) & CSTOPB, std::uint32_t(CSTOPB));  // 1.5 with 5 data bits
    EXPECT_EQ(FormatFlags('N', 8, 2) & CSTOPB, std::uint32_t(CSTOPB));
    EXPECT_EQ(FormatFlags('N', 6, 2) & CSTOPB, std::uint32_t(CSTOPB));

    // 1.5 stop bits exist only for 5 data bits, and 2 stop bits only for 6 to 8.
    for (std::uint8_t bits : {6, 7, 8}) {
        EXPECT_FALSE(ComputeLineControlFlags(MakeLineSettings(9600, 'N', bits, 1)).valid)
            << int(bits);
    }
    EXPECT_FALSE(ComputeLineControlFlags(MakeLineSettings(9600, 'E', 5, 2)).valid);

    for (std::uint8_t bad : {0, 4, 9, 255}) {
        EXPECT_FALSE(ComputeLineControlFlags(MakeLineSettings(9600, 'N', bad, 0)).valid)
            << int(bad);
    }
    EXPECT_FALSE(ComputeLineControlFlags(MakeLineSettings(9600, 'N', 8, 3)).valid);
    EXPECT_FALSE(ComputeLineControlFlags(MakeLineSettings(0, 'N', 8, 0)).valid);
}

TEST(LineSettings, BaudRateAndStopBitsReachTheDeviceIncluding194000) {
    BoxRecorder boxes;
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty;
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "settings");
    ASSERT_NE(number, 0u);

    struct Case {
        unsigned baud;
        std::uint8_t stop;
        bool cstopb;
    };
    for (const Case& c : {Case{194000, 2, true}, Case{9600, 0, false}, Case{2400, 1, true},
                          Case{115200, 0, false}, Case{57600, 2, true}}) {
        const std::uint8_t dataBits = c.stop == 1 ? 5 : 8;  // 1.5 stop bits need 5 data bits
        ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number),
                                  MakeLineSettings(c.baud, 'N', dataBits, c.stop)));
        const termios2 t = ReadBack(pty);
        EXPECT_EQ(t.c_ospeed, c.baud);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.cstopb) << c.baud;
        EXPECT_EQ(t.c_cc[VMIN], 1);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
        port.ClosePort();
    }
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(LineSettings, ARefusedSettingIsReportedOnceAndThePortStillOpens) {
    BoxRecorder boxes;
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty;
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "refused");
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(38400, 'N', 8, 0)));
    port.ClosePort();

    // Nine data bits; 1.5 stop bits with 8 data bits; 2 stop bits with 5 data bits.
    struct Refused {
        std::uint8_t dataBits;
        std::uint8_t stop;
    };
    for (const Refused& r : {Refused{9, 0}, Refused{8, 1}, Refused{5, 2}}) {
        ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number),
                                  MakeLineSettings(19200, 'E', r.dataBits, r.stop)));
        const auto recorded = boxes.Boxes();
        ASSERT_EQ(recorded.size(), 1u) << int(r.dataBits) << "/" << int(r.stop);
        EXPECT_EQ(recorded[0].text,
                  "WARNING:  SetCommState() Failed with the following error: \nInvalid argument\n"
                  "Port: " +
                      std::to_string(number) + "\n");
        EXPECT_EQ(recorded[0].caption, "Application Error");
        EXPECT_EQ(recorded[0].flags, MB_OK | MB_ICONERROR);
        const termios2 t = ReadBack(pty);
        EXPECT_EQ(t.c_ospeed, 38400u) << "the device keeps its previous settings";
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u) << int(r.dataBits) << "/" << int(r.stop);
        port.ClosePort();
        boxes.Clear();
    }
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(19200, 'E', 9, 0)));

    // The port works although its settings were refused.
    ASSERT_TRUE(port.StartMonitor());
    const std::uint8_t probe = 0x33;
    port.SendBytes(&probe, 1);
    EXPECT_EQ(pty.Read(1, 10000), std::vector<std::uint8_t>{probe});
    port.ClosePort();
}
