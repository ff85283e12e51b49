// The session on a simulated bus: a real pseudo-terminal with simulated devices, the real
// engine, and the test's thread as the owner thread that hands the received bytes to the
// session, as the window's thread does.

#include "session/bus_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "bus/commands.h"
#include "bus/device_models.h"
#include "bus/frame.h"
#include "platform/plain_message_owner.h"
#include "platform/published_ports.h"
#include "sim/orval_simulator.h"

using namespace std::chrono_literals;

namespace {

constexpr SimIdentity kPanelA{0xA1, 0xB2, 0xE3, 0xD4};
constexpr SimIdentity kPanelB{0xA1, 0xB2, 0xE3, 0xD5};
constexpr SimIdentity kSequencer{0x4D, 0x00, 0x00, 0x01};
constexpr SimIdentity kPowerDevice{0x4F, 0x00, 0x00, 0x01};

// What the session shows, as the window would show it.
struct RecordingView : ISessionView {
    std::vector<std::string> statusLines;
    int scrolls = 0;
    std::vector<std::uint8_t> devices;
    std::vector<OrvalMirell> mirellRecords;
    std::vector<OrvalOskan> oskanRecords;
    std::vector<TarvoConfigBlock> configs;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint8_t> handedOut;

    void AddStatusLine(const char* utf8) override { statusLines.emplace_back(utf8); }
    void ScrollStatusToLastLine() override { ++scrolls; }
    void AddDeviceToList(std::uint8_t address) override { devices.push_back(address); }
    void SetMirellRecord(const OrvalMirell& r) override { mirellRecords.push_back(r); }
    void SetOskanRecord(const OrvalOskan& r) override { oskanRecords.push_back(r); }
    void LoadTarvoConfig(const TarvoConfigBlock& b) override { configs.push_back(b); }
    void OnFrame(const std::uint8_t* frame) override { frames.emplace_back(frame, frame + 10); }
    void OnAddressHandedOut(const std::uint8_t*, std::uint8_t address) override {
        handedOut.push_back(address);
    }
};

class BusSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* dir = std::getenv("RAVLIN_PORT_DIR"); dir == nullptr || *dir == '\0') {
            const std::string folder = "/tmp/ravlin-session-test-" + std::to_string(::getpid());
            ::setenv("RAVLIN_PORT_DIR", folder.c_str(), 1);
        }
    }
    void TearDown() override {
        if (session.IsOpen()) {
            session.Close();
        }
        if (sim) {
            sim->Stop();
        }
    }

    // Puts `devices` on a simulated bus and returns the port number the engine lists it under.
    unsigned StartBus(const std::vector<SimDeviceSpec>& devices) {
        sim = std::make_unique<OrvalSimulator>(devices);
        sim->SetTraceSink(nullptr);
        sim->Start("session-bus");
        session.Port().EnumeratePorts();
        const auto& ports = session.Port().Ports();
        const auto it = std::find_if(ports.begin(), ports.end(),
                                     [](const auto& entry) { return entry.name == "session-bus"; });
        return it == ports.end() ? 0 : it->number;
    }

    // Handles received bytes on this thread for `time`.
    void Handle(std::chrono::milliseconds time) {
        owner.PumpUntil([] { return false; }, time);
    }
    bool HandleUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3s) {
        return owner.PumpUntil(done, timeout);
    }

    RecordingView view;
    BusSession session{view};
    PlainMessageOwner owner{
        [this](const WindowMessage& m) {
            if (m.message == WM_SERIAL_RXBYTE) {
                session.HandleReceivedByte(static_cast<std::uint8_t>(m.wParam & 0xFF));
            }
        },
        PlainMessageOwner::Mode::CallingThread};
    std::unique_ptr<OrvalSimulator> sim;
};

TEST_F(BusSessionTest, OpeningAndClosingKeepTheOpenStateAndTheControls) {
    const unsigned port = StartBus({});
    ASSERT_NE(port, 0u);
    session.StartControls(true);
    session.SetCurrentTab(kTabTarvo);
    EXPECT_EQ(g_portClosed, 1);

    // A number that isn't listed doesn't open, and nothing changes.
    EXPECT_EQ(session.Open(&owner, session.Port().PortEntry(9999), {}),
              BusSession::OpenResult::Failed);
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(session.Controls(), StatesAtStart(true));

    ASSERT_EQ(session.Open(&owner, session.Port().PortEntry(port), {}),
              BusSession::OpenResult::Open);
    EXPECT_EQ(g_portClosed, 0);
    EXPECT_TRUE(session.MonitorStarted());
    EXPECT_TRUE(session.Controls().searchEnabled);
    EXPECT_TRUE(session.Controls().tarvoLedsEnabled);

    session.Close();
    EXPECT_EQ(g_portClosed, 1);
    EXPECT_FALSE(session.MonitorStarted());
    EXPECT_FALSE(session.Controls().searchEnabled);
    // Shutting down with the port closed closes nothing more.
    session.CloseForShutdown();
    EXPECT_FALSE(session.IsOpen());
}

TEST_F(BusSessionTest, SearchGoesToTheCurrentTabsTypeAndFillsItsRecords) {
    const unsigned port = StartBus({{SimModel::Tarvo, 3, kPanelA},
                                    {SimModel::Mirell, 7, kSequencer},
                                    {SimModel::Oskan, 9, kPowerDevice}});
    session.SetCurrentTab(kTabTarvo);
    ASSERT_EQ(session.Open(&owner, session.Port().PortEntry(port), {}),
              BusSession::OpenResult::Open);

    session.ChangeTab(kTabMirell);
    EXPECT_EQ(session.DeviceType(), kTypeMirell);
    EXPECT_EQ(session.Frame().Snapshot()[kPosType], kTypeMirell);
    session.SendSearch();
    ASSERT_TRUE(HandleUntil([&] { return !view.devices.empty(); }));
    Handle(100ms);
    EXPECT_EQ(view.devices, std::vector<std::uint8_t>{7});
    ASSERT_EQ(view.mirellRecords.size(), 1u);
    EXPECT_EQ(view.mirellRecords[0].addr, 7);
    EXPECT_EQ(view.mirellRecords[0].state, kSequencer);
    EXPECT_TRUE(view.oskanRecords.empty());
    // The found-device line shows twice: at the command byte and at the dispatch.
    EXPECT_EQ(std::count(view.statusLines.begin(), view.statusLines.end(), "当前状态->找到设备"),
              2);
    ASSERT_FALSE(view.frames.empty());
    EXPECT_EQ(view.frames.back()[kPosCommand], kCmdFound);

    view.devices.clear();
    session.ChangeTab(kTabOskan);
    session.SendSearch();
    ASSERT_TRUE(HandleUntil([&] { return !view.devices.empty(); }));
    ASSERT_EQ(view.oskanRecords.size(), 1u);
    EXPECT_EQ(view.oskanRecords[0].state, kPowerDevice);
}

TEST_F(BusSessionTest, AutomaticAssignmentHandsOutAddressesFromTheFirstOne) {
    const unsigned port = StartBus({{SimModel::Tarvo, 1, kPanelA}, {SimModel::Tarvo, 1, kPanelB}});
    session.SetCurrentTab(kTabTarvo);
    ASSERT_EQ(session.Open(&owner, session.Port().PortEntry(port), {}),
              BusSession::OpenResult::Open);

    session.StartAutoAssign(40);
    ASSERT_EQ(view.statusLines.size(), 1u);
    EXPECT_EQ(view.statusLines[0], "当前状态:设备自动分配地址模式");
    ASSERT_TRUE(HandleUntil([&] { return view.handedOut.size() == 2; }, 5s));
    EXPECT_EQ(view.handedOut, (std::vector<std::uint8_t>{40, 41}));
    EXPECT_EQ(session.NextAddress(), 42);
    ASSERT_TRUE(sim->WaitUntil(
        [](const std::vector<SimDeviceState>& d) {
            return d[0].address == 40 && d[1].address == 41;
        },
        3s));
}

TEST_F(BusSessionTest, AddressWriteNeedsTheSequencersStateAndRenamesTheDevice) {
    const unsigned port =
        StartBus({{SimModel::Mirell, 5, kSequencer}, {SimModel::Oskan, 6, kPowerDevice}});
    session.SetCurrentTab(kTabTarvo);
    ASSERT_EQ(session.Open(&owner, session.Port().PortEntry(port), {}),
              BusSession::OpenResult::Open);

    // On the TARVO tab there is no address write.
    EXPECT_FALSE(session.SendAddressWrite(5, 20, &kSequencer));
    session.ChangeTab(kTabMirell);
    // A sequencer is named by its state bytes: without them nothing goes out.
    EXPECT_FALSE(session.SendAddressWrite(5, 20, nullptr));
    ASSERT_TRUE(session.SendAddressWrite(5, 20, &kSequencer));
    Handle(std::chrono::milliseconds(kAddressWritePauseMs));
    session.SendSearch();
    ASSERT_TRUE(HandleUntil([&] { return !view.devices.empty(); }));
    EXPECT_EQ(view.devices.back(), 20);

    session.ChangeTab(kTabOskan);
    ASSERT_TRUE(session.SendAddressWrite(6, 21, nullptr));
    ASSERT_TRUE(sim->WaitUntil(
        [](const std::vector<SimDeviceState>& d) { return d[1].address == 21; }, 3s));
}

TEST_F(BusSessionTest, TheConfigurationReplyReachesTheViewOnlyOnTheTarvoTab) {
    const unsigned port = StartBus({{SimModel::Tarvo, 4, kPanelA}});
    session.SetCurrentTab(kTabTarvo);
    ASSERT_EQ(session.Open(&owner, session.Port().PortEntry(port), {}),
              BusSession::OpenResult::Open);

    session.SendReadConfig(4);
    ASSERT_TRUE(HandleUntil([&] { return !view.configs.empty(); }));
    const TarvoConfig config = DecodeTarvoConfig(view.configs[0]);
    EXPECT_EQ(config.baud, 9600);
    EXPECT_EQ(config.longPressMs, 800);

    // On another tab the reply is taken and dropped: the parser is ready for the next frame.
    session.ChangeTab(kTabMirell);
    session.SendReadConfig(4);
    Handle(500ms);
    EXPECT_EQ(view.configs.size(), 1u);
    EXPECT_EQ(session.Parser().State(), 1);
}

}  // namespace
