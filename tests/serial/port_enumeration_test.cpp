// Port listing: names, numbers and filtering over a sysfs-like tree, and published
// pseudo-terminals through the engine.

#include "serial/port_enumeration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "platform/published_ports.h"
#include "serial/serial_port.h"
#include "serial_test_support.h"

namespace fs = std::filesystem;
using namespace serial_test;

namespace {

// A throw-away tree with a sys/class/tty, a dev and a published folder.
struct FakeSystem {
    fs::path root = fs::temp_directory_path() / ("ravlin-enum-" + std::to_string(::getpid()));
    fs::path sys = root / "sys";
    fs::path dev = root / "dev";
    fs::path published = root / "published";

    FakeSystem() {
        fs::remove_all(root);
        fs::create_directories(sys);
        fs::create_directories(dev);
        fs::create_directories(published);
    }
    ~FakeSystem() { fs::remove_all(root); }

    // A tty with a hardware device behind it (or not), an optional `type`, and a node in dev.
    void AddTty(const std::string& name, bool hasDevice, const char* type = nullptr,
                bool hasNode = true) {
        fs::create_directories(sys / name);
        if (hasDevice) {
            fs::create_directories(root / "devices" / name);
            fs::create_directory_symlink(root / "devices" / name, sys / name / "device");
        }
        if (type) {
            std::ofstream(sys / name / "type") << type << "\n";
        }
        if (hasNode) {
            fs::create_symlink("/dev/null", dev / name);  // any character device will do
        }
    }
    std::vector<SerialPortEntry> List() {
        std::vector<SerialPortEntry> ports;
        EXPECT_TRUE(ListSerialPorts(sys, dev, published, &ports));
        return ports;
    }
};

std::vector<std::pair<std::string, std::uint32_t>> NamesAndNumbers(
    const std::vector<SerialPortEntry>& ports) {
    std::vector<std::pair<std::string, std::uint32_t>> out;
    for (const auto& p : ports) {
        out.emplace_back(p.name, p.number);
    }
    return out;
}

}  // namespace

TEST(PortEnumeration, FamiliesAreNumberedAndPlaceholdersSkipped) {
    FakeSystem fake;
    fake.AddTty("ttyS0", true, "4");
    fake.AddTty("ttyS1", true, "0");  // 8250 placeholder without a UART
    fake.AddTty("ttyS3", true, "4");
    fake.AddTty("ttyUSB0", true);
    fake.AddTty("ttyUSB2", true);
    fake.AddTty("ttyACM0", true);
    fake.AddTty("tty0", false);                    // a virtual terminal: no device
    fake.AddTty("ttyUSB9", true, nullptr, false);  // no node in /dev
    fake.AddTty("rfcomm0", true);
    fake.AddTty("ttyAMA0", true);
    fake.AddTty("ttyS100", true, "4");  // asks for 101, which ttyUSB0 holds
    fs::create_symlink("/dev/null", fake.published / "sim-b");
    fs::create_symlink("/dev/null", fake.published / "sim-a");
    fs::create_symlink(fake.root / "gone", fake.published / "stale");  // simulator ended
    std::ofstream(fake.published / "notes.txt") << "not a device";

    const auto ports = fake.List();
    const std::vector<std::pair<std::string, std::uint32_t>> expected = {
        {"ttyS0", 1},     {"ttyS3", 4},     {"ttyUSB0", 101}, {"ttyS100", 102}, {"ttyUSB2", 103},
        {"ttyACM0", 201}, {"rfcomm0", 301}, {"ttyAMA0", 302}, {"sim-a", 901},   {"sim-b", 902},
    };
    EXPECT_EQ(NamesAndNumbers(ports), expected);
    EXPECT_EQ(ports[0].path, (fake.dev / "ttyS0").string());
    EXPECT_EQ(ports.back().path, (fake.published / "sim-b").string());

    EXPECT_EQ(NamesAndNumbers(fake.List()), expected) << "a second listing is the same";
}

TEST(PortEnumeration, AnUnreadableTtyClassFailsAndAMissingPublishedFolderIsEmpty) {
    FakeSystem fake;
    std::vector<SerialPortEntry> ports = {{"left", 1, "over"}};
    EXPECT_FALSE(ListSerialPorts(fake.root / "nowhere", fake.dev, fake.published, &ports));
    EXPECT_TRUE(ports.empty());

    fake.AddTty("ttyUSB0", true);
    EXPECT_TRUE(ListSerialPorts(fake.sys, fake.dev, fake.root / "no-folder", &ports));
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].number, 101u);
}

TEST(PortEnumeration, APublishedPseudoTerminalIsListedAndOpens) {
    UsePrivatePortFolder();
    PseudoTerminal first;
    PseudoTerminal second;
    first.Publish("bus-sim-2");
    second.Publish("bus-sim-1");

    CSerialPort port;
    ASSERT_TRUE(port.EnumeratePorts());
    const auto names = port.m_portNames;
    const auto numbers = port.m_portNumbers;
    ASSERT_TRUE(port.EnumeratePorts());
    EXPECT_EQ(port.m_portNames, names) << "the lists are rebuilt, not appended to";
    EXPECT_EQ(port.m_portNumbers, numbers);
    ASSERT_EQ(port.m_portNames.size(), port.m_portNumbers.size());
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[names.size() - 2], "bus-sim-1");
    EXPECT_EQ(numbers[numbers.size() - 2], 901u);
    EXPECT_EQ(names.back(), "bus-sim-2");
    EXPECT_EQ(numbers.back(), 902u);
    EXPECT_EQ(port.PortPath(902), PublishedPortsFolder() + "/bus-sim-2");

    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    EXPECT_TRUE(port.OpenPort(&owner, 902, 9600, 'N', 8, 0));
    port.ClosePort();
}
