// The parts of orvalctl that decide before any port is touched: the command line, the INI file
// of a key configuration, and the JSON writer.

#include <gtest/gtest.h>

#include "bus/commands.h"
#include "bus/device_models.h"
#include "bus/frame.h"
#include "cli/cli_args.h"
#include "cli/json_writer.h"
#include "cli/key_config_file.h"

namespace {

CliParse Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

// --- Command line

TEST(CommandLine, OptionsInEitherSpellingAndTheLineSettings) {
    const CliParse p =
        Parse({"search", "--port=orval-sim", "--type", "mirell", "--wait", "0.5", "--baud", "19200",
               "--data=7", "--stop", "1.5", "--parity", "mark", "--json"});
    ASSERT_EQ(p.outcome, CliParse::Outcome::Run) << p.text;
    EXPECT_EQ(p.options.port, "orval-sim");
    EXPECT_EQ(p.options.model, DeviceModel::Mirell);
    EXPECT_DOUBLE_EQ(p.options.Wait(), 0.5);
    EXPECT_EQ(p.options.line.baud, 19200u);
    EXPECT_EQ(p.options.line.dataBits, 7);
    EXPECT_EQ(p.options.line.stopBits, StopBits::OnePointFive);
    EXPECT_EQ(p.options.line.parity, Parity::Mark);
    EXPECT_TRUE(p.options.json);

    // The window's line at start when nothing is said.
    const CliParse d = Parse({"read-config", "--port", "7", "--address", "255"});
    ASSERT_EQ(d.outcome, CliParse::Outcome::Run) << d.text;
    EXPECT_EQ(d.options.line.baud, 9600u);
    EXPECT_EQ(d.options.line.dataBits, 8);
    EXPECT_EQ(d.options.line.stopBits, StopBits::One);
    EXPECT_EQ(d.options.line.parity, Parity::None);
    EXPECT_DOUBLE_EQ(d.options.Wait(), 2.0);
    EXPECT_EQ(d.options.address, 255);
}

TEST(CommandLine, DeviceCommandsTakeTheFunctionsThePagesSend) {
    struct Case {
        std::vector<std::string> words;
        std::uint8_t function, value;
    } cases[] = {
        {{"screen", "up"}, kMirellScreen, 0x01},   {{"screen", "down"}, kMirellScreen, 0x02},
        {{"lifter", "up"}, kMirellLifter, 0x02},   {{"lifter", "down"}, kMirellLifter, 0x01},
        {{"lifter", "stop"}, kMirellLifter, 0x00}, {{"projector", "off"}, kMirellProjector, 0x00},
        {{"seq", "on"}, kMirellSequence, 0x01},    {{"seq", "off"}, kMirellSequence, 0x02},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"mirell", "--port", "p", "--address", "5"};
        args.insert(args.end(), c.words.begin(), c.words.end());
        const CliParse p = Parse(args);
        ASSERT_EQ(p.outcome, CliParse::Outcome::Run) << c.words[0] << " " << c.words[1];
        EXPECT_EQ(p.options.mirell.function, c.function) << c.words[0];
        EXPECT_EQ(p.options.mirell.value, c.value) << c.words[0] << " " << c.words[1];
    }
    const CliParse ch = Parse({"oskan", "--port", "p", "--address", "4", "channel", "8", "off"});
    ASSERT_EQ(ch.outcome, CliParse::Outcome::Run) << ch.text;
    EXPECT_EQ(ch.options.oskanChannel, 8u);
    EXPECT_FALSE(ch.options.on);
    const CliParse fb = Parse({"oskan", "--port", "p", "--address", "4", "feedback", "on"});
    ASSERT_EQ(fb.outcome, CliParse::Outcome::Run) << fb.text;
    EXPECT_EQ(fb.options.oskanChannel, 0u);
    EXPECT_TRUE(fb.options.on);
}

TEST(CommandLine, MistakesAreRefusedWithTheSubcommandsUsage) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"search", "--port", "p"},  // no --type
        {"search", "--port", "p", "--type", "tarvos"},
        {"search", "--port", "p", "--type", "tarvo", "--wait", "0"},
        {"search", "--port", "p", "--type", "tarvo", "--wait", "-1"},
        {"search", "--port", "p", "--type", "tarvo", "--wait", "1e9"},
        {"search", "--port", "p", "--type", "tarvo", "--address", "3"},  // not its option
        {"search", "--port", "p", "--type", "tarvo", "extra"},
        {"search", "--port"},  // value missing
        {"search", "--port", "p", "--type", "tarvo", "--data", "9"},
        {"search", "--port", "p", "--type", "tarvo", "--stop", "3"},
        {"search", "--port", "p", "--type", "tarvo", "--baud", "fast"},
        {"assign", "--port", "p", "--type", "oskan", "--address", "3", "--to", "0"},
        {"assign", "--port", "p", "--type", "oskan", "--address", "256", "--to", "1"},
        {"assign", "--port", "p", "--type", "tarvo", "--address", "1", "--to", "2"},
        {"auto-assign", "--port", "p", "--type", "tarvo"},  // no --from
        {"read-config", "--port", "p", "--address", "0x10"},
        {"write-key-config", "--port", "p", "--address", "1"},  // no --file
        {"mirell", "--port", "p", "--address", "1", "screen", "on"},
        {"mirell", "--port", "p", "--address", "1", "screen"},
        {"oskan", "--port", "p", "--address", "1", "channel", "9", "on"},
        {"oskan", "--port", "p", "--address", "1", "channel", "1", "maybe"},
        {"ports", "--json=yes"},
        {"--port", "p", "search"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) {
            joined += a + " ";
        }
        const CliParse p = Parse(args);
        EXPECT_EQ(p.outcome, CliParse::Outcome::Error) << joined;
        EXPECT_FALSE(p.text.empty()) << joined;
        EXPECT_EQ(p.usage.rfind("orvalctl", 0), 0u) << joined;
    }
    // The usage line is the subcommand's once the subcommand is known.
    EXPECT_EQ(Parse({"assign", "--port", "p"}).usage.rfind("orvalctl assign", 0), 0u);
}

TEST(CommandLine, HelpOnTheToolAndOnEachSubcommand) {
    const CliParse tool = Parse({"--help"});
    ASSERT_EQ(tool.outcome, CliParse::Outcome::Help);
    for (const char* name : {"ports", "search", "assign", "auto-assign", "read-config",
                             "write-key-config", "mirell", "oskan"}) {
        EXPECT_NE(tool.text.find(std::string("orvalctl ") + name), std::string::npos) << name;
        // Help wins over missing options.
        const CliParse sub = Parse({name, "--help"});
        ASSERT_EQ(sub.outcome, CliParse::Outcome::Help) << name;
        EXPECT_EQ(sub.text.rfind(std::string("Usage: orvalctl ") + name, 0), 0u) << name;
    }
}

// --- INI file

constexpr char kGoodFile[] =
    "# panel in the lobby\n"
    "[key]\n"
    "mode = press-release\n"
    "long_press_ms = 600   ; shortest\n"
    "\n"
    "[press]\n"
    "codes = 01 0a FF\n"
    "[release]\n"
    "codes = \" A;\"   # quoted: blanks and ';' kept\n"
    "hex = no\n"
    "[serial]\n"
    "baud = 194000\n"
    "data_bits = 5\n"
    "stop_bits = 1.5\n"
    "parity = SPACE\n";

TEST(KeyConfigFile, ReadsEveryFieldWithThePagesConversion) {
    KeyConfigError error;
    const auto s = ParseKeyConfig(kGoodFile, &error);
    ASSERT_TRUE(s) << error.line << " " << error.key << " " << error.message;
    EXPECT_FALSE(s->shortLong);
    EXPECT_EQ(s->longPressMs, 600u);
    EXPECT_EQ(s->pressCodes, (std::vector<std::uint8_t>{0x01, 0x0A, 0xFF}));
    EXPECT_EQ(s->releaseCodes, (std::vector<std::uint8_t>{' ', 'A', ';'}));
    EXPECT_EQ(s->serial, (DeviceSerialFormat{194000, 3, 1, 4}));

    // Plain characters up to U+00FF are one byte each, as the page sends them.
    const std::string latin =
        std::string(kGoodFile).replace(std::string(kGoodFile).find("\" A;\""), 5, "\xC3\xA9");  // é
    const auto l = ParseKeyConfig(latin, &error);
    ASSERT_TRUE(l) << error.message;
    EXPECT_EQ(l->releaseCodes, (std::vector<std::uint8_t>{0xE9}));
}

TEST(KeyConfigFile, AReadBackConfigurationWritesBackUnchanged) {
    TarvoConfig c;
    c.baud = 38400;
    c.dataBitsIndex = 1;
    c.stopBitsIndex = 2;
    c.parityIndex = 2;
    c.keyMode = 1;
    c.longPressMs = 2500;
    c.pressCodes = {0x10, 0x20};
    c.releaseCodes = {};
    KeyConfigError error;
    const auto s = ParseKeyConfig(FormatKeyConfig(c), &error);
    ASSERT_TRUE(s) << error.line << " " << error.message;
    EXPECT_TRUE(s->shortLong);
    EXPECT_EQ(s->longPressMs, 2500u);
    EXPECT_EQ(s->pressCodes, c.pressCodes);
    EXPECT_TRUE(s->releaseCodes.empty());
    EXPECT_EQ(s->serial, (DeviceSerialFormat{38400, 1, 2, 2}));

    // A rate the page's list lacks is printed, and refused when written back.
    c.baud = 57600;
    EXPECT_FALSE(ParseKeyConfig(FormatKeyConfig(c), &error));
    EXPECT_EQ(error.key, "serial.baud");
}

TEST(KeyConfigFile, ABadFileNamesTheKeyAndTheLine) {
    struct Case {
        std::string replace, with;
        int line;
        std::string key;
    } cases[] = {
        {"long_press_ms = 600   ; shortest", "long_press_ms = 599", 4, "key.long_press_ms"},
        {"long_press_ms = 600   ; shortest", "long_press_ms = 10001", 4, "key.long_press_ms"},
        {"long_press_ms = 600   ; shortest", "long_press_ms = 8OO", 4, "key.long_press_ms"},
        {"long_press_ms = 600   ; shortest", "long_press_ms = 99999999999", 4, "key.long_press_ms"},
        {"mode = press-release", "mode = toggle", 3, "key.mode"},
        // Hex text the conversion would quietly read as F digits.
        {"codes = 01 0a FF", "codes = 01 0G", 7, "press.codes"},
        {"codes = 01 0a FF", "codes = 01  02", 7, "press.codes"},
        {"codes = 01 0a FF", "codes = 010", 7, "press.codes"},
        {"codes = \" A;\"", "codes = \"\xE4\xB8\xAD\"", 9, "release.codes"},  // 中: two bytes
        {"codes = \" A;\"", "codes = \"open", 9, "release.codes"},
        {"hex = no", "hex = perhaps", 10, "release.hex"},
        {"baud = 194000", "baud = 57600", 12, "serial.baud"},
        {"data_bits = 5", "data_bits = 9", 13, "serial.data_bits"},
        {"stop_bits = 1.5", "stop_bits = 3", 14, "serial.stop_bits"},
        {"parity = SPACE", "parity = X", 15, "serial.parity"},
        {"[serial]", "[seriel]", 11, "seriel"},
        {"data_bits = 5", "databits = 5", 13, "serial.databits"},
        {"parity = SPACE", "parity = none\nparity = odd", 16, "serial.parity"},
        {"hex = no", "hex no", 10, ""},
        {"parity = SPACE", "", 0, "serial.parity"},  // missing
    };
    for (const Case& c : cases) {
        std::string text = kGoodFile;
        const std::size_t at = text.find(c.replace);
        ASSERT_NE(at, std::string::npos) << c.replace;
        text.replace(at, c.replace.size(), c.with);
        KeyConfigError error;
        EXPECT_FALSE(ParseKeyConfig(text, &error)) << c.with;
        EXPECT_EQ(error.line, c.line) << c.with;
        EXPECT_EQ(error.key, c.key) << c.with;
        EXPECT_FALSE(error.message.empty()) << c.with;
    }
    // More than 64 codes would be cut by the conversion: refused instead of losing codes.
    std::string many;
    for (int i = 0; i < 65; ++i) {
        many += "01 ";
    }
    std::string text = kGoodFile;
    text.replace(text.find("01 0a FF"), 8, many);
    KeyConfigError error;
    EXPECT_FALSE(ParseKeyConfig(text, &error));
    EXPECT_EQ(error.key, "press.codes");
}

// --- JSON

TEST(Json, StringsFromDevicesAndFilesAreEscapedIntoValidUtf8) {
    EXPECT_EQ(JsonWriter::Quote("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonWriter::Quote("l1\nl2\t\x01\x7F"), "\"l1\\nl2\\t\\u0001\\u007f\"");
    EXPECT_EQ(JsonWriter::Quote("串口"), "\"串口\"");
    // A stray byte, a cut sequence, an overlong slash and a surrogate become U+FFFD.
    EXPECT_EQ(JsonWriter::Quote("x\xFFy"), "\"x\xEF\xBF\xBDy\"");
    EXPECT_EQ(JsonWriter::Quote("\xE4\xB8"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonWriter::Quote("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonWriter::Quote("\xED\xA0\x80").find("\xED"), std::string::npos);
}

TEST(Json, CommasAndNestingFollowTheValues) {
    JsonWriter json;
    json.BeginObject().Key("devices").BeginArray();
    for (int a : {2, 3}) {
        json.BeginObject().Key("address").Number(a).Key("ok").Bool(a == 2).EndObject();
    }
    json.EndArray().Key("none").Null().Key("empty").BeginArray().EndArray().EndObject();
    EXPECT_EQ(json.Text(),
              "{\"devices\": [{\"address\": 2, \"ok\": true}, {\"address\": 3, \"ok\": false}], "
              "\"none\": null, \"empty\": []}");
}

}  // namespace
