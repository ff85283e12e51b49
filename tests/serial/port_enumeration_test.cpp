// Port listing: names, numbers and filtering over a sysfs-like tree, and published
// pseudo-terminals through the engine.

#include "serial/port_enumeration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

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
        fs::permissions(published, fs::perms::owner_all);
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
    PortSources Sources(const fs::path& publishedDir) const {
        return {sys.string(), dev.string(), publishedDir.string()};
    }
    std::vector<SerialPortEntry> List() {
        std::vector<SerialPortEntry> ports;
        EXPECT_TRUE(ListSerialPorts(Sources(published), &ports));
        return ports;
    }
};

// A bus a simulator would publish: a pseudo-terminal, linked into `folder` as `name`. Its port
// takes 901 + the number of the pseudo-terminal (/dev/pts/N), and keeps it while it lives.
struct PublishedBus {
    PseudoTerminal pty;
    PublishedBus(const fs::path& folder, const std::string& name) {
        fs::create_symlink(pty.SlavePath(), folder / name);
    }
    std::uint32_t Number() const {
        return 901 + static_cast<std::uint32_t>(
                         std::stoul(pty.SlavePath().substr(pty.SlavePath().rfind('/') + 1)));
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

std::vector<std::string> Names(const std::vector<SerialPortEntry>& ports) {
    std::vector<std::string> out;
    for (const auto& p : ports) {
        out.push_back(p.name);
    }
    return out;
}

std::vector<std::uint32_t> Numbers(const std::vector<SerialPortEntry>& ports) {
    std::vector<std::uint32_t> out;
    for (const auto& p : ports) {
        out.push_back(p.number);
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
    const PublishedBus simB(fake.published, "sim-b");
    const PublishedBus simA(fake.published, "sim-a");
    fs::create_symlink(fake.root / "gone", fake.published / "stale");  // simulator ended
    std::ofstream(fake.published / "notes.txt") << "not a device";
    // No bus: a terminal, a null device, the multiplexer, a link to a link.
    for (const char* device : {"/dev/tty", "/dev/null", "/dev/zero", "/dev/ptmx"}) {
        fs::create_symlink(device, fake.published / (std::string("x") + (device + 5)));
    }
    fs::create_symlink(fake.published / "sim-a", fake.published / "sim-a-again");

    const auto ports = fake.List();
    std::vector<std::pair<std::string, std::uint32_t>> expected = {
        {"ttyS0", 1},
        {"ttyS3", 4},
        {"ttyUSB0", 101},
        {"ttyS100", 102},
        {"ttyUSB2", 103},
        {"ttyACM0", 201},
        {"rfcomm0", 301},
        {"ttyAMA0", 302},
        {"sim-a", simA.Number()},
        {"sim-b", simB.Number()},
    };
    std::sort(expected.begin(), expected.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    EXPECT_EQ(NamesAndNumbers(ports), expected);
    EXPECT_EQ(ports[0].path, (fake.dev / "ttyS0").string());

    EXPECT_EQ(NamesAndNumbers(fake.List()), expected) << "a second listing is the same";
}

TEST(PortEnumeration, AnUnreadableTtyClassFailsAndAMissingPublishedFolderIsEmpty) {
    FakeSystem fake;
    std::vector<SerialPortEntry> ports = {{"left", 1, "over", {}}};
    EXPECT_FALSE(ListSerialPorts(
        {(fake.root / "nowhere").string(), fake.dev.string(), fake.published.string()}, &ports));
    EXPECT_TRUE(ports.empty());

    fake.AddTty("ttyUSB0", true);
    EXPECT_TRUE(ListSerialPorts(fake.Sources(fake.root / "no-folder"), &ports));
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
    const auto names = Names(port.Ports());
    const auto numbers = Numbers(port.Ports());
    ASSERT_TRUE(port.EnumeratePorts());
    EXPECT_EQ(Names(port.Ports()), names) << "the lists are rebuilt, not appended to";
    EXPECT_EQ(Numbers(port.Ports()), numbers);
    ASSERT_EQ(names.size(), numbers.size());
    ASSERT_GE(names.size(), 2u);
    // Each takes 901 + the number of its pseudo-terminal: the second opened has the higher.
    EXPECT_EQ(names[names.size() - 2], "bus-sim-2");
    EXPECT_EQ(names.back(), "bus-sim-1");
    const auto pts = [](const PseudoTerminal& t) {
        return 901u + static_cast<std::uint32_t>(
                          std::stoul(t.SlavePath().substr(t.SlavePath().rfind('/') + 1)));
    };
    EXPECT_EQ(numbers[numbers.size() - 2], pts(first));
    EXPECT_EQ(numbers.back(), pts(second));
    EXPECT_EQ(port.PortPath(pts(first)), PublishedPortsFolder() + "/bus-sim-2");

    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    EXPECT_TRUE(
        port.OpenPort(&owner, port.PortEntry(pts(first)), MakeLineSettings(9600, 'N', 8, 0)));
    port.ClosePort();
}

TEST(PortEnumeration, AFolderOthersCouldPlantLinksInGivesNoPortsAndIsToldOnce) {
    FakeSystem fake;
    const PublishedBus busA(fake.published, "bus-a");
    ASSERT_EQ(fake.List().size(), 1u);

    fs::permissions(fake.published, fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(fake.List().empty());
    EXPECT_TRUE(fake.List().empty());
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(fake.published.string()), std::string::npos) << told;
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;

    // A link to a private folder is no private folder: it could be re-pointed.
    const fs::path own = fake.root / "own";
    fs::create_directory(own);
    fs::permissions(own, fs::perms::owner_all);
    const PublishedBus busB(own, "bus-b");
    fs::create_directory_symlink(own, fake.root / "via-link");
    testing::internal::CaptureStderr();
    std::vector<SerialPortEntry> ports;
    EXPECT_TRUE(ListSerialPorts(fake.Sources(fake.root / "via-link"), &ports));
    EXPECT_TRUE(ports.empty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("symbolic link"), std::string::npos);
    EXPECT_EQ(CheckPublishedPortsFolder(own.string()), FolderCheck::Private);
}

TEST(PortEnumeration, RelistingKeepsNumbersByPathAndHoldsTheOpenPort) {
    FakeSystem fake;
    fake.AddTty("ttyUSB1", true);
    auto simM = std::make_unique<PublishedBus>(fake.published, "sim-m");
    auto simZ = std::make_unique<PublishedBus>(fake.published, "sim-z");
    const PortSources sources = fake.Sources(fake.published);
    std::vector<SerialPortEntry> shown = fake.List();
    const std::uint32_t m = simM->Number();
    const std::uint32_t z = simZ->Number();
    ASSERT_EQ(NamesAndNumbers(shown), (std::vector<std::pair<std::string, std::uint32_t>>{
                                          {"ttyUSB1", 102}, {"sim-m", m}, {"sim-z", z}}));

    // A port whose name sorts first arrives: nobody is renumbered.
    const PublishedBus simA(fake.published, "sim-a");
    fake.AddTty("ttyUSB0", true);
    ASSERT_TRUE(RelistSerialPorts(sources, shown, 0, &shown));
    std::vector<std::pair<std::string, std::uint32_t>> expected = {
        {"ttyUSB0", 101}, {"ttyUSB1", 102}, {"sim-m", m}, {"sim-z", z}, {"sim-a", simA.Number()}};
    EXPECT_EQ(NamesAndNumbers(shown), expected);
    // A listing of its own (another run of the tool) gives every port the same number.
    EXPECT_EQ(NamesAndNumbers(fake.List()), expected);

    // The open port (sim-m) goes away: it stays listed, and its number is not handed out
    // again while it does (a new pseudo-terminal may well get its number); a port that is not
    // open simply goes.
    simM.reset();
    fs::remove(fake.published / "sim-m");
    simZ.reset();
    fs::remove(fake.published / "sim-z");
    const PublishedBus simNew(fake.published, "sim-new");
    ASSERT_TRUE(RelistSerialPorts(sources, shown, m, &shown));
    const auto numberOf = [&](const std::string& name) {
        for (const auto& [n, number] : NamesAndNumbers(shown)) {
            if (n == name) {
                return number;
            }
        }
        return 0u;
    };
    EXPECT_EQ(numberOf("sim-m"), m);
    EXPECT_EQ(numberOf("sim-z"), 0u);
    EXPECT_NE(numberOf("sim-new"), 0u);
    EXPECT_NE(numberOf("sim-new"), m);
    EXPECT_EQ(numberOf("sim-a"), simA.Number());

    // Once it is closed (nothing pinned) it goes, and the open port that is still there keeps
    // its number when pinned.
    const std::uint32_t newNumber = numberOf("sim-new");
    ASSERT_TRUE(RelistSerialPorts(sources, shown, simA.Number(), &shown));
    EXPECT_EQ(numberOf("sim-m"), 0u);
    EXPECT_EQ(numberOf("sim-new"), newNumber);
    EXPECT_EQ(numberOf("sim-a"), simA.Number());
}

TEST(PortEnumeration, UsbAdaptersDescribeThemselvesFromSysfs) {
    FakeSystem fake;
    // A USB device with one interface, whose tty is ttyUSB0 (as the USB serial drivers lay
    // it out), and a CDC adapter whose interface is the tty's device.
    const fs::path usb = fake.root / "devices" / "usb1" / "1-2";
    const fs::path port = usb / "1-2:1.0" / "ttyUSB0";
    fs::create_directories(port);
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "manufacturer") << "FTDI\n";
    std::ofstream(usb / "product") << "USB \x1b[31mRS485\x07 Cable  \n";
    std::ofstream(usb / "serial") << "A50285BI\n";
    fs::create_directories(fake.sys / "ttyUSB0");
    fs::create_directory_symlink(port, fake.sys / "ttyUSB0" / "device");
    fs::create_symlink("/dev/null", fake.dev / "ttyUSB0");
    fs::create_directories(fake.dev / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB0",
                       fake.dev / "serial" / "by-id" / "usb-FTDI_USB_RS485_A50285BI-if00-port0");
    fake.AddTty("ttyS0", true, "4");

    const auto ports = fake.List();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_TRUE(ports[0].usb.Empty()) << "an on-board port has no USB details";
    const UsbPortDetails& details = ports[1].usb;
    EXPECT_EQ(ports[1].name, "ttyUSB0");
    EXPECT_EQ(details.manufacturer, "FTDI");
    EXPECT_EQ(details.product, "USB [31mRS485 Cable") << "control characters are dropped";
    EXPECT_EQ(details.serial, "A50285BI");
    EXPECT_EQ(details.byId, "usb-FTDI_USB_RS485_A50285BI-if00-port0");
}
