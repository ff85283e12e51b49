// The parts of orvalctl's project commands that need no bus: their command line, the escaping of
// labels in the text output, and writing a captured file whole or not at all.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_args.h"
#include "cli/project_output.h"
#include "platform/text_file_write.h"
#include "session/shown_text.h"

namespace {

namespace fs = std::filesystem;

CliParse Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ProjectCommandLine, EachCommandTakesItsOptions) {
    const CliParse capture = Parse({"project", "capture", "--port", "orval-sim", "--types",
                                    "oskan,tarvo", "--file", "b.toml", "--baud", "19200"});
    ASSERT_EQ(capture.outcome, CliParse::Outcome::Run) << capture.text;
    EXPECT_EQ(capture.options.command, CliCommand::ProjectCapture);
    EXPECT_EQ(capture.options.types,
              (std::vector<DeviceModel>{DeviceModel::Oskan, DeviceModel::Tarvo}));
    EXPECT_EQ(capture.options.line.baud, 19200u);
    EXPECT_EQ(capture.options.Wait(), 1.0);

    const CliParse resolve = Parse({"--json", "project", "resolve", "--port", "1", "--file", "b"});
    ASSERT_EQ(resolve.outcome, CliParse::Outcome::Run) << resolve.text;
    EXPECT_EQ(resolve.options.command, CliCommand::ProjectResolve);
    EXPECT_TRUE(resolve.options.json);
    EXPECT_EQ(resolve.options.Wait(), 2.0);

    const CliParse identify =
        Parse({"identify", "--port", "p", "--address", "9", "--seconds", "2.5"});
    ASSERT_EQ(identify.outcome, CliParse::Outcome::Run) << identify.text;
    EXPECT_EQ(identify.options.address, 9);
    EXPECT_EQ(identify.options.seconds, 2.5);
}

TEST(ProjectCommandLine, MistakesAreRefusedBeforeAnythingRuns) {
    struct Case {
        std::vector<std::string> args;
        std::string why;
        std::string usage;
    };
    const Case cases[] = {
        {{"project"},
         "project needs capture, check, apply or resolve",
         "orvalctl project capture|"},
        {{"project", "verify", "--port", "p"},
         "unknown project command 'verify'",
         "orvalctl project"},
        {{"project", "check", "--port", "p"},
         "project check needs --file",
         "orvalctl project check"},
        {{"project", "check", "--file", "f"}, "project check needs --port", ""},
        {{"project", "check", "--port", "p", "--file", "f", "--file", "g"},
         "--file is given 2 times; give it once",
         ""},
        {{"project", "check", "--port", "p", "--file", "f", "--baud", "9600"},
         "--baud is not an option of project check",
         ""},
        {{"project", "capture", "--port", "p", "--file", "f", "--types", "tarvo,tarvo"},
         "--types: 'tarvo,tarvo' is not a list of tarvo, mirell and oskan",
         ""},
        {{"project", "capture", "--port", "p", "--file", "f", "--types", ""}, "--types", ""},
        {{"project", "apply", "--port", "p", "--file", "f", "--wait", "0"}, "--wait: '0'", ""},
        {{"identify", "--port", "p"}, "identify needs --address", "orvalctl identify"},
        {{"identify", "--port", "p", "--address", "3", "--seconds", "-1"}, "--seconds", ""},
        {{"identify", "--port", "p", "--address", "3", "--file", "f"},
         "--file is not an option of identify",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
        const CliParse p = Parse(c.args);
        EXPECT_EQ(p.outcome, CliParse::Outcome::Error);
        EXPECT_TRUE(Has(p.text, c.why)) << p.text;
        EXPECT_TRUE(Has(p.usage, c.usage)) << p.usage;
    }
}

TEST(ProjectCommandLine, HelpListsTheProjectCommands) {
    const CliParse group = Parse({"project", "--help"});
    ASSERT_EQ(group.outcome, CliParse::Outcome::Help);
    for (const char* command : {"capture", "check", "apply", "resolve"}) {
        EXPECT_TRUE(Has(group.text, std::string("orvalctl project ") + command)) << group.text;
    }
    const CliParse one = Parse({"project", "apply", "--help"});
    ASSERT_EQ(one.outcome, CliParse::Outcome::Help);
    EXPECT_TRUE(Has(one.text, "Usage: orvalctl project apply --port P --file F")) << one.text;
    EXPECT_TRUE(Has(ToolHelp(), "orvalctl identify --port P --address A [--seconds S]"));
}

TEST(ProjectOutput, ControlCharactersInALabelAreShownAsEscapes) {
    EXPECT_EQ(Shown("3F 会议室 门口"), "3F 会议室 门口");
    EXPECT_EQ(Shown("a\nb\tc\rd\\e"), "a\\nb\\tc\\rd\\\\e");
    EXPECT_EQ(Shown("\x1b[2J\x7f"), "\\x1B[2J\\x7F");
    // C1 controls, line separators and bidirectional overrides, which reorder what follows.
    EXPECT_EQ(Shown("\xC2\x9B"
                    "1m\xE2\x80\xA8\xE2\x80\xAE"
                    "x"),
              "\\u009B1m\\u2028\\u202Ex");
    // Bytes that are not UTF-8 are shown, never passed on.
    EXPECT_EQ(Shown("\xff\xC3"), "\\xFF\\xC3");
    // An echoed value is cut after 64 characters (not bytes); a label is shown whole.
    const std::string label(30, 'a');
    const std::string longer =
        label + std::string(20, 'b') + "会议室会议室会议室会议室会议室会议室";
    EXPECT_EQ(Shown(longer), label + std::string(20, 'b') + "会议室会议室会议室会议室会议…");
    EXPECT_EQ(Shown(longer, kWholeText), longer);

    ProjectRunResult r;
    DeviceReport d;
    d.model = DeviceModel::Mirell;
    d.address = 7;
    d.label = "rack\n2";
    d.status = DeviceStatus::Missing;
    r.report.devices = {d};
    const std::string text = RenderProjectRun(r, false);
    EXPECT_EQ(text,
              "MODEL   ADDRESS  STATUS      IDENTITY     LABEL\n"
              "mirell        7  missing     -            rack\\n2\n"
              "checked: ok 0, missing 1, unexpected 0, clash 0, differs 0, failed 0\n");
}

class WholeFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("ravlin-whole-" + std::to_string(getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Read(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t Entries() {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }
    fs::path m_dir;
};

TEST_F(WholeFile, ANewFileTakesTheUmaskAndAReplacedOneKeepsItsMode) {
    const fs::path file = m_dir / "plan.toml";
    std::string error;
    const mode_t old = ::umask(027);
    EXPECT_TRUE(WriteTextFileWhole(file.string(), "first\n", &error)) << error;
    ::umask(old);
    EXPECT_EQ(Read(file), "first\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    ::chmod(file.c_str(), 0604);
    EXPECT_TRUE(WriteTextFileWhole(file.string(), "second\n", &error)) << error;
    EXPECT_EQ(Read(file), "second\n");
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
    EXPECT_EQ(Entries(), 1u) << "no file is left beside it";
}

TEST_F(WholeFile, ALinkIsFollowedAndWhatCannotBeWrittenIsRefusedFirst) {
    const fs::path target = m_dir / "real.toml";
    const fs::path link = m_dir / "link.toml";
    std::ofstream(target) << "old\n";
    fs::create_symlink(target, link);
    std::string error;
    EXPECT_TRUE(WriteTextFileWhole(link.string(), "new\n", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(target), "new\n");

    EXPECT_EQ(WhyNotWritable(m_dir.string()), "is a directory");
    EXPECT_FALSE(WriteTextFileWhole(m_dir.string(), "x", &error));
    EXPECT_EQ(error, "is a directory");
    EXPECT_EQ(WhyNotWritable("/dev/null"), "is not a regular file");
    EXPECT_TRUE(Has(WhyNotWritable((m_dir / "no" / "plan.toml").string()), "folder")) << error;
    EXPECT_FALSE(WriteTextFileWhole((m_dir / "no" / "plan.toml").string(), "x", &error));
    EXPECT_EQ(WhyNotWritable((m_dir / "fresh.toml").string()), "");
    EXPECT_EQ(Entries(), 2u);
}

}  // namespace
