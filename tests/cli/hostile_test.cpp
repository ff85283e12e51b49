// orvalctl under faults and careless or hostile input: it never hangs, never reports half a job
// as done, says when an address is shared, and shows what came from outside without letting it
// break the output. The real binary against the simulator or a misbehaving device on a
// pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "bus/frame.h"
#include "bus/tarvo_config.h"
#include "platform/bus_terminal.h"
#include "platform/pseudo_terminal.h"
#include "platform/published_ports.h"
#include "scripted_peer.h"
#include "sim/orval_simulator.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = ScriptedPeer::Bytes;

constexpr char kPort[] = "orval-hostile";
constexpr char kGoodIni[] =
    "[key]\nmode = short-long\nlong_press_ms = 900\n[press]\ncodes = 01 02\n[release]\n"
    "codes =\n[serial]\nbaud = 9600\ndata_bits = 8\nstop_bits = 1\nparity = none\n";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A file of this test's own, removed at the end.
class TempFile {
public:
    explicit TempFile(const std::string& text, const std::string& tag = "f") {
        m_path = fs::temp_directory_path() /
                 ("orvalctl-hostile-" + std::to_string(::getpid()) + "-" + tag);
        std::ofstream(m_path, std::ios::binary) << text;
    }
    ~TempFile() { fs::remove_all(m_path); }
    std::string Path() const { return m_path.string(); }

private:
    fs::path m_path;
};

ToolResult Tool(std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"--port", kPort});
    return RunOrvalctl(args);
}

// The 0x23 reply of a panel at `address` with a configuration of 9600 8-N-1.
Bytes ConfigReply(std::uint8_t address) {
    TarvoConfig c;
    c.baud = 9600;
    c.keyMode = 1;
    c.longPressMs = 800;
    c.pressCodes = {0x11, 0x22};
    Bytes reply = DeviceFrame(kTypeTarvo, address, kCmdReadConfig, {});
    const TarvoConfigBlock block = EncodeTarvoConfig(c);
    reply.insert(reply.end(), block.bytes.begin(), block.bytes.end());
    return reply;
}

std::vector<SimDeviceSpec> Panels(std::size_t count, std::uint8_t address) {
    std::vector<SimDeviceSpec> devices;
    for (std::size_t i = 0; i < count; ++i) {
        devices.push_back(
            {SimModel::Tarvo,
             address,
             {0x54, 0xA0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)}});
    }
    return devices;
}

// --- Files a user names (rows 1, 2, 15, 16).

TEST(HostileFiles, EndlessDevicesPipesAndFoldersAreRefusedAtOnce) {
    const std::string fifo =
        (fs::temp_directory_path() / ("orvalctl-fifo-" + std::to_string(::getpid()))).string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path, why;
    } cases[] = {{"/dev/zero", "is not a regular file"},
                 {"/dev/urandom", "is not a regular file"},
                 {fifo, "is not a regular file"},
                 {fs::temp_directory_path().string(), "is a directory"},
                 {"/no/such/file", "No such file or directory"}};
    for (const auto& c : cases) {
        const RunningTool tool = StartOrvalctl(
            {"write-key-config", "--port", kPort, "--address", "1", "--file", c.path});
        const ToolResult r = WaitForOrvalctl(tool, 20s);
        EXPECT_EQ(r.status, 2) << c.path << ": " << r.err;
        EXPECT_TRUE(Has(r.err, "cannot read " + c.path + ": " + c.why)) << r.err;
    }
    fs::remove(fifo);
    // A file beyond 1 MiB is refused unread.
    const TempFile big(std::string(1024 * 1024 + 1, '#'), "big");
    const ToolResult r =
        RunOrvalctl({"write-key-config", "--port", kPort, "--address", "1", "--file", big.Path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "larger than 1 MiB")) << r.err;
}

TEST(HostileFiles, ByteOrderMarksLineEndsAndCommentsAfterASectionAreRead) {
    OrvalSimulator sim(Panels(1, 1));
    sim.SetTraceSink(nullptr);
    sim.Start(kPort);
    std::string crOnly = kGoodIni;
    std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
    std::string crlf;
    for (char c : std::string(kGoodIni)) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    std::string commented = kGoodIni;
    commented.replace(commented.find("[key]"), 5, "[key] ; how the keys act");
    const std::string files[] = {"\xEF\xBB\xBF" + std::string(kGoodIni), crOnly, crlf, commented};
    int n = 0;
    for (const std::string& text : files) {
        const TempFile file(text, "ini" + std::to_string(n++));
        const ToolResult r = Tool({"write-key-config", "--address", "1", "--file", file.Path()});
        EXPECT_EQ(r.status, 0) << n << ": " << r.err;
    }
    EXPECT_EQ(sim.Devices()[0].tarvo.longPressMs, 900);
}

// --- Replies that are not what they look like (rows 3, 17, 18, 19).

TEST(HostileReplies, AReplyCutBySilenceIsNotTaken) {
    // 100 bytes of the reply, then a silence, then a whole reply: the parser joins them into
    // one long reply whose codes hold the next frame's head.
    ScriptedPeer peer(kPort, [](const Bytes& request, ScriptedPeer& p) {
        if (request.size() >= 5 && request[4] == kCmdReadConfig) {
            const Bytes reply = ConfigReply(request[2]);
            p.Write(Bytes(reply.begin(), reply.begin() + 100));
            ScriptedPeer::Sleep(300ms);
            p.Write(reply);
        }
    });
    const ToolResult r = Tool({"read-config", "--address", "1", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "was cut")) << r.err;
    EXPECT_EQ(r.out, "{\"address\": 1, \"config\": null}\n");
}

TEST(HostileReplies, ConfirmationsOfOtherValuesAreNotConfirmations) {
    // The panel confirms every frame, but its serial format with another format byte.
    ScriptedPeer peer(kPort, [](const Bytes& f, ScriptedPeer& p) {
        if (f.size() < 10) {
            return;
        }
        Bytes echo = DeviceFrame(kTypeTarvo, f[2], f[4], {0, f[6], f[7], f[8], 0});
        if (f[4] == kCmdSerialFormat) {
            echo[8] = 0x15;
        }
        p.Write(echo);
    });
    const TempFile file(kGoodIni);
    const ToolResult r = Tool({"write-key-config", "--address", "1", "--file", file.Path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "serial format                 confirmed with other values")) << r.out;
    EXPECT_TRUE(
        Has(r.err, "serial format: the panel confirmed 60 00 15 where 60 00 00 was written"))
        << r.err;
}

TEST(HostileReplies, AnswersOfAnotherModelAndBytesThatFormNoFrameAreSaid) {
    ScriptedPeer peer(kPort, [](const Bytes& f, ScriptedPeer& p) {
        if (f.size() == 4 && f[1] == kTypeTarvo) {
            p.Write(DeviceFrame(kTypeMirell, 2, kCmdFound, {0, 0x4D, 0xB0, 0, 1}));
        } else if (f.size() == 4) {
            p.Write(Bytes(3000, 0x55));  // the look of a wrong line rate
        }
    });
    const ToolResult mirell = Tool({"search", "--type", "tarvo", "--wait", "0.3"});
    EXPECT_EQ(mirell.status, 1);
    EXPECT_TRUE(Has(mirell.err, "address 2 answered as a mirell, not a tarvo")) << mirell.err;
    const ToolResult junk = Tool({"search", "--type", "oskan", "--wait", "0.3"});
    EXPECT_EQ(junk.status, 1);
    EXPECT_TRUE(Has(junk.err,
                    "3000 bytes arrived that formed no frame — wrong line settings? "
                    "try find-baud"))
        << junk.err;
}

// --- A port that fails, and an interruption (rows 4, 5, 9).

TEST(HostilePort, APortThatGoesAwayEndsTheCommandAtOnceWithExitFour) {
    SimTiming slow;
    slow.assignNextRequest = 40ms;
    auto sim = std::make_unique<OrvalSimulator>(Panels(40, 1), slow);
    sim->SetTraceSink(nullptr);
    sim->Start(kPort);
    const RunningTool tool =
        StartOrvalctl({"auto-assign", "--port", kPort, "--type", "tarvo", "--from", "1", "--json"});
    std::this_thread::sleep_for(600ms);
    sim.reset();  // the simulator ends: its terminal hangs up
    const ToolResult r = WaitForOrvalctl(tool, 20s);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_TRUE(Has(r.err, "the port failed: ")) << r.err;
    EXPECT_FALSE(Has(r.err, "WaitCommEvent")) << r.err;
    EXPECT_TRUE(Has(r.out, "\"partial\": true")) << r.out;

    // A search that waits long ends when the port fails, not when its wait is over.
    ScriptedPeer peer(kPort, [](const Bytes&, ScriptedPeer&) {});
    const auto start = std::chrono::steady_clock::now();
    const RunningTool search =
        StartOrvalctl({"search", "--port", kPort, "--type", "tarvo", "--wait", "30"});
    std::this_thread::sleep_for(500ms);
    peer.HangUp();
    const ToolResult s = WaitForOrvalctl(search, 25s);
    EXPECT_EQ(s.status, 4) << s.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

TEST(HostilePort, AnInterruptedWriteSaysWhichFramesWentOut) {
    OrvalSimulator sim(Panels(1, 1));
    std::atomic<int> frames{0};
    sim.SetTraceSink([&](const std::string& line) {
        if (Has(line, "PC->bus ")) {
            ++frames;
        }
    });
    sim.Start(kPort);
    const TempFile file(kGoodIni);
    const RunningTool tool = StartOrvalctl(
        {"write-key-config", "--port", kPort, "--address", "1", "--file", file.Path()});
    while (frames.load() < 1) {
        std::this_thread::sleep_for(2ms);
    }
    ::kill(tool.pid, SIGINT);
    const ToolResult r = WaitForOrvalctl(tool, 20s);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_TRUE(Has(r.err, "interrupted (SIGINT)")) << r.err;
    EXPECT_TRUE(Has(r.err, "of 4 frames went out (key mode and long-press time")) << r.err;
    EXPECT_TRUE(Has(r.err, "mix of old and new settings")) << r.err;
    EXPECT_LT(frames.load(), 4);
}

// --- Shared addresses (rows 6, 7).

TEST(HostileBus, AnAddressSharedByTwoDevicesIsAlwaysSaid) {
    OrvalSimulator sim({{SimModel::Tarvo, 5, {0x54, 0xA0, 0, 1}},
                        {SimModel::Tarvo, 5, {0x54, 0xA0, 0, 2}},
                        {SimModel::Oskan, 3, {0x4F, 0xC0, 0, 1}},
                        {SimModel::Oskan, 3, {0x4F, 0xC0, 0, 2}}});
    sim.SetTraceSink(nullptr);
    sim.Start(kPort);
    const ToolResult read = Tool({"read-config", "--address", "5"});
    EXPECT_EQ(read.status, 1);
    EXPECT_TRUE(Has(read.err, "address 5 answered twice")) << read.err;
    EXPECT_TRUE(read.out.empty()) << read.out;

    // Two OSKAN devices at 3: nothing is written unless one is named.
    const ToolResult both = Tool({"assign", "--type", "oskan", "--address", "3", "--to", "8"});
    EXPECT_EQ(both.status, 1);
    EXPECT_TRUE(Has(both.err, "address 3 answered twice: 4F C0 00 01, 4F C0 00 02")) << both.err;
    EXPECT_EQ(sim.Devices()[2].address, 3);
    EXPECT_EQ(sim.Devices()[3].address, 3);
    const ToolResult one = Tool(
        {"assign", "--type", "oskan", "--address", "3", "--to", "8", "--identity", "4F C0 00 02"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(sim.Devices()[2].address, 3);
    EXPECT_EQ(sim.Devices()[3].address, 8);
}

TEST(HostileBus, AutomaticAssignmentThatRunsOutOfAddressesSaysSo) {
    SimTiming quick;
    quick.firstReply = 1ms;
    quick.replyGap = 1ms;
    quick.assignNextRequest = 1ms;
    quick.assignAnswerTimeout = 150ms;
    OrvalSimulator sim(Panels(300, 1), quick);
    sim.SetTraceSink(nullptr);
    sim.Start(kPort);
    const ToolResult r =
        Tool({"auto-assign", "--type", "tarvo", "--from", "1", "--wait", "1", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "ran out of addresses")) << r.err;
    std::map<int, int> holders;
    for (const SimDeviceState& d : sim.Devices()) {
        ++holders[d.address];
    }
    EXPECT_EQ(holders.size(), 255u);  // every address once, the rest still at 1
    EXPECT_EQ(holders[1], 46);
}

// --- Only buses are ports (rows 10, 11, 14, 20).

// A pseudo-terminal that a child process holds as its controlling terminal, as a shell does:
// what a stale link's number may lead to once the system gave the number to someone else.
class SomeonesTerminal {
public:
    SomeonesTerminal() {
        const std::string slave = m_pty.SlavePath();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setsid();
            const int fd = ::open(slave.c_str(), O_RDWR);  // becomes its controlling terminal
            (void)fd;
            ::pause();
            ::_exit(0);
        }
        // Until the child has it as its terminal, it is nobody's.
        for (int i = 0; i < 500 && ClassifyBusTerminal(slave) != BusTerminal::SomeonesTerminal;
             ++i) {
            std::this_thread::sleep_for(2ms);
        }
    }
    ~SomeonesTerminal() {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::string Path() const { return m_pty.SlavePath(); }

private:
    PseudoTerminal m_pty;
    pid_t m_pid = -1;
};

TEST(HostilePorts, OnlyABusIsListedOrWrittenTo) {
    const fs::path folder = PublishedPortsFolder();
    fs::create_directories(folder);
    const SomeonesTerminal shell;
    ASSERT_EQ(ClassifyBusTerminal(shell.Path()), BusTerminal::SomeonesTerminal);
    PseudoTerminal bus;
    bus.Publish("orval-real");
    const std::vector<std::pair<std::string, std::string>> links = {
        {"orval-stale", shell.Path()}, {"orval-tty", "/dev/tty"},
        {"orval-null", "/dev/null"},   {"orval-zero", "/dev/zero"},
        {"orval-ptmx", "/dev/ptmx"},   {"orval-chain", (folder / "orval-real").string()}};
    for (const auto& [name, target] : links) {
        fs::create_symlink(target, folder / name);
    }
    const ToolResult list = RunOrvalctl({"ports"});
    EXPECT_TRUE(Has(list.out, "orval-real")) << list.out;
    for (const auto& [name, target] : links) {
        EXPECT_FALSE(Has(list.out, name)) << list.out;
        // Named by path, each is refused before anything is written.
        const ToolResult r = RunOrvalctl(
            {"mirell", "--port", (folder / name).string(), "--address", "2", "screen", "up"});
        EXPECT_EQ(r.status, 3) << name << ": " << r.err;
        EXPECT_TRUE(Has(r.err, "is no port")) << r.err;
    }
    for (const std::string& target : {std::string("/dev/tty"), shell.Path()}) {
        const ToolResult r =
            RunOrvalctl({"mirell", "--port", target, "--address", "2", "screen", "up", "--json"});
        EXPECT_EQ(r.status, 3) << target;
        EXPECT_FALSE(Has(r.out, "\"sent\": true")) << r.out;
    }
    for (const auto& [name, target] : links) {
        fs::remove(folder / name);
    }
}

TEST(HostilePorts, AFolderGivenWithATrailingSlashIsStillCheckedForALink) {
    const fs::path root =
        fs::temp_directory_path() / ("orvalctl-folders-" + std::to_string(::getpid()));
    fs::create_directories(root / "real");
    fs::permissions(root / "real", fs::perms::owner_all);
    fs::create_directory_symlink(root / "real", root / "link");
    for (const std::string spelling : {"/link", "/link/", "/link/.", "/link//./"}) {
        EXPECT_EQ(CheckPublishedPortsFolder(root.string() + spelling), FolderCheck::Refused)
            << spelling;
    }
    EXPECT_EQ(CheckPublishedPortsFolder(root.string() + "/real/"), FolderCheck::Private);
    fs::remove_all(root);
}

TEST(HostilePorts, APublishedPortKeepsItsNumberWhenOthersAppear) {
    PseudoTerminal later;  // opened first, published last: its number is below the others'
    PseudoTerminal mine;
    mine.Publish("orval-m");
    const auto numberOf = [](const std::string& name) {
        const ToolResult r = RunOrvalctl({"ports", "--json"});
        const std::size_t at = r.out.find("\"name\": \"" + name + "\", \"number\": ");
        return at == std::string::npos ? std::string() : r.out.substr(at + name.size() + 20, 4);
    };
    const std::string before = numberOf("orval-m");
    ASSERT_FALSE(before.empty());
    later.Publish("orval-a");  // a name that sorts before it
    EXPECT_EQ(numberOf("orval-m"), before);
    EXPECT_FALSE(numberOf("orval-a").empty());
}

// --- The simulator's port (rows 12, 13).

// orval-sim in the background with `args`, its standard output a pipe whose reader has gone
// away at once (as "orval-sim | head -1" leaves it).
pid_t StartSimulator(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return -1;
    }
    std::vector<char*> argv = {const_cast<char*>(ORVAL_SIM_PATH)};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::execv(ORVAL_SIM_PATH, argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return pid;
}

int WaitForExit(pid_t pid) {
    for (int i = 0; i < 1000; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

bool WaitForLink(const fs::path& link, bool present) {
    for (int i = 0; i < 500; ++i) {
        if (fs::is_symlink(fs::symlink_status(link)) == present) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(HostileSimulator, ANameInUseIsRefusedAndOnlyItsOwnLinkIsRemoved) {
    const fs::path link = fs::path(PublishedPortsFolder()) / "orval-same";
    const pid_t first = StartSimulator({"--quiet", "--name", "orval-same"});
    ASSERT_TRUE(WaitForLink(link, true));
    const fs::path target = fs::read_symlink(link);
    const pid_t second = StartSimulator({"--quiet", "--name", "orval-same"});
    EXPECT_EQ(WaitForExit(second), 1);
    EXPECT_EQ(fs::read_symlink(link), target);  // the first one's link is untouched
    ::kill(first, SIGTERM);
    EXPECT_EQ(WaitForExit(first), 0);
    EXPECT_TRUE(WaitForLink(link, false));
}

TEST(HostileSimulator, AReaderThatGoesAwayAndAnySignalLeaveNoLinkBehind) {
    const fs::path link = fs::path(PublishedPortsFolder()) / "orval-piped";
    const pid_t sim = StartSimulator({"--name", "orval-piped"});
    ASSERT_TRUE(WaitForLink(link, true));
    // It traces the search into a pipe nobody reads any more, and goes on.
    const ToolResult r =
        RunOrvalctl({"search", "--port", "orval-piped", "--type", "mirell", "--wait", "0.3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(::waitpid(sim, nullptr, WNOHANG), 0) << "the simulator died";
    ::kill(sim, SIGUSR1);
    EXPECT_NE(WaitForExit(sim), -1);
    EXPECT_TRUE(WaitForLink(link, false));
}

// --- The command line and what it echoes (rows 8, 21, 22, 23).

TEST(HostileArguments, RepeatedOptionsAreRefusedNotSilentlyReplaced) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"read-config", "--port", "a", "--address", "8", "--address",
                                   "10"},
          std::vector<std::string>{"search", "--port", "a", "--type", "tarvo", "--type", "oskan"},
          std::vector<std::string>{"search", "--port", "a", "--port", "b", "--type", "tarvo"}}) {
        const ToolResult r = RunOrvalctl(args);
        EXPECT_EQ(r.status, 2) << args[3];
        EXPECT_TRUE(Has(r.err, "is given 2 times; give it once")) << r.err;
    }
}

TEST(HostileArguments, WhatIsEchoedIsEscapedCutAndInOneLanguagePerLine) {
    const ToolResult huge =
        RunOrvalctl({"search", "--port", "p", "--type", std::string(100000, 'x')});
    EXPECT_EQ(huge.status, 2);
    EXPECT_LT(huge.err.size(), 400u);
    EXPECT_TRUE(Has(huge.err, "…")) << huge.err.substr(0, 200);

    const ToolResult escape = RunOrvalctl({"search", "--port", "p", "--type", "tar\x1b[2J\nvo"});
    EXPECT_EQ(escape.status, 2);
    EXPECT_FALSE(Has(escape.err, "\x1b")) << escape.err;
    EXPECT_TRUE(Has(escape.err, "'tar\\x1B[2J\\nvo'")) << escape.err;

    // A value with a NUL is told whole.
    const TempFile file(std::string("[key]\nmode = short\0long\n", 24));
    const ToolResult nul =
        RunOrvalctl({"write-key-config", "--port", "p", "--address", "1", "--file", file.Path()});
    EXPECT_EQ(nul.status, 2);
    EXPECT_TRUE(Has(nul.err, "'short\\x00long' is not short-long")) << nul.err;

    // The window's words go on a line of their own.
    const ToolResult port =
        RunOrvalctl({"search", "--port", "/dev/no-such-tty", "--type", "tarvo"});
    EXPECT_EQ(port.status, 3);
    EXPECT_TRUE(Has(port.err, "the port is busy or missing\norvalctl: 串口被占用或不存!"))
        << port.err;

    // Times too small to wait for are refused, not printed as 1e-07 s.
    const ToolResult tiny =
        RunOrvalctl({"search", "--port", "p", "--type", "tarvo", "--wait", "0.0000001"});
    EXPECT_EQ(tiny.status, 2);
    EXPECT_FALSE(Has(tiny.err, "e-07")) << tiny.err;
}

}  // namespace
