// The project file: what a plan written out reads back as, what a hand-written file may hold,
// and every refusal with the line and the key it names.

#include "project/project_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

PlannedKeyConfig PlainPanel() {
    PlannedKeyConfig k;
    k.shortLong = false;
    k.longPressMs = 1200;
    k.pressText = "01 02 0A";
    k.pressHex = true;
    k.pressCodes = {0x01, 0x02, 0x0A};
    k.releaseText = "AB";
    k.releaseHex = false;
    k.releaseCodes = {0x41, 0x42};
    k.serial = DeviceSerialFormat{19200, 1, 1, 2};
    return k;
}

ProjectPlan SmallBuilding() {
    ProjectPlan plan;
    plan.line = ProjectLine{19200, 0, 2, 1};
    PlannedDevice door;
    door.model = DeviceModel::Tarvo;
    door.address = 2;
    door.label = "3F 会议室 门口 \"east\"\nsecond line\x01";
    door.identity = DeviceIdentity{0x54, 0xA0, 0x00, 0x02};
    door.keyConfig = PlainPanel();
    PlannedDevice screen;
    screen.model = DeviceModel::Mirell;
    screen.address = 3;
    PlannedDevice power;
    power.model = DeviceModel::Oskan;
    power.address = 3;
    power.label = "机柜";
    power.identity = DeviceIdentity{0x4F, 0xC0, 0x00, 0x01};
    plan.devices = {door, screen, power};
    return plan;
}

TEST(ProjectFile, APlanWrittenOutReadsBackTheSame) {
    const ProjectPlan plan = SmallBuilding();
    const std::string text = FormatProject(plan, {"captured from orval-sim", "second\nline"});
    ProjectFileError error;
    const std::optional<ProjectPlan> back = ParseProject(text, &error);
    ASSERT_TRUE(back) << DescribeProjectError("plan.toml", error) << "\n" << text;

    EXPECT_EQ(back->line, plan.line);
    ASSERT_EQ(back->devices.size(), plan.devices.size());
    for (std::size_t i = 0; i < plan.devices.size(); ++i) {
        SCOPED_TRACE(i);
        const PlannedDevice& a = plan.devices[i];
        const PlannedDevice& b = back->devices[i];
        EXPECT_EQ(a.model, b.model);
        EXPECT_EQ(a.address, b.address);
        EXPECT_EQ(a.label, b.label);
        EXPECT_EQ(a.identity, b.identity);
        ASSERT_EQ(a.keyConfig.has_value(), b.keyConfig.has_value());
        if (a.keyConfig) {
            EXPECT_EQ(a.keyConfig->shortLong, b.keyConfig->shortLong);
            EXPECT_EQ(a.keyConfig->longPressMs, b.keyConfig->longPressMs);
            EXPECT_EQ(a.keyConfig->pressText, b.keyConfig->pressText);
            EXPECT_EQ(a.keyConfig->pressHex, b.keyConfig->pressHex);
            EXPECT_EQ(a.keyConfig->pressCodes, b.keyConfig->pressCodes);
            EXPECT_EQ(a.keyConfig->releaseText, b.keyConfig->releaseText);
            EXPECT_EQ(a.keyConfig->releaseHex, b.keyConfig->releaseHex);
            EXPECT_EQ(a.keyConfig->releaseCodes, b.keyConfig->releaseCodes);
            EXPECT_EQ(a.keyConfig->serial, b.keyConfig->serial);
        }
        EXPECT_GT(b.line, 0);
    }
    // The comment stays one comment per line; the label's control characters are escaped, so
    // each value stays on its line and the file diffs cleanly.
    EXPECT_TRUE(Has(text, "# captured from orval-sim\n# second line\n")) << text;
    EXPECT_TRUE(Has(text, R"(label = "3F 会议室 门口 \"east\"\nsecond line\u0001")")) << text;
    EXPECT_TRUE(Has(text, "stop_bits = 1.5")) << text;
    EXPECT_TRUE(Has(text, "[device.key]\nlong_press_ms = 1200\nmode = \"press-release\"")) << text;
    // Written twice, the same text.
    EXPECT_EQ(FormatProject(*back, {"captured from orval-sim", "second\nline"}), text);
}

TEST(ProjectFile, AHandWrittenPlanMayUseCommentsDefaultsAndEveryTomlForm) {
    const std::string text = R"(# Building 3, floor 2
[[device]]
model = "TARVO"          # any case
address = 7
key = { mode = "short-long", long_press_ms = 800 }
serial.baud = 9600       # a dotted key is the same table
serial.data_bits = "7"
serial.stop_bits = "2"
serial.parity = "EVEN"

[[device]]
model = "oskan"
address = 7
)";
    ProjectFileError error;
    const std::optional<ProjectPlan> plan = ParseProject(text, &error);
    ASSERT_TRUE(plan) << DescribeProjectError("f", error);
    EXPECT_EQ(plan->line, ProjectLine{});  // no [bus]: the window's 9600 8-N-1
    ASSERT_EQ(plan->devices.size(), 2u);
    const PlannedDevice& panel = plan->devices[0];
    EXPECT_EQ(panel.model, DeviceModel::Tarvo);
    EXPECT_EQ(panel.line, 2);
    EXPECT_EQ(panel.label, "");
    EXPECT_FALSE(panel.identity);
    ASSERT_TRUE(panel.keyConfig);
    // Code sets that are not given are empty and hexadecimal, as the page starts.
    EXPECT_TRUE(panel.keyConfig->pressCodes.empty());
    EXPECT_TRUE(panel.keyConfig->pressHex);
    EXPECT_EQ(panel.keyConfig->serial, (DeviceSerialFormat{9600, 1, 2, 2}));
    EXPECT_FALSE(plan->devices[1].keyConfig);
    EXPECT_EQ(plan->Find(DeviceModel::Oskan, 7), &plan->devices[1]);
    EXPECT_EQ(plan->Find(DeviceModel::Mirell, 7), nullptr);

    EXPECT_TRUE(ParseProject("", &error)) << "an empty plan is a plan";
}

struct Refusal {
    const char* name;
    std::string text;
    int line;
    std::string key;
    std::string why;
};

const char kPanel[] = R"([[device]]
model = "tarvo"
address = 2
[device.key]
mode = "short-long"
long_press_ms = 800
[device.serial]
baud = 9600
data_bits = 8
stop_bits = 1
parity = "none"
)";

// kPanel with one line replaced: `line` (1-based) becomes `with`.
std::string PanelWith(int line, const std::string& with) {
    std::string text = kPanel;
    std::size_t at = 0;
    for (int i = 1; i < line; ++i) {
        at = text.find('\n', at) + 1;
    }
    const std::size_t end = text.find('\n', at);
    return text.replace(at, end - at, with);
}

TEST(ProjectFile, EveryRefusalNamesItsLineAndKey) {
    const Refusal cases[] = {
        {"toml syntax", "[[device]]\nmodel = \"tarvo\naddress = 2\n", 2, "", "string"},
        {"a key twice", "[[device]]\nmodel = \"tarvo\"\nmodel = \"mirell\"\n", 3, "", "redefine"},
        {"not UTF-8", "[[device]]\nmodel = \"tar\xffvo\"\n", 2, "", "utf-8"},
        {"unknown table", "[building]\nname = \"x\"\n", 1, "building", "unknown key"},
        {"unknown device key", PanelWith(3, "adress = 2"), 3, "device.adress", "unknown key"},
        {"device not tables", "device = 5\n", 1, "device", "[[device]]"},
        {"no model", "[[device]]\naddress = 2\n", 1, "device.model", "missing"},
        {"unknown model", PanelWith(2, "model = \"lamp\""), 2, "device.model",
         "'lamp' is not tarvo, mirell or oskan"},
        {"model not text", PanelWith(2, "model = 9"), 2, "device.model", "is an integer"},
        {"no address", "[[device]]\nmodel = \"mirell\"\n", 1, "device.address", "missing"},
        {"address 0", PanelWith(3, "address = 0"), 3, "device.address", "1..255"},
        {"address 256", PanelWith(3, "address = 256"), 3, "device.address", "1..255"},
        {"address as text", PanelWith(3, "address = \"2\""), 3, "device.address",
         "is a string; it must be an integer 1..255"},
        {"label not text", PanelWith(3, "address = 2\nlabel = 5"), 4, "device.label", "string"},
        {"identity", PanelWith(3, "address = 2\nidentity = \"54 A0 00\""), 4, "device.identity",
         "four bytes"},
        {"key configuration on mirell", PanelWith(2, "model = \"mirell\""), 4, "device.key",
         "a mirell device has no key configuration"},
        {"key configuration without key",
         "[[device]]\nmodel = \"tarvo\"\naddress = 2\n"
         "[device.press]\ncodes = \"01\"\n",
         1, "device.key", "missing"},
        {"key configuration without serial",
         "[[device]]\nmodel = \"tarvo\"\naddress = 2\n"
         "[device.key]\nmode = \"short-long\"\n"
         "long_press_ms = 800\n",
         1, "device.serial", "missing"},
        {"serial without parity", PanelWith(11, ""), 7, "device.serial.parity", "missing"},
        {"key not a table", "[[device]]\nmodel = \"tarvo\"\naddress = 2\nkey = 1\n", 4,
         "device.key", "a table"},
        {"mode", PanelWith(5, "mode = \"toggle\""), 5, "device.key.mode",
         "'toggle' is not short-long or press-release"},
        {"long press too short", PanelWith(6, "long_press_ms = 300"), 6, "device.key.long_press_ms",
         "300 is outside 600..10000 ms\n长按时间有效值为600ms-10000ms之间!"},
        {"long press negative", PanelWith(6, "long_press_ms = -5"), 6, "device.key.long_press_ms",
         "below 0"},
        {"long press as text", PanelWith(6, "long_press_ms = \"800\""), 6,
         "device.key.long_press_ms", "integer"},
        {"unknown key in key", PanelWith(6, "long_press = 800"), 6, "device.key.long_press",
         "unknown key"},
        {"hex codes", PanelWith(4, "[device.press]\ncodes = \"0G\"\n[device.key]"), 5,
         "device.press.codes", "not hexadecimal bytes"},
        {"too many codes",
         PanelWith(4, "[device.release]\nhex = false\ncodes = \"" + std::string(65, 'A') +
                          "\"\n[device.key]"),
         6, "device.release.codes", "65 codes; a set holds at most 64"},
        {"hex flag", PanelWith(4, "[device.press]\nhex = \"yes\"\n[device.key]"), 5,
         "device.press.hex", "true or false"},
        {"baud", PanelWith(8, "baud = 57600"), 8, "device.serial.baud", "'57600' is none of"},
        {"data bits", PanelWith(9, "data_bits = 9"), 9, "device.serial.data_bits",
         "'9' is none of 8, 7, 6, 5"},
        {"stop bits", PanelWith(10, "stop_bits = 2.5"), 10, "device.serial.stop_bits",
         "none of 1, 1.5, 2"},
        {"parity", PanelWith(11, "parity = \"often\""), 11, "device.serial.parity",
         "'often' is none of none, odd, even, mark, space"},
        {"bus baud", "[bus]\nbaud = 12345\n", 2, "bus.baud", "'12345' is none of"},
        {"bus key", "[bus]\nspeed = 9600\n", 2, "bus.speed", "unknown key"},
        {"two devices at one address",
         std::string(kPanel) + "\n[[device]]\nmodel = \"tarvo\"\n"
                               "address = 2\n",
         13, "device.address", "tarvo 2 is planned twice (first on line 1)"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectFileError error;
        EXPECT_FALSE(ParseProject(c.text, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << error.message;
        EXPECT_EQ(error.key, c.key) << error.message;
        std::string lower = error.message;
        for (char& ch : lower) {
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        EXPECT_TRUE(Has(error.message, c.why) || Has(lower, c.why)) << error.message;
    }
    // The same device on another model's address is no clash.
    EXPECT_TRUE(ParseProject(std::string(kPanel) + "[[device]]\nmodel = \"mirell\"\naddress = 2\n",
                             nullptr));
}

TEST(ProjectFile, CharactersTheTomlLibraryMishandlesAreReadSoundly) {
    // Code points the library's whitespace test gets wrong, inside strings and out of them.
    ProjectFileError error;
    const std::optional<ProjectPlan> plan = ParseProject(
        "[[device]] # caf\u00E9 \u00A7\n"
        "model = \"oskan\"\naddress = 4\nlabel = \"Caf\u00E9 \u00A7 \u3001 \uFD3F\"\n",
        &error);
    ASSERT_TRUE(plan) << error.message;
    EXPECT_EQ(plan->devices[0].label, "Caf\u00E9 \u00A7 \u3001 \uFD3F");
    EXPECT_EQ(ParseProject(FormatProject(*plan), &error)->devices[0].label, plan->devices[0].label);
    // Out of place: refused on its line, in the character's own words.
    EXPECT_FALSE(ParseProject("[[device]]\nmodel = \"oskan\" \u00A7\naddress = 4\n", &error));
    EXPECT_EQ(error.line, 2);
    EXPECT_NE(error.message.find("\u00A7"), std::string::npos) << error.message;
    EXPECT_FALSE(ParseProject("a = \"x\"\n\uFD3Fice = 1\n", &error));
    EXPECT_EQ(error.line, 2);
    // The private-use characters the guard borrows can't be told from borrowed ones.
    EXPECT_FALSE(ParseProject("[[device]]\nlabel = \"\U000F00E9\"\n", &error));
    EXPECT_EQ(error.line, 2);
}

TEST(ProjectFile, ErrorsReadFileLineKeyWhy) {
    EXPECT_EQ(DescribeProjectError("plan.toml", {14, "device.key.mode", "why"}),
              "plan.toml:14: device.key.mode: why");
    EXPECT_EQ(DescribeProjectError("plan.toml", {3, "", "syntax"}), "plan.toml:3: syntax");
    EXPECT_EQ(DescribeProjectError("plan.toml", {0, "device.serial", "missing"}),
              "plan.toml: device.serial: missing");
}

TEST(ProjectFile, AReadBackTheWindowCouldNotWriteIsRecordedAndRefusedOnReading) {
    // A panel set to a rate and a format the page's lists lack: the file says what it is, and
    // reading it names that line rather than taking a value "写入" could never send.
    TarvoConfig odd;
    odd.baud = 57600;
    odd.dataBitsIndex = 6;
    odd.keyMode = 1;
    odd.longPressMs = 800;
    ProjectPlan plan;
    PlannedDevice d;
    d.address = 4;
    d.keyConfig = PlannedKeyConfig::FromReadBack(odd);
    plan.devices = {d};
    const std::string text = FormatProject(plan);
    EXPECT_TRUE(Has(text, "data_bits = \"index 6\"")) << text;
    ProjectFileError error;
    EXPECT_FALSE(ParseProject(text, &error));
    EXPECT_EQ(error.key, "device.serial.baud");
    EXPECT_TRUE(Has(text.substr(0, text.find('\n', text.find("baud = 57600"))), "57600"));
}

}  // namespace
