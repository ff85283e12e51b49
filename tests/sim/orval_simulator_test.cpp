// The simulator on a real pseudo-terminal, driven from the PC side the way Ravlin drives it.

#include "sim/orval_simulator.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "bus/commands.h"
#include "bus/frame.h"
#include "bus/tarvo_config.h"
#include "sim_client.h"

using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Keeps the trace for a failing test's output instead of printing it.
class TraceLog {
public:
    OrvalSimulator::TraceSink Sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        };
    }
    bool Contains(const std::string& text) const {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_lines.begin(), m_lines.end(),
                           [&](const std::string& l) { return l.find(text) != l.npos; });
    }
    // When the simulator wrote the first line holding `text` (seconds since it started), or a
    // negative value when no line holds it.
    double TimeOf(const std::string& text) const {
        std::lock_guard lock(m_mutex);
        for (const std::string& l : m_lines) {
            if (l.find(text) != l.npos) {
                return std::stod(l);
            }
        }
        return -1;
    }
    std::string All() const {
        std::lock_guard lock(m_mutex);
        std::string all;
        for (const std::string& l : m_lines) {
            all += l + "\n";
        }
        return all;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

constexpr SimIdentity kIdA{0xA1, 0xB2, 0xE3, 0xD4};
constexpr SimIdentity kIdB{0xA1, 0xB2, 0xE3, 0xD5};
constexpr SimIdentity kIdC{0x4D, 0x00, 0x00, 0x01};
constexpr SimIdentity kIdD{0x4D, 0x00, 0x00, 0x02};
constexpr SimIdentity kIdE{0x4F, 0x00, 0x00, 0x01};

// An outgoing frame with only the head and the type set, for the bus/commands.h builders.
TxFrame::Bytes Frame(std::uint8_t type) {
    TxFrame::Bytes b{};
    b[kPosHead] = kFrameHead;
    b[kPosType] = type;
    return b;
}

class SimulatorTest : public ::testing::Test {
protected:
    void Begin(std::vector<SimDeviceSpec> devices, SimTiming timing = {}) {
        m_sim = std::make_unique<OrvalSimulator>(std::move(devices), timing);
        m_sim->SetTraceSink(m_trace.Sink());
        m_sim->Start("sim-test");
        m_client = std::make_unique<SimClient>(m_sim->PortPath());
    }
    void TearDown() override {
        if (HasFailure()) {
            std::fputs(m_trace.All().c_str(), stderr);
        }
        m_client.reset();
        m_sim.reset();
    }
    // Waits until the trace shows `text` (the simulator has seen the bytes).
    bool WaitForTrace(const std::string& text, std::chrono::milliseconds timeout = 2s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_trace.Contains(text)) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    bool WaitFor(const std::function<bool(const std::vector<SimDeviceState>&)>& done) {
        return m_sim->WaitUntil(done, 2s);
    }
    std::vector<std::uint8_t> Sources(const std::vector<SimClient::Frame>& frames) {
        std::vector<std::uint8_t> sources;
        for (const auto& f : frames) {
            sources.push_back(f.bytes[kPosSource]);
        }
        return sources;
    }

    TraceLog m_trace;
    std::unique_ptr<OrvalSimulator> m_sim;
    std::unique_ptr<SimClient> m_client;
};

TEST_F(SimulatorTest, SearchListsExactlyTheDevicesOfThatTypeStaggeredAndWhole) {
    Begin({{SimModel::Oskan, 3, kIdE},
           {SimModel::Mirell, 5, kIdC},
           {SimModel::Oskan, 7, kIdA},
           {SimModel::Tarvo, 3, kIdB}});
    m_client->Write({0xFA, kTypeOskan, 0x00, 0x00});
    const auto frames = m_client->ReadFrames(300ms);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].bytes, (Bytes{0xFA, 0x06, 0x00, 0x03, 0xFE, 0x00, 0x4F, 0x00, 0x00, 0x01}));
    EXPECT_EQ(frames[1].bytes, (Bytes{0xFA, 0x06, 0x00, 0x07, 0xFE, 0x00, 0xA1, 0xB2, 0xE3, 0xD4}));
    // One after the other, never in the same burst: the first 15 ms after the search, the next
    // 8 ms after it. Taken from when the simulator wrote them (a reader that was slow to wake
    // would see both at once), and from the search, since a write made late only moves that
    // frame; the trace gives times to the millisecond.
    const double searched = m_trace.TimeOf("search OSKAN");
    const double first = m_trace.TimeOf("OSKAN 3 found");
    const double second = m_trace.TimeOf("OSKAN 7 found");
    ASSERT_GE(searched, 0);
    EXPECT_GE(first - searched, 0.015 - 0.001);
    EXPECT_GE(second - searched, 0.015 + 0.008 - 0.001);

    m_client->Write({0xFA, kTypeMirell, 0x00, 0x00});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), Bytes{5});
    m_client->Write({0xFA, 0x07, 0x00, 0x00});
    EXPECT_TRUE(m_client->ReadFrames(200ms).empty());
}

TEST_F(SimulatorTest, SearchFollowedAtOnceByTheNextFrameIsStillASearch) {
    Begin({{SimModel::Tarvo, 4, kIdA}});
    // Search and LED test in one write: the head of the second frame ends the search.
    m_client->Write({0xFA, 0x09, 0x00, 0x00, 0xFA, 0x09, 0x04, 0x00, 0x03, 0x00, 0x01, 0, 0, 0});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), Bytes{4});
    EXPECT_TRUE(WaitFor([](const auto& d) { return d[0].led1 == LedState::On; }));
}

// The client's side of automatic assignment: answer every 0x21 with the next address, as the
// main dialog does, and collect what the devices send.
std::vector<SimClient::Frame> AnswerRequests(SimClient& client, std::uint8_t first,
                                             std::chrono::milliseconds quiet,
                                             bool skipFirst = false) {
    std::vector<SimClient::Frame> frames;
    std::uint8_t next = first;
    while (auto frame = client.ReadFrame(quiet)) {
        frames.push_back(*frame);
        if (frame->bytes[kPosCommand] != kCmdAddressRequest) {
            continue;
        }
        if (skipFirst) {
            skipFirst = false;
            continue;
        }
        TxFrame::Bytes b = Frame(frame->bytes[kPosType]);
        client.Write(b, BuildAddressAnswer(b, frame->bytes.data(), next++));
    }
    return frames;
}

TEST_F(SimulatorTest, AutomaticAssignmentGivesTheFactoryAddressDevicesTheirAddresses) {
    Begin({{SimModel::Tarvo, 1, kIdA}, {SimModel::Mirell, 1, kIdC}, {SimModel::Tarvo, 1, kIdB}});
    TxFrame::Bytes b = Frame(kTypeTarvo);
    m_client->Write(b, BuildAutoAssignFrame(b));
    const auto frames = AnswerRequests(*m_client, 10, 400ms);

    std::vector<std::string> seen;
    for (const auto& f : frames) {
        char text[16];
        std::snprintf(text, sizeof text, "%02X@%u:%02X", f.bytes[4], f.bytes[3], f.bytes[9]);
        seen.push_back(text);
    }
    // Both answer the announcement; then one request at a time, each confirmed from the new
    // address before the next device asks.
    EXPECT_EQ(seen, (std::vector<std::string>{"20@1:D4", "20@1:D5", "21@1:D4", "22@10:D4",
                                              "21@1:D5", "22@11:D5"}));
    const auto devices = m_sim->Devices();
    EXPECT_EQ(devices[0].address, 10);
    EXPECT_EQ(devices[2].address, 11);
    EXPECT_EQ(devices[1].address, 1);  // another model takes no part

    m_client->Write({0xFA, 0x09, 0x00, 0x00});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), (Bytes{10, 11}));
}

TEST_F(SimulatorTest, DeviceWithoutAnAnswerGivesUpAndTheNextOneAsks) {
    SimTiming timing;
    timing.assignAnswerTimeout = 150ms;
    Begin({{SimModel::Tarvo, 1, kIdA}, {SimModel::Tarvo, 1, kIdB}}, timing);
    TxFrame::Bytes b = Frame(kTypeTarvo);
    m_client->Write(b, BuildAutoAssignFrame(b));
    const auto frames = AnswerRequests(*m_client, 20, 400ms, /*skipFirst=*/true);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[3].bytes[kPosCommand], kCmdAddressRequest);
    EXPECT_EQ(frames[3].bytes[9], 0xD5);
    // The next device asks only after the time-out. The time-out runs from when the request
    // was due, and on a busy machine that request can reach the client some milliseconds late,
    // so the gap seen here may be a little shorter than 150 ms -- but far from the 8 ms spacing
    // of replies that follow one another.
    EXPECT_GE(frames[3].arrived - frames[2].arrived, 100ms);
    EXPECT_EQ(m_sim->Device(0).address, 1);
    EXPECT_EQ(m_sim->Device(1).address, 20);
    EXPECT_TRUE(m_trace.Contains("gives up"));
}

TEST_F(SimulatorTest, AddressWriteMovesTheAddressedDeviceAndConfirms) {
    Begin({{SimModel::Mirell, 2, kIdC}, {SimModel::Mirell, 2, kIdD}, {SimModel::Oskan, 3, kIdE}});
    // OSKAN: byte 6 is 0x22, no identity; the device at 3 moves to 9.
    TxFrame::Bytes b = Frame(kTypeOskan);
    m_client->Write(b, BuildOskanAddressWrite(b, 3, 9));
    auto reply = m_client->ReadFrame(500ms);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes[kPosSource], 9);
    EXPECT_EQ(reply->bytes[kPosCommand], kCmdAddressAssign);
    EXPECT_EQ(m_sim->Device(2).address, 9);

    // MIRELL: two share address 2; the identity in bytes 6..9 picks one of them.
    b = Frame(kTypeMirell);
    m_client->Write(b, BuildMirellAddressWrite(b, 2, 12, kIdD));
    EXPECT_EQ(Sources(m_client->ReadFrames(200ms)), Bytes{12});
    EXPECT_EQ(m_sim->Device(0).address, 2);
    EXPECT_EQ(m_sim->Device(1).address, 12);

    // Address 0 is the PC's: refused, no confirmation.
    m_client->Write(b, BuildMirellAddressWrite(b, 2, 0, kIdC));
    EXPECT_TRUE(m_client->ReadFrames(200ms).empty());
    EXPECT_EQ(m_sim->Device(0).address, 2);
}

TEST_F(SimulatorTest, TarvoConfigurationWrittenIsReadBackWhole) {
    Begin({{SimModel::Tarvo, 5, kIdA}, {SimModel::Tarvo, 6, kIdB}});
    const Bytes first{0x01, 0x02, 0xFA, 0x0A};  // a head byte among the codes is data
    Bytes second(64);
    for (std::size_t i = 0; i < second.size(); ++i) {
        second[i] = static_cast<std::uint8_t>(0x40 + i);
    }
    TxFrame::Bytes b = Frame(kTypeTarvo);
    m_client->Write(b, BuildKeyModeFrame(b, 5, false, 1500));
    m_client->Write(b, BuildFunctionCodesFrame(b, 5, true, first.data(), first.size()));
    m_client->Write(b, BuildFunctionCodesFrame(b, 5, false, second.data(), second.size()));
    m_client->Write(b, BuildSerialFormatFrame(b, 115200, 1, 2, 4));
    m_client->Write(b, BuildLedTestFrame(b, kCmdLed2, 5, kLedFlash));

    const auto confirms = m_client->ReadFrames(200ms);
    std::vector<std::uint8_t> commands;
    for (const auto& f : confirms) {
        commands.push_back(f.bytes[kPosCommand]);
        EXPECT_EQ(f.bytes[kPosSource], 5);
    }
    EXPECT_EQ(commands, (Bytes{0x26, 0x27, 0x27, 0x25}));

    m_client->Write(b, BuildReadConfigFrame(b, 5));
    auto reply = m_client->ReadFrame(500ms);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->bytes.size(), kLongReplyLength);
    EXPECT_EQ(Bytes(reply->bytes.begin(), reply->bytes.begin() + 5),
              (Bytes{0xFA, 0x09, 0x00, 0x05, 0x23}));
    TarvoConfigBlock block;
    std::copy(reply->bytes.begin() + kFrameLength, reply->bytes.end(), block.bytes.begin());
    const TarvoConfig c = DecodeTarvoConfig(block);
    EXPECT_EQ(c.baud, 115200);
    EXPECT_EQ(c.dataBitsIndex, 1);
    EXPECT_EQ(c.stopBitsIndex, 2);
    EXPECT_EQ(c.parityIndex, 4);
    EXPECT_EQ(c.keyMode, 0);
    EXPECT_EQ(c.longPressMs, 1500);
    EXPECT_EQ(c.pressCodes, first);
    EXPECT_EQ(c.releaseCodes, second);
    EXPECT_EQ(m_sim->Device(0).led2, LedState::Flash);

    // The other panel kept its factory settings.
    const SimDeviceState other = m_sim->Device(1);
    EXPECT_EQ(other.tarvo.baud, 9600);
    EXPECT_EQ(other.tarvo.longPressMs, 800);
    EXPECT_TRUE(other.tarvo.pressCodes.empty());
}

TEST_F(SimulatorTest, AtALineRateEveryFrameTakesItsTimeOnTheLine) {
    std::vector<SimDeviceSpec> panels;
    for (std::uint8_t a = 1; a <= 20; ++a) {
        panels.push_back({SimModel::Tarvo, a, {0x54, 0, 0, a}});
    }
    SimTiming timing;
    timing.lineRate = 9600;  // 10 bits a byte: 1.04 ms a byte, 10.4 ms a ten-byte frame
    Begin(panels, timing);
    m_client->Write({0xFA, kTypeTarvo, 0x00, 0x00});
    const auto found = m_client->ReadFrames(300ms);
    ASSERT_EQ(found.size(), 20u);
    // The search takes its time on the line (4 bytes) before the devices hear it, the first
    // answer comes 15 ms later and has its time on the line too, and every further one follows
    // the one before it: the last is written no sooner than 20 frame times after that. Measured
    // from the search, since a write the simulator makes late (a slow wake-up) only moves that
    // frame; the trace gives times to the millisecond, so the two readings may be up to one off.
    const double searched = m_trace.TimeOf("search TARVO");
    const double last = m_trace.TimeOf("TARVO 20 found");
    ASSERT_GE(searched, 0);
    EXPECT_GE(last - searched, 0.0042 + 0.015 + 20 * 0.0104 - 0.001);

    // Request and the 160-byte reply: 170 bytes on the line at least.
    TxFrame::Bytes b = Frame(kTypeTarvo);
    const auto asked = std::chrono::steady_clock::now();
    m_client->Write(b, BuildReadConfigFrame(b, 7));
    const auto reply = m_client->ReadFrame(2s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes.size(), kLongReplyLength);
    EXPECT_GE(reply->arrived - asked, 170 * 1041us);
}

TEST_F(SimulatorTest, MirellAndOskanStateFollowsTheirFrames) {
    Begin({{SimModel::Mirell, 0x10, kIdC}, {SimModel::Oskan, 0x0A, kIdE}});
    TxFrame::Bytes b{};
    m_client->Write(b, BuildMirellCommandFrame(b, 0x10, kMirellScreen, 0x01));
    m_client->Write(b, BuildMirellCommandFrame(b, 0x10, kMirellLifter, 0x02));
    m_client->Write(b, BuildMirellCommandFrame(b, 0x10, kMirellSequence, 0x00));
    m_client->Write(b, BuildMirellCommandFrame(b, 0x10, kMirellScreen, 0x00));
    m_client->Write(b, BuildOskanChannelFrame(b, 0x0A, 0, true));
    m_client->Write(b, BuildOskanChannelFrame(b, 0x0A, 7, true));
    m_client->Write(b, BuildOskanChannelFrame(b, 0x0A, 0, false));
    // A wrong complement byte is ignored.
    m_client->Write({0xFA, 0x06, 0x0A, 0x00, 0x00, 0x00, 0xFC, 0x04, 0x00, 0x00});
    m_client->Write(b, BuildOskanFeedbackFrame(b, 0x0A, true));

    EXPECT_TRUE(WaitFor([](const auto& d) { return d[1].feedback; }));
    const auto devices = m_sim->Devices();
    const std::map<std::uint8_t, std::uint8_t> functions{
        {kMirellScreen, 0x00}, {kMirellLifter, 0x02}, {kMirellSequence, 0x00}};
    EXPECT_EQ(devices[0].mirellFunctions, functions);
    const std::array<bool, 8> channels{false, false, false, false, false, false, false, true};
    EXPECT_EQ(devices[1].channels, channels);

    m_client->Write(b, BuildOskanFeedbackFrame(b, 0x0A, false));
    EXPECT_TRUE(WaitFor([](const auto& d) { return !d[1].feedback; }));
    // Neither model answers its commands.
    EXPECT_TRUE(m_client->ReadFrames(100ms).empty());
}

TEST_F(SimulatorTest, GarbageAndTruncatedFramesDoNotBlockTheNextGoodFrame) {
    Begin({{SimModel::Tarvo, 1, kIdA}});
    // Noise, a doubled head, a source other than the PC, an oversized code count, and then a
    // good search in the same write.
    m_client->Write({0x00, 0x13, 0xFF, 0xFA, 0xFA, 0x09, 0x00, 0x07, 0xFE, 0xFA, 0x09, 0x01,
                     0x00, 0x27, 0x00, 0x41, 0x01, 0,    0,    0xFA, 0x09, 0x00, 0x00});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), Bytes{1});

    // A frame cut short is dropped once the line stays quiet; the next frame is read whole.
    m_client->Write({0xFA, 0x09, 0x01, 0x00, 0x26, 0x00});
    ASSERT_TRUE(WaitForTrace("FA 09 01 00 26 00  | ignored"));
    TxFrame::Bytes b = Frame(kTypeTarvo);
    m_client->Write(b, BuildKeyModeFrame(b, 1, false, 2000));
    auto reply = m_client->ReadFrame(500ms);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes[kPosCommand], kCmdKeyMode);
    EXPECT_EQ(m_sim->Device(0).tarvo.longPressMs, 2000);

    // A cut-short function-code frame: its codes never come.
    m_client->Write({0xFA, 0x09, 0x01, 0x00, 0x27, 0x00, 0x05, 0x01, 0x00, 0x00, 0x31});
    ASSERT_TRUE(WaitForTrace("31  | ignored"));
    m_client->Write({0xFA, 0x09, 0x00, 0x00});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), Bytes{1});
    EXPECT_TRUE(m_sim->Device(0).tarvo.pressCodes.empty());
    EXPECT_TRUE(m_sim->Running());
}

TEST_F(SimulatorTest, NewClientGetsNoStaleRepliesAndNoLeftoverExclusiveFlag) {
    Begin({{SimModel::Tarvo, 1, kIdA}, {SimModel::Tarvo, 2, kIdB}});
    ASSERT_EQ(::ioctl(m_client->Fd(), TIOCEXCL), 0);
    m_client->Write({0xFA, 0x09, 0x00, 0x00});
    ASSERT_TRUE(WaitForTrace("search TARVO"));
    m_client.reset();  // gone before the replies are due, exclusive flag left set
    ASSERT_TRUE(WaitForTrace("closed the port"));

    m_client = std::make_unique<SimClient>(m_sim->PortPath());
    int exclusive = -1;
    ASSERT_EQ(::ioctl(m_client->Fd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_TRUE(m_client->ReadFrames(150ms).empty());

    m_client->Write({0xFA, 0x09, 0x00, 0x00});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), (Bytes{1, 2}));
}

TEST_F(SimulatorTest, StopRemovesThePublishedPortAndDevicesCanBeAddedWhileRunning) {
    Begin({{SimModel::Oskan, 3, kIdE}});
    const std::size_t added = m_sim->AddDevice({SimModel::Oskan, 8, kIdA});
    EXPECT_EQ(added, 1u);
    m_client->Write({0xFA, 0x06, 0x00, 0x00});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), (Bytes{3, 8}));

    const std::string link = m_sim->PortPath();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    m_client.reset();
    m_sim->Stop();
    EXPECT_FALSE(m_sim->Running());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    m_sim->Stop();  // a second stop does nothing

    // Started again, the bus keeps its devices.
    m_sim->Start("sim-test");
    m_client = std::make_unique<SimClient>(m_sim->PortPath());
    m_client->Write({0xFA, 0x06, 0x00, 0x00});
    EXPECT_EQ(Sources(m_client->ReadFrames(300ms)), (Bytes{3, 8}));
}

}  // namespace
