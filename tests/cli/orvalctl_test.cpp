// orvalctl end to end: the real binary against the bus simulator, which runs in this process on
// a pseudo-terminal published in the test's own folder of ports. What the tool printed and its
// exit status are checked against what the simulated devices really did.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <thread>

#include "bus/commands.h"
#include "bus/device_models.h"
#include "platform/serial_device.h"
#include "sim/frame_trace.h"
#include "sim/orval_simulator.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

constexpr char kPortName[] = "orval-cli";

constexpr SimIdentity kTarvoA{0x54, 0xA0, 0x00, 0x01};
constexpr SimIdentity kTarvoB{0x54, 0xA0, 0x00, 0x02};
constexpr SimIdentity kMirellA{0x4D, 0xB0, 0x00, 0x01};
constexpr SimIdentity kMirellB{0x4D, 0xB0, 0x00, 0x02};
constexpr SimIdentity kOskanA{0x4F, 0xC0, 0x00, 0x01};

std::vector<SimDeviceSpec> MixedBus() {
    return {{SimModel::Tarvo, 1, kTarvoA},
            {SimModel::Mirell, 2, kMirellA},
            {SimModel::Oskan, 4, kOskanA},
            {SimModel::Tarvo, 1, kTarvoB},
            {SimModel::Mirell, 3, kMirellB}};
}

using Result = ToolResult;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class OrvalctlTest : public ::testing::Test {
protected:
    void Begin(std::vector<SimDeviceSpec> devices = MixedBus(), unsigned deviceBaud = 0) {
        m_sim = std::make_unique<OrvalSimulator>(std::move(devices));
        m_sim->SetDeviceBaud(deviceBaud);
        m_sim->SetTraceSink([this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_trace.push_back(line);
        });
        m_sim->Start(kPortName);
    }
    void TearDown() override {
        m_sim.reset();
        if (HasFailure()) {
            for (const std::string& line : Trace()) {
                std::fprintf(stderr, "%s\n", line.c_str());
            }
        }
    }
    std::vector<std::string> Trace() const {
        std::lock_guard lock(m_mutex);
        return m_trace;
    }
    // The PC's frames as the simulator traced them, in hex.
    std::vector<std::string> PcFrames() const {
        std::vector<std::string> frames;
        for (const std::string& line : Trace()) {
            const std::size_t at = line.find("PC->bus ");
            if (at != std::string::npos) {
                const std::size_t start = at + 8;
                frames.push_back(line.substr(start, line.find("  |", start) - start));
            }
        }
        return frames;
    }
    // The simulator's port number: a published port's number follows its pseudo-terminal,
    // 901 + n for /dev/pts/n (other programs' terminals decide n).
    std::string SimNumber() const {
        const std::string slave = m_sim->SlavePath();
        return std::to_string(901 + std::stoi(slave.substr(slave.rfind('/') + 1)));
    }
    SimDeviceState Device(const SimIdentity& id) const {
        for (const SimDeviceState& d : m_sim->Devices()) {
            if (d.identity == id) {
                return d;
            }
        }
        ADD_FAILURE() << "no such device";
        return {};
    }
    Result Tool(std::vector<std::string> args) {
        // The port by name unless the test names it otherwise.
        if (args.size() > 0 && args[0] != "ports" &&
            std::find(args.begin(), args.end(), "--port") == args.end()) {
            args.insert(args.begin() + 1, {"--port", kPortName});
        }
        return RunOrvalctl(args);
    }

    std::unique_ptr<OrvalSimulator> m_sim;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_trace;
};

TEST_F(OrvalctlTest, PortsListsThePublishedSimulatorAsTheWindowDoes) {
    Begin();
    const Result plain = Tool({"ports"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(Has(plain.out, "NAME")) << plain.out;
    EXPECT_TRUE(
        std::regex_search(plain.out, std::regex(std::string("\n") + kPortName + " +" + SimNumber() +
                                                "  " + m_sim->PortPath() + "\n")))
        << plain.out;

    const Result json = Tool({"ports", "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_TRUE(Has(json.out, "{\"name\": \"orval-cli\", \"number\": " + SimNumber() +
                                  ", \"path\": \"" + m_sim->PortPath() + "\", \"usb\": null}"))
        << json.out;
}

TEST_F(OrvalctlTest, SearchListsTheDevicesOfOneModelWithTheirStateBytes) {
    Begin();
    // Both panels still have the factory address: both are listed, and the shared address is
    // said (exit 1), since every later command to address 1 would reach both.
    const Result tarvo = Tool({"search", "--type", "tarvo", "--wait", "0.5"});
    EXPECT_EQ(tarvo.status, 1) << tarvo.err;
    EXPECT_TRUE(Has(tarvo.out, "      1  tarvo   54 A0 00 01\n      1  tarvo   54 A0 00 02\n"))
        << tarvo.out;
    EXPECT_TRUE(Has(tarvo.err, "address 1 answered twice: 54 A0 00 01, 54 A0 00 02")) << tarvo.err;

    const Result mirell = Tool({"search", "--type", "mirell", "--wait", "0.5", "--json"});
    EXPECT_EQ(mirell.status, 0) << mirell.err;
    EXPECT_EQ(mirell.out,
              "{\"devices\": [{\"address\": 2, \"type\": \"mirell\", \"state\": \"4D B0 00 01\"}, "
              "{\"address\": 3, \"type\": \"mirell\", \"state\": \"4D B0 00 02\"}]}\n");
}

TEST_F(OrvalctlTest, NothingFoundIsExitOneWithAnEmptyList) {
    Begin({{SimModel::Tarvo, 1, kTarvoA}});
    const Result r = Tool({"search", "--type", "oskan", "--wait", "0.3", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"devices\": []}\n");
    EXPECT_TRUE(Has(r.err, "no oskan device answered")) << r.err;

    // Nobody at the address: no address write goes out.
    const Result a =
        Tool({"assign", "--type", "mirell", "--address", "9", "--to", "10", "--wait", "0.3"});
    EXPECT_EQ(a.status, 1);
    EXPECT_TRUE(Has(a.err, "address 9")) << a.err;
    for (const std::string& f : PcFrames()) {
        EXPECT_EQ(f.size(), 11u) << "only searches were sent: " << f;
    }

    const Result rc = Tool({"read-config", "--address", "7", "--wait", "0.3"});
    EXPECT_EQ(rc.status, 1);
    const Result aa = Tool({"auto-assign", "--type", "oskan", "--from", "5", "--wait", "0.3"});
    EXPECT_EQ(aa.status, 1);
}

TEST_F(OrvalctlTest, AutoAssignHandsOutAddressesFromTheFirstAndReportsThem) {
    Begin();
    const Result r = Tool({"auto-assign", "--type", "tarvo", "--from", "10", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Device(kTarvoA).address, 10);
    EXPECT_EQ(Device(kTarvoB).address, 11);
    EXPECT_EQ(Device(kMirellA).address, 2);  // other models are not asked
    EXPECT_EQ(r.out,
              "{\"assigned\": [{\"address\": 10, \"identity\": \"54 A0 00 01\", \"confirmed\": "
              "true}, {\"address\": 11, \"identity\": \"54 A0 00 02\", \"confirmed\": true}], "
              "\"next\": 12}\n");
}

TEST_F(OrvalctlTest, AssignMovesOneDeviceAndFindsItAtItsNewAddress) {
    Begin();
    // MIRELL by port name: the device is named by its state bytes.
    const Result m = Tool({"assign", "--type", "mirell", "--address", "3", "--to", "20"});
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(Device(kMirellB).address, 20);
    EXPECT_EQ(Device(kMirellA).address, 2);
    EXPECT_TRUE(Has(m.out, "     20  mirell  4D B0 00 02")) << m.out;

    // OSKAN by the port's number, and by its device path.
    const Result o = Tool({"assign", "--port", SimNumber(), "--type", "oskan", "--address", "4",
                           "--to", "30", "--json"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(Device(kOskanA).address, 30);
    EXPECT_TRUE(Has(o.out, "\"device\": 4, \"address\": 30, \"written\": true, \"answered\": true"))
        << o.out;
    const Result p = Tool({"assign", "--port", m_sim->PortPath(), "--type", "oskan", "--address",
                           "30", "--to", "31"});
    EXPECT_EQ(p.status, 0) << p.err;
    EXPECT_EQ(Device(kOskanA).address, 31);
}

TEST_F(OrvalctlTest, KeyConfigurationIsWrittenConfirmedAndReadBack) {
    Begin();
    const fs::path file = fs::temp_directory_path() / ("orvalctl-kc-" + std::to_string(getpid()));
    std::ofstream(file) << "[key]\nmode = press-release\nlong_press_ms = 1500\n"
                           "[press]\ncodes = 01 02 0A\n"
                           "[release]\ncodes = AB\nhex = no\n"
                           "[serial]\nbaud = 19200\ndata_bits = 7\nstop_bits = 2\nparity = even\n";
    // Both panels at address 1 take the configuration, and each confirms: the second
    // confirmation says the address is shared (exit 1).
    const Result w = Tool({"write-key-config", "--address", "1", "--file", file.string()});
    EXPECT_EQ(w.status, 1) << w.err;
    EXPECT_TRUE(Has(w.out, "4 of 4 frames written")) << w.out;
    EXPECT_TRUE(Has(w.err, "address 1 answered twice")) << w.err;
    for (const SimIdentity& id : {kTarvoA, kTarvoB}) {  // both still share address 1
        const TarvoConfig c = Device(id).tarvo;
        EXPECT_EQ(c.keyMode, 0);
        EXPECT_EQ(c.longPressMs, 1500);
        EXPECT_EQ(c.pressCodes, (std::vector<std::uint8_t>{1, 2, 0x0A}));
        EXPECT_EQ(c.releaseCodes, (std::vector<std::uint8_t>{'A', 'B'}));
        EXPECT_EQ(c.baud, 19200);
        EXPECT_EQ(c.dataBitsIndex, 1);
        EXPECT_EQ(c.stopBitsIndex, 2);
        EXPECT_EQ(c.parityIndex, 2);
    }

    RunOrvalctl({"auto-assign", "--port", kPortName, "--type", "tarvo", "--from", "5"});
    const Result r = Tool({"read-config", "--address", "6", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"address\": 6, \"config\": {\"key_mode\": \"press-release\", \"long_press_ms\": "
              "1500, \"press_codes\": \"01 02 0A\", \"release_codes\": \"41 42\", \"baud\": 19200, "
              "\"data_bits\": \"7\", \"stop_bits\": \"2\", \"parity\": \"even\"}}\n");
    // The text form is a file write-key-config takes.
    const Result t = Tool({"read-config", "--address", "5"});
    EXPECT_EQ(t.status, 0) << t.err;
    std::ofstream(file) << t.out;
    const Result back = Tool({"write-key-config", "--address", "6", "--file", file.string()});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Device(kTarvoB).tarvo.releaseCodes, (std::vector<std::uint8_t>{'A', 'B'}));

    // A bad file: exit 2 naming the file, line and key; nothing goes on the bus.
    const std::size_t framesBefore = PcFrames().size();
    std::ofstream(file) << "[key]\nmode = short-long\nlong_press_ms = 300\n";
    const Result bad = Tool({"write-key-config", "--address", "5", "--file", file.string()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(Has(bad.err, file.string() + ":3: key.long_press_ms:")) << bad.err;
    EXPECT_EQ(PcFrames().size(), framesBefore);
    const Result missing = Tool({"write-key-config", "--address", "5", "--file", "/nonexistent"});
    EXPECT_EQ(missing.status, 2);
    fs::remove(file);
}

TEST_F(OrvalctlTest, MirellAndOskanCommandsDriveTheAddressedDevice) {
    Begin();
    const Result up = Tool({"mirell", "--address", "3", "lifter", "up"});
    EXPECT_EQ(up.status, 0) << up.err;
    EXPECT_EQ(up.out, "MIRELL 3: sent FA 08 03 00 00 00 45 05 02 55\n");
    EXPECT_EQ(Tool({"mirell", "--address", "3", "projector", "on"}).status, 0);
    const SimDeviceState m = Device(kMirellB);
    EXPECT_EQ(m.mirellFunctions.at(kMirellLifter), 0x02);
    EXPECT_EQ(m.mirellFunctions.at(kMirellProjector), 0x01);
    EXPECT_TRUE(Device(kMirellA).mirellFunctions.empty());

    const Result ch = Tool({"oskan", "--address", "4", "channel", "3", "on", "--json"});
    EXPECT_EQ(ch.status, 0) << ch.err;
    EXPECT_EQ(ch.out,
              "{\"address\": 4, \"sent\": true, \"frame\": \"FA 06 04 00 00 00 FC 03 00 00\"}\n");
    EXPECT_EQ(Tool({"oskan", "--address", "4", "feedback", "on"}).status, 0);
    EXPECT_TRUE(Device(kOskanA).channels[2]);
    EXPECT_TRUE(Device(kOskanA).feedback);
    EXPECT_EQ(Tool({"oskan", "--address", "4", "channel", "3", "off"}).status, 0);
    EXPECT_FALSE(Device(kOskanA).channels[2]);
}

TEST_F(OrvalctlTest, FindBaudNamesTheRateTheDevicesAnswerAt) {
    Begin(MixedBus(), 19200);
    const Result r = Tool({"find-baud", "--type", "mirell"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "  19200        2       2        0\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "the mirell devices answer at 19200 bit/s")) << r.out;
    // Every rate of the table was tried.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 12) << r.out;

    const Result none = Tool({"find-baud", "--type", "mirell", "--rates", "9600,38400", "--json"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Has(none.out, "\"baud\": null}")) << none.out;
    EXPECT_TRUE(Has(none.err, "no mirell device answered at any rate tried")) << none.err;
}

TEST_F(OrvalctlTest, APortThatCannotBeOpenedIsExitThreeWithTheReason) {
    Begin();
    const Result name = Tool({"search", "--port", "no-such-port", "--type", "tarvo"});
    EXPECT_EQ(name.status, 3);
    EXPECT_TRUE(Has(name.err, "orvalctl ports")) << name.err;
    const Result path = Tool({"search", "--port", "/dev/no-such-tty", "--type", "tarvo"});
    EXPECT_EQ(path.status, 3);
    EXPECT_TRUE(Has(path.err, "串口被占用或不存!")) << path.err;
    EXPECT_TRUE(Has(path.err, "已不存在")) << path.err;

    // Busy: another client holds the port.
    SerialDevice other;
    ASSERT_TRUE(other.Open(m_sim->PortPath()));
    const Result busy = Tool({"search", "--type", "tarvo"});
    EXPECT_EQ(busy.status, 3);
    EXPECT_TRUE(Has(busy.err, "占用")) << busy.err;
    other.Close();
    EXPECT_EQ(Tool({"search", "--type", "mirell", "--wait", "0.3"}).status, 0);
}

TEST_F(OrvalctlTest, BadArgumentsAreExitTwoWithAUsageLine) {
    Begin();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"search", "--type", "lamp"},
          std::vector<std::string>{"assign", "--type", "oskan", "--address", "4"},
          std::vector<std::string>{"frobnicate"}}) {
        const Result r = Tool(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_TRUE(Has(r.err, "Usage: orvalctl")) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    const Result help = RunOrvalctl({"auto-assign", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Has(help.out, "Usage: orvalctl auto-assign")) << help.out;
    // Nothing of the above touched the bus.
    EXPECT_TRUE(PcFrames().empty());
}

// Every frame the tool sends is the bus/commands.h builder's, on a frame that starts as the
// window's and keeps what the frame before left: compared in the simulator's own trace.
TEST_F(OrvalctlTest, FramesAreByteForByteTheBuildersFrames) {
    Begin();
    const fs::path file = fs::temp_directory_path() / ("orvalctl-kf-" + std::to_string(getpid()));
    std::ofstream(file) << "[key]\nmode = short-long\nlong_press_ms = 800\n"
                           "[press]\ncodes = 11 22\n[release]\ncodes =\n"
                           "[serial]\nbaud = 9600\ndata_bits = 8\nstop_bits = 1\nparity = odd\n";
    ASSERT_EQ(Tool({"search", "--type", "mirell", "--wait", "0.3"}).status, 0);
    ASSERT_EQ(
        Tool({"assign", "--type", "mirell", "--address", "2", "--to", "7", "--wait", "0.3"}).status,
        0);
    // Two panels share address 1: written to both, confirmed twice (exit 1).
    ASSERT_EQ(Tool({"write-key-config", "--address", "1", "--file", file.string()}).status, 1);
    ASSERT_EQ(Tool({"mirell", "--address", "7", "screen", "stop"}).status, 0);
    ASSERT_EQ(Tool({"oskan", "--address", "4", "feedback", "off"}).status, 0);
    fs::remove(file);

    // The same actions on one frame, as each new process starts it.
    std::vector<std::string> expected;
    auto frame = std::make_unique<TxFrame>();
    const auto add = [&](int tab, auto build) {
        frame = std::make_unique<TxFrame>();
        frame->WithLock([&](TxFrame::Bytes& b) { b[kPosType] = *TypeCodeForTab(tab); });
        frame->WithLock([&](TxFrame::Bytes& b) {
            const unsigned n = build(b);
            expected.push_back(HexBytes({b.begin(), b.begin() + n}));
        });
    };
    const auto more = [&](auto build) {
        frame->WithLock([&](TxFrame::Bytes& b) {
            const unsigned n = build(b);
            expected.push_back(HexBytes({b.begin(), b.begin() + n}));
        });
    };
    const auto search = [](TxFrame::Bytes& b) { return BuildSearchFrame(b, std::nullopt); };
    add(kTabMirell, search);
    add(kTabMirell, search);
    more([](TxFrame::Bytes& b) { return BuildMirellAddressWrite(b, 2, 7, kMirellA); });
    more(search);
    const std::uint8_t press[] = {0x11, 0x22};
    add(kTabTarvo, [](TxFrame::Bytes& b) { return BuildKeyModeFrame(b, 1, true, 800); });
    more([&](TxFrame::Bytes& b) { return BuildFunctionCodesFrame(b, 1, true, press, 2); });
    more([](TxFrame::Bytes& b) { return BuildFunctionCodesFrame(b, 1, false, nullptr, 0); });
    more([](TxFrame::Bytes& b) { return BuildSerialFormatFrame(b, 9600, 0, 0, 1); });
    add(kTabMirell,
        [](TxFrame::Bytes& b) { return BuildMirellCommandFrame(b, 7, kMirellScreen, 0x00); });
    add(kTabOskan, [](TxFrame::Bytes& b) { return BuildOskanFeedbackFrame(b, 4, false); });
    // The simulator traces a frame once the line has been quiet after it, which may be just
    // after the tool has ended.
    for (int i = 0; i < 200 && PcFrames().size() < expected.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(PcFrames(), expected);
}

}  // namespace
