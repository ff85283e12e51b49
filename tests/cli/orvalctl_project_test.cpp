// orvalctl's commissioning projects end to end: the real binary against the bus simulator, which
// runs in this process on a pseudo-terminal published in the test's own folder of ports. A
// building's bus from capture to hand-over: checked, changed, applied, broken (a missing device,
// a stranger, two panels on one address, a replaced panel) and mended, and a bad file refused.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <sstream>

#include "sim/orval_simulator.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

constexpr char kPortName[] = "orval-project";

constexpr SimIdentity kLobby{0x54, 0xA0, 0x00, 0x01};
constexpr SimIdentity kRoom{0x54, 0xA0, 0x00, 0x02};
constexpr SimIdentity kNewPanel{0x54, 0xA0, 0x00, 0x77};
constexpr SimIdentity kScreen{0x4D, 0xB0, 0x00, 0x01};
constexpr SimIdentity kPower{0x4F, 0xC0, 0x00, 0x01};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A small building: two key panels, a sequencer and a power device, each at its address.
std::vector<SimDeviceSpec> Building() {
    return {{SimModel::Tarvo, 1, kLobby},
            {SimModel::Tarvo, 2, kRoom},
            {SimModel::Mirell, 3, kScreen},
            {SimModel::Oskan, 4, kPower}};
}

// Its plan, written by hand: the room's panel in press/release mode with codes.
const char kPlan[] = R"(# Building 3
[bus]
baud = 9600

[[device]]
model = "tarvo"
address = 1
label = "1F 大厅"
identity = "54 A0 00 01"

[[device]]
model = "tarvo"
address = 2
label = "3F 会议室 门口"
[device.key]
mode = "press-release"
long_press_ms = 1200
[device.press]
codes = "01 02 0A"
[device.serial]
baud = 9600
data_bits = 8
stop_bits = 1
parity = "none"

[[device]]
model = "mirell"
address = 3
label = "screen"

[[device]]
model = "oskan"
address = 4
label = "rack"
)";

class ProjectCliTest : public ::testing::Test {
protected:
    void Begin(std::vector<SimDeviceSpec> devices = Building()) {
        m_sim = std::make_unique<OrvalSimulator>(std::move(devices));
        m_sim->SetTraceSink([this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_trace.push_back(line);
        });
        m_sim->Start(kPortName);
        // Short enough to be shown whole in a message.
        static int n = 0;
        m_file = fs::temp_directory_path() /
                 ("op-" + std::to_string(getpid()) + "-" + std::to_string(++n) + ".toml");
    }
    void TearDown() override {
        m_sim.reset();
        fs::remove(m_file);
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
    // The PC's frames with `command` (byte 4) as the simulator traced them.
    std::size_t PcFramesWith(const std::string& command) const {
        std::size_t n = 0;
        for (const std::string& line : Trace()) {
            const std::size_t at = line.find("PC->bus ");
            if (at != std::string::npos && line.size() > at + 8 + 14 &&
                line.substr(at + 8 + 12, 2) == command) {
                ++n;
            }
        }
        return n;
    }
    std::size_t PcFrames() const {
        std::size_t n = 0;
        for (const std::string& line : Trace()) {
            n += line.find("PC->bus ") != std::string::npos ? 1 : 0;
        }
        return n;
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
    void Write(const std::string& text) { std::ofstream(m_file) << text; }
    ToolResult Project(const std::string& command, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"project", command,  "--port",
                                         kPortName, "--file", m_file.string()};
        args.insert(args.end(), more.begin(), more.end());
        return RunOrvalctl(args);
    }

    std::unique_ptr<OrvalSimulator> m_sim;
    fs::path m_file;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_trace;
};

TEST_F(ProjectCliTest, ACapturedBusChecksOkAndTheFileIsTheAsBuiltRecord) {
    Begin();
    const ToolResult capture = Project("capture");
    ASSERT_EQ(capture.status, 0) << capture.err << capture.out;
    EXPECT_TRUE(Has(capture.out, "tarvo         2  ok          54 A0 00 02\n")) << capture.out;
    EXPECT_TRUE(Has(capture.out, "written: " + m_file.string())) << capture.out;
    std::ifstream in(m_file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(Has(text.str(), "identity = \"4F C0 00 01\"\nlabel = \"\"\nmodel = \"oskan\""))
        << text.str();
    EXPECT_TRUE(Has(text.str(), "[device.serial]\nbaud = 9600")) << text.str();

    const ToolResult check = Project("check", {"--json"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_TRUE(Has(check.out,
                    "\"summary\": {\"ok\": 4, \"missing\": 0, \"unexpected\": 0, "
                    "\"clash\": 0, \"differs\": 0, \"failed\": 0}"))
        << check.out;
    EXPECT_EQ(PcFramesWith("26") + PcFramesWith("27") + PcFramesWith("25"), 0u);

    // A capture of one model searches that model alone.
    const ToolResult one = Project("capture", {"--types", "mirell"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_TRUE(Has(one.out, "mirell        3  ok")) << one.out;
    EXPECT_FALSE(Has(one.out, "tarvo")) << one.out;
}

TEST_F(ProjectCliTest, AChangedPanelDiffersApplyMendsItAndASecondApplyWritesNothing) {
    Begin();
    Write(kPlan);
    const ToolResult check = Project("check", {"--json"});
    EXPECT_EQ(check.status, 1) << check.err;
    EXPECT_TRUE(Has(check.out,
                    "{\"type\": \"tarvo\", \"address\": 2, \"label\": \"3F 会议室 门口\", "
                    "\"identity\": \"54 A0 00 02\", \"identities\": [\"54 A0 00 02\"], "
                    "\"status\": \"differs\", \"differences\": [{\"field\": \"key_mode\", "
                    "\"planned\": \"press-release\", \"found\": \"short-long\"}, {\"field\": "
                    "\"long_press_ms\", \"planned\": 1200, \"found\": 800}, {\"field\": "
                    "\"press_codes\", \"planned\": \"01 02 0A\", \"found\": \"\"}]}"))
        << check.out;
    EXPECT_TRUE(Has(check.out, "\"differs\": 1")) << check.out;
    // Only the planned panel with a planned configuration is read back.
    EXPECT_EQ(PcFramesWith("23"), 1u);

    const ToolResult apply = Project("apply");
    EXPECT_EQ(apply.status, 0) << apply.err << apply.out;
    EXPECT_TRUE(Has(apply.out,
                    "tarvo         2  ok          54 A0 00 02  3F 会议室 门口\n"
                    "                 (written and verified)\n"))
        << apply.out;
    const TarvoConfig room = Device(kRoom).tarvo;
    EXPECT_EQ(room.keyMode, 0);
    EXPECT_EQ(room.longPressMs, 1200);
    EXPECT_EQ(room.pressCodes, (std::vector<std::uint8_t>{1, 2, 0x0A}));
    EXPECT_EQ(Device(kLobby).tarvo.longPressMs, 800);
    EXPECT_EQ(PcFramesWith("26"), 1u);

    const ToolResult again = Project("apply", {"--json"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(PcFramesWith("26"), 1u) << "a second apply writes nothing";
    EXPECT_EQ(PcFramesWith("27"), 2u);
}

TEST_F(ProjectCliTest, AMissingDeviceAndAStrangerAreReported) {
    std::vector<SimDeviceSpec> devices = Building();
    devices.erase(devices.begin() + 2);                        // the screen's sequencer is gone
    devices.push_back({SimModel::Oskan, 9, {0x4F, 0, 0, 9}});  // and a power device nobody planned
    Begin(devices);
    Write(kPlan);
    const ToolResult check = Project("check");
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(Has(check.out, "mirell        3  missing     -            screen\n")) << check.out;
    EXPECT_TRUE(Has(check.out, "oskan         9  unexpected  4F 00 00 09\n")) << check.out;
    EXPECT_TRUE(
        Has(check.out, "checked: ok 2, missing 1, unexpected 1, clash 0, differs 1, failed 0"))
        << check.out;
    EXPECT_TRUE(Has(check.err, "3 of 5 devices are not ok")) << check.err;
    // Apply writes the panel that differs and nothing else.
    const ToolResult apply = Project("apply");
    EXPECT_EQ(apply.status, 1);
    EXPECT_EQ(PcFramesWith("22"), 0u);
    EXPECT_EQ(Device(kRoom).tarvo.longPressMs, 1200);
}

TEST_F(ProjectCliTest, TwoPanelsOnOneAddressAreAClashThatResolveMends) {
    Begin({{SimModel::Tarvo, 1, kLobby},
           {SimModel::Tarvo, 1, kRoom},  // a new panel still on the factory address
           {SimModel::Mirell, 3, kScreen},
           {SimModel::Oskan, 4, kPower}});
    Write(kPlan);
    const ToolResult check = Project("check");
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(Has(check.out, "tarvo         1  clash       54 A0 00 01, 54 A0 00 02  1F 大厅\n"))
        << check.out;
    EXPECT_EQ(PcFramesWith("23"), 0u) << "a clash is never read back";
    // Apply writes nothing to a clash.
    EXPECT_EQ(Project("apply").status, 1);
    EXPECT_EQ(PcFramesWith("26"), 0u);

    const ToolResult resolve = Project("resolve", {"--json"});
    EXPECT_EQ(resolve.status, 0) << resolve.err << resolve.out;
    EXPECT_EQ(Device(kLobby).address, 1);  // the plan names it for address 1
    EXPECT_EQ(Device(kRoom).address, 2);
    EXPECT_TRUE(Has(resolve.out, "\"note\": \"moved from 1; configuration written and verified\""))
        << resolve.out;
    EXPECT_EQ(Device(kRoom).tarvo.longPressMs, 1200);
    EXPECT_EQ(Project("check").status, 0);
}

TEST_F(ProjectCliTest, AReplacedPanelGetsItsPlannedAddressAndConfiguration) {
    Begin({{SimModel::Tarvo, 1, kLobby},
           {SimModel::Tarvo, 7, kNewPanel},  // stands in for the room's panel
           {SimModel::Mirell, 3, kScreen},
           {SimModel::Oskan, 4, kPower}});
    Write(kPlan);
    const ToolResult check = Project("check");
    EXPECT_TRUE(Has(check.out, "tarvo         2  missing")) << check.out;
    EXPECT_TRUE(Has(check.out, "tarvo         7  unexpected")) << check.out;

    const ToolResult resolve = Project("resolve");
    EXPECT_EQ(resolve.status, 0) << resolve.err << resolve.out;
    EXPECT_TRUE(Has(resolve.out,
                    "tarvo         2  ok          54 A0 00 77  3F 会议室 门口\n"
                    "                 (moved from 7, replacing the planned device; "
                    "configuration written and verified)\n"))
        << resolve.out;
    const SimDeviceState fresh = Device(kNewPanel);
    EXPECT_EQ(fresh.address, 2);
    EXPECT_EQ(fresh.tarvo.keyMode, 0);
    EXPECT_EQ(fresh.tarvo.pressCodes, (std::vector<std::uint8_t>{1, 2, 0x0A}));
    EXPECT_EQ(Project("check").status, 0);
}

TEST_F(ProjectCliTest, ABadFileIsRefusedWithItsLineAndNothingIsSent) {
    Begin();
    std::string bad = kPlan;
    bad.replace(bad.find("long_press_ms = 1200"), 20, "long_press_ms = 300");
    Write(bad);
    for (const char* command : {"check", "apply", "resolve"}) {
        const ToolResult r = Project(command);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_EQ(r.err, "orvalctl: " + m_file.string() +
                             ":17: device.key.long_press_ms: 300 is outside 600..10000 ms\n"
                             "orvalctl: 长按时间有效值为600ms-10000ms之间!\n");
        EXPECT_EQ(r.out, "");
    }
    Write(
        "[[device]]\nmodel = \"tarvo\"\naddress = 2\n[[device]]\nmodel = \"tarvo\"\naddress = 2\n");
    const ToolResult twice = Project("check");
    EXPECT_EQ(twice.status, 2);
    EXPECT_TRUE(Has(twice.err, ":4: device.address: tarvo 2 is planned twice (first on line 1)"))
        << twice.err;
    // Nor does a capture that could not write its file touch the bus.
    const ToolResult capture = RunOrvalctl(
        {"project", "capture", "--port", kPortName, "--file", fs::temp_directory_path().string()});
    EXPECT_EQ(capture.status, 2);
    EXPECT_TRUE(Has(capture.err, "is a directory")) << capture.err;
    EXPECT_EQ(PcFrames(), 0u);
    // Options are checked as every command's are.
    const ToolResult types = RunOrvalctl({"project", "capture", "--port", kPortName, "--file",
                                          m_file.string(), "--types", "tarvo,lamp"});
    EXPECT_EQ(types.status, 2);
    EXPECT_TRUE(Has(types.err, "--types: 'tarvo,lamp' is not a list of")) << types.err;
    const ToolResult twiceGiven = RunOrvalctl({"project", "check", "--port", kPortName, "--file",
                                               m_file.string(), "--file", m_file.string()});
    EXPECT_EQ(twiceGiven.status, 2);
    EXPECT_EQ(RunOrvalctl({"project", "check", "--port", kPortName, "--file", m_file.string(),
                           "--baud", "9600"})
                  .status,
              2);
}

TEST_F(ProjectCliTest, ALabelCannotBreakTheTextOutput) {
    Begin();
    Write(
        "[[device]]\nmodel = \"oskan\"\naddress = 4\n"
        "label = \"rack\\n\\u001b[2J\\u202Eevil\\\\\"\n");
    const ToolResult text = Project("check");
    EXPECT_TRUE(
        Has(text.out, "oskan         4  ok          4F C0 00 01  rack\\n\\x1B[2J\\u202Eevil\\\\\n"))
        << text.out;
    EXPECT_FALSE(Has(text.out, "\x1b")) << text.out;
    const ToolResult json = Project("check", {"--json"});
    EXPECT_TRUE(Has(json.out,
                    "\"label\": \"rack\\n\\u001b[2J\xE2\x80\xAE"
                    "evil\\\\\""))
        << json.out;
}

TEST_F(ProjectCliTest, IdentifyFlashesThePanelsLedAndSwitchesItOff) {
    Begin();
    const ToolResult r =
        RunOrvalctl({"identify", "--port", kPortName, "--address", "2", "--seconds", "0.5"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "TARVO 2: LED1 flashed for 0.")) << r.out;
    std::vector<std::string> led;
    for (const std::string& line : Trace()) {
        const std::size_t at = line.find("PC->bus FA 09 02 00 03 ");
        if (at != std::string::npos) {
            led.push_back(line.substr(at + 8, 29));
        }
    }
    EXPECT_EQ(led, (std::vector<std::string>{"FA 09 02 00 03 00 02 00 00 00",
                                             "FA 09 02 00 03 00 00 00 00 00"}));
    EXPECT_EQ(Device(kRoom).led1, LedState::Off);
}

TEST_F(ProjectCliTest, CtrlCEndsIdentifyWithTheLedSwitchedOff) {
    Begin();
    const RunningTool tool =
        StartOrvalctl({"identify", "--port", kPortName, "--address", "2", "--seconds", "60"});
    ASSERT_GT(tool.pid, 0);
    for (int i = 0; i < 1000 && Device(kRoom).led1 != LedState::Flash; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(Device(kRoom).led1, LedState::Flash);
    ::kill(tool.pid, SIGINT);
    const ToolResult r = WaitForOrvalctl(tool);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_TRUE(Has(r.out, "(stopped), now off")) << r.out;
    EXPECT_TRUE(Has(r.err, "interrupted (SIGINT)")) << r.err;
    EXPECT_TRUE(m_sim->WaitUntil(
        [](const std::vector<SimDeviceState>& d) { return d[1].led1 == LedState::Off; },
        std::chrono::seconds(2)));
}

TEST_F(ProjectCliTest, APortThatFailsDuringARunIsExitFour) {
    Begin({});  // nobody answers, so each search waits its time
    Write(kPlan);
    auto tool = std::async(std::launch::async, [this] {
        return Project("check", {"--wait", "5"});
    });
    // Once the tool has the port, the line goes away.
    for (int i = 0; i < 500; ++i) {
        const std::vector<std::string> trace = Trace();
        if (std::any_of(trace.begin(), trace.end(),
                        [](const std::string& l) { return Has(l, "PC->bus FA 09 00 00"); })) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_sim->Stop();
    const ToolResult r = tool.get();
    EXPECT_EQ(r.status, 4) << r.err << r.out;
    EXPECT_TRUE(Has(r.err, "orvalctl: the port failed: ")) << r.err;
    EXPECT_TRUE(Has(r.out, "not checked")) << r.out;
}

}  // namespace
