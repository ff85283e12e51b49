// The project runs against simulated devices in virtual time: what each status means on a real
// bus, what is written and to whom, that waits end when the answer is there, and that a stop or
// a failed port ends a run with a report that says so.

#include <gtest/gtest.h>

#include <algorithm>

#include "bus/commands.h"
#include "bus/frame.h"
#include "played_bus.h"
#include "project/identify_run.h"
#include "project/project_file.h"
#include "project/resolve_run.h"
#include "project/survey_run.h"
#include "tests/bus/hex.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr SimIdentity kA{0x54, 0xA0, 0x00, 0x01};
constexpr SimIdentity kB{0x54, 0xA0, 0x00, 0x02};
constexpr SimIdentity kC{0x54, 0xA0, 0x00, 0x03};
constexpr SimIdentity kNew{0x54, 0xA0, 0x00, 0x99};
constexpr SimIdentity kM1{0x4D, 0xB0, 0x00, 0x01};
constexpr SimIdentity kM2{0x4D, 0xB0, 0x00, 0x02};
constexpr SimIdentity kO1{0x4F, 0xC0, 0x00, 0x01};

RunTiming Timing() {
    return RunTiming::For(ProjectLine{}, seconds(1));
}

// A panel as it leaves the factory, as a plan holds it.
PlannedKeyConfig Factory() {
    return PlannedKeyConfig{};
}

PlannedDevice Panel(std::uint8_t address, std::optional<PlannedKeyConfig> config = Factory()) {
    PlannedDevice d;
    d.model = DeviceModel::Tarvo;
    d.address = address;
    d.label = "panel " + std::to_string(address);
    d.keyConfig = std::move(config);
    return d;
}

PlannedDevice Device(DeviceModel model, std::uint8_t address,
                     std::optional<DeviceIdentity> identity = std::nullopt) {
    PlannedDevice d;
    d.model = model;
    d.address = address;
    d.identity = identity;
    return d;
}

ProjectPlan Plan(std::vector<PlannedDevice> devices) {
    ProjectPlan plan;
    plan.devices = std::move(devices);
    return plan;
}

const DeviceReport& Entry(const ProjectReport& r, DeviceModel model, std::uint8_t address) {
    for (const DeviceReport& d : r.devices) {
        if (d.model == model && d.address == address) {
            return d;
        }
    }
    ADD_FAILURE() << "no entry for " << ModelInfo(model).name << " " << int(address);
    static const DeviceReport none;
    return none;
}

std::string Fields(const DeviceReport& d) {
    std::string text;
    for (const FieldDifference& f : d.differences) {
        text += f.field + ":" + f.planned.Show() + "->" + f.found.Show() + " ";
    }
    return text;
}

// Sets a panel's long-press time as another program would have.
void SetLongPress(PlayedBus& bus, std::uint8_t address, unsigned ms) {
    bus.Inject({0xFA, 0x09, address, 0x00, 0x26, 0x00, 0x01, static_cast<std::uint8_t>(ms & 0xFF),
                static_cast<std::uint8_t>(ms >> 8), 0x00});
}

std::vector<SimDeviceSpec> SmallBus() {
    return {{SimModel::Tarvo, 1, kA},
            {SimModel::Tarvo, 2, kB},
            {SimModel::Mirell, 2, kM1},
            {SimModel::Oskan, 4, kO1}};
}

ProjectPlan SmallPlan() {
    return Plan(
        {Panel(1), Panel(2), Device(DeviceModel::Mirell, 2), Device(DeviceModel::Oskan, 4)});
}

TEST(SurveyRun, ACleanBusChecksOkAndEveryWaitEndsWithItsAnswer) {
    PlayedBus bus(SmallBus());
    SurveyRun run(bus, Timing(), SmallPlan(), SurveyRun::Mode::Check);
    bus.Play(run);
    ASSERT_TRUE(run.Done());
    EXPECT_TRUE(run.Report().AllOk());
    EXPECT_EQ(run.Report().devices.size(), 4u);
    EXPECT_EQ(run.Report().Summary()[static_cast<int>(DeviceStatus::Ok)], 4u);
    EXPECT_EQ(bus.SentWith(kCmdReadConfig, 1), 1u);
    EXPECT_EQ(bus.SentWith(kCmdReadConfig, 2), 1u);
    // Checking writes nothing.
    EXPECT_EQ(bus.SentWith(kCmdKeyMode, 1) + bus.SentWith(kCmdKeyMode, 2), 0u);
    // Three searches with answers and two read-backs: each ends a short quiet time after its
    // last answer or with its reply, far sooner than three waits of a second.
    EXPECT_LT(bus.Now() - bus.Start(), milliseconds(1000));
    EXPECT_EQ(run.Progress().done, run.Progress().total);
    EXPECT_EQ(Entry(run.Report(), DeviceModel::Tarvo, 1).label, "panel 1");
    EXPECT_EQ(Entry(run.Report(), DeviceModel::Tarvo, 1).identities,
              std::vector<DeviceIdentity>{kA});
}

TEST(SurveyRun, EachDeviceHasOneStatusAndAClashIsNeverReadBack) {
    std::vector<SimDeviceSpec> devices = SmallBus();
    devices.push_back({SimModel::Tarvo, 5, kC});
    devices.push_back({SimModel::Tarvo, 5, kNew});
    devices.push_back({SimModel::Mirell, 9, kM2});
    devices.erase(devices.begin() + 2);  // the planned MIRELL at 2 is gone
    PlayedBus bus(devices);
    SetLongPress(bus, 2, 1200);
    bus.Inject(Hex("FA 09 02 00 27 00 02 01 00 00 01 02"));

    ProjectPlan plan = SmallPlan();
    plan.devices.push_back(Panel(5));
    SurveyRun run(bus, Timing(), plan, SurveyRun::Mode::Check);
    bus.Play(run);
    const ProjectReport& r = run.Report();

    EXPECT_EQ(Entry(r, DeviceModel::Tarvo, 1).status, DeviceStatus::Ok);
    const DeviceReport& changed = Entry(r, DeviceModel::Tarvo, 2);
    EXPECT_EQ(changed.status, DeviceStatus::Differs);
    EXPECT_EQ(Fields(changed), "long_press_ms:800->1200 press_codes:->01 02 ");
    EXPECT_EQ(changed.differences[0].planned.number, 800);
    const DeviceReport& clash = Entry(r, DeviceModel::Tarvo, 5);
    EXPECT_EQ(clash.status, DeviceStatus::Clash);
    EXPECT_EQ(clash.identities, (std::vector<DeviceIdentity>{kC, kNew}));
    EXPECT_EQ(bus.SentWith(kCmdReadConfig, 5), 0u);
    EXPECT_EQ(Entry(r, DeviceModel::Mirell, 2).status, DeviceStatus::Missing);
    const DeviceReport& extra = Entry(r, DeviceModel::Mirell, 9);
    EXPECT_EQ(extra.status, DeviceStatus::Unexpected);
    EXPECT_FALSE(extra.planned);
    const auto summary = r.Summary();
    EXPECT_EQ(summary, (std::array<std::size_t, kDeviceStatusCount>{2, 1, 1, 1, 1, 0}));
}

TEST(SurveyRun, ApplyWritesOnlyThePanelsThatDifferAndVerifiesThem) {
    std::vector<SimDeviceSpec> devices = SmallBus();
    devices.push_back({SimModel::Tarvo, 5, kC});
    devices.push_back({SimModel::Tarvo, 5, kNew});
    devices.push_back({SimModel::Tarvo, 9, {0x54, 0, 0, 9}});
    PlayedBus bus(devices);
    SetLongPress(bus, 2, 1200);
    SetLongPress(bus, 5, 1200);
    SetLongPress(bus, 9, 1200);
    ProjectPlan plan = SmallPlan();
    plan.devices.push_back(Panel(5));
    plan.devices[1].keyConfig->pressText = "01 02 0A";
    plan.devices[1].keyConfig->pressCodes = {1, 2, 10};

    SurveyRun apply(bus, Timing(), plan, SurveyRun::Mode::Apply);
    bus.Play(apply);
    const DeviceReport& written = Entry(apply.Report(), DeviceModel::Tarvo, 2);
    EXPECT_EQ(written.status, DeviceStatus::Ok) << written.note << Fields(written);
    EXPECT_EQ(written.note, "written and verified");
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kB)->tarvo.longPressMs, 800);
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kB)->tarvo.pressCodes,
              (std::vector<std::uint8_t>{1, 2, 10}));
    // The one write sequence, once, to that panel alone: nothing to the clash, nothing to the
    // panel the plan lacks, nothing to the panel that was as planned.
    EXPECT_EQ(bus.SentWith(kCmdKeyMode, 2), 1u);
    EXPECT_EQ(bus.SentWith(kCmdFunctionCodes, 2), 2u);
    for (std::uint8_t other : {1, 5, 9}) {
        EXPECT_EQ(bus.SentWith(kCmdKeyMode, other) + bus.SentWith(kCmdFunctionCodes, other), 0u);
    }
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kC)->tarvo.longPressMs, 1200);
    EXPECT_EQ(bus.SentWith(kCmdReadConfig, 2), 2u);  // read, then read back after the write
    EXPECT_EQ(Entry(apply.Report(), DeviceModel::Tarvo, 5).status, DeviceStatus::Clash);
    EXPECT_EQ(Entry(apply.Report(), DeviceModel::Tarvo, 9).status, DeviceStatus::Unexpected);

    // A second apply finds nothing to write.
    const std::size_t before = bus.Sent().size();
    SurveyRun again(bus, Timing(), plan, SurveyRun::Mode::Apply);
    bus.Play(again);
    EXPECT_EQ(Entry(again.Report(), DeviceModel::Tarvo, 2).status, DeviceStatus::Ok);
    const auto writes = std::count_if(
        bus.Sent().begin() + static_cast<long>(before), bus.Sent().end(), [](const std::string& s) {
            const auto f = Hex(s);
            return f.size() >= 10 &&
                   (f[4] == kCmdKeyMode || f[4] == kCmdFunctionCodes || f[4] == kCmdSerialFormat);
        });
    EXPECT_EQ(writes, 0);
}

TEST(SurveyRun, AFieldThatDidNotTakeIsReportedAsFailed) {
    PlayedBus bus(SmallBus());
    // The panel ignores its serial format frame.
    bus.drop = [](const std::vector<std::uint8_t>& f) {
        return f.size() == 10 && f[kPosCommand] == kCmdSerialFormat;
    };
    ProjectPlan plan = SmallPlan();
    plan.devices[1].keyConfig->serial.baud = 19200;
    plan.devices[1].keyConfig->longPressMs = 900;
    SurveyRun apply(bus, Timing(), plan, SurveyRun::Mode::Apply);
    bus.Play(apply);
    const DeviceReport& d = Entry(apply.Report(), DeviceModel::Tarvo, 2);
    EXPECT_EQ(d.status, DeviceStatus::Failed);
    EXPECT_EQ(Fields(d), "baud:19200->9600 ");
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kB)->tarvo.longPressMs, 900);
    EXPECT_FALSE(apply.Report().AllOk());
}

TEST(SurveyRun, APanelThatDoesNotAnswerItsReadBackIsAskedTwiceThenFailed) {
    PlayedBus bus(SmallBus());
    bus.drop = [](const std::vector<std::uint8_t>& f) {
        return f.size() == 10 && f[kPosCommand] == kCmdReadConfig && f[kPosDestination] == 2;
    };
    SurveyRun run(bus, Timing(), SmallPlan(), SurveyRun::Mode::Check);
    bus.Play(run);
    const DeviceReport& d = Entry(run.Report(), DeviceModel::Tarvo, 2);
    EXPECT_EQ(d.status, DeviceStatus::Failed);
    EXPECT_EQ(d.note, "no configuration reply");
    EXPECT_EQ(bus.SentWith(kCmdReadConfig, 2), 2u);
}

TEST(SurveyRun, StopEndsAWriteBetweenTwoFrames) {
    PlayedBus bus(SmallBus());
    SetLongPress(bus, 2, 1200);
    SurveyRun apply(bus, Timing(), SmallPlan(), SurveyRun::Mode::Apply);
    bus.Play(apply, seconds(600), [&](PlayedBus::Time now) {
        if (bus.SentWith(kCmdKeyMode, 2) == 1) {
            apply.Stop(now);
        }
    });
    ASSERT_TRUE(apply.Done());
    EXPECT_EQ(apply.Report().interrupted, "stopped");
    EXPECT_EQ(bus.SentWith(kCmdFunctionCodes, 2), 0u);
    EXPECT_EQ(bus.SentWith(kCmdReadConfig, 2), 1u);  // no read-back after the stop
    const DeviceReport& d = Entry(apply.Report(), DeviceModel::Tarvo, 2);
    EXPECT_EQ(d.status, DeviceStatus::Failed);
    EXPECT_EQ(d.note, "1 of 4 frames written, not read back");
    EXPECT_FALSE(apply.Report().AllOk());
}

TEST(SurveyRun, AFailedPortEndsTheRunAndLeavesTheRestUnchecked) {
    PlayedBus bus(SmallBus());
    SurveyRun run(bus, Timing(), SmallPlan(), SurveyRun::Mode::Check);
    bus.Play(run, seconds(600), [&](PlayedBus::Time now) {
        if (bus.Sent().size() == 2) {  // the TARVO and MIRELL searches went out
            run.OnPortFailure("Input/output error", now);
        }
    });
    ASSERT_TRUE(run.Done());
    EXPECT_EQ(run.Report().interrupted, "the port failed: Input/output error");
    // The search cut short proves nothing: its devices were not checked either.
    for (DeviceModel m : {DeviceModel::Mirell, DeviceModel::Oskan}) {
        const DeviceReport& d = Entry(run.Report(), m, m == DeviceModel::Mirell ? 2 : 4);
        EXPECT_EQ(d.status, DeviceStatus::Failed);
        EXPECT_EQ(d.note, "not checked");
    }
    EXPECT_EQ(bus.Sent().size(), 2u);
}

TEST(SurveyRun, ACaptureIsAPlanThatChecksOk) {
    std::vector<SimDeviceSpec> devices = SmallBus();
    devices.push_back({SimModel::Oskan, 6, {0x4F, 0, 0, 6}});
    PlayedBus bus(devices);
    SetLongPress(bus, 2, 2500);
    SurveyRun capture(bus, Timing(), ProjectPlan{}, SurveyRun::Mode::Capture);
    bus.Play(capture);
    EXPECT_TRUE(capture.Report().AllOk());
    const ProjectPlan& built = capture.Captured();
    ASSERT_EQ(built.devices.size(), 5u);
    const PlannedDevice* panel = built.Find(DeviceModel::Tarvo, 2);
    ASSERT_TRUE(panel && panel->keyConfig);
    EXPECT_EQ(panel->keyConfig->longPressMs, 2500);
    EXPECT_EQ(panel->identity, kB);

    // Through the file and back, and held against the same bus: everything ok.
    ProjectFileError error;
    const std::optional<ProjectPlan> read = ParseProject(FormatProject(built), &error);
    ASSERT_TRUE(read) << error.message;
    SurveyRun check(bus, Timing(), *read, SurveyRun::Mode::Check);
    bus.Play(check);
    EXPECT_TRUE(check.Report().AllOk());
}

TEST(SurveyRun, ACaptureOfOneModelSearchesOnlyThat) {
    PlayedBus bus(SmallBus());
    SurveyRun capture(bus, Timing(), ProjectPlan{}, SurveyRun::Mode::Capture,
                      {DeviceModel::Mirell});
    bus.Play(capture);
    EXPECT_EQ(bus.Sent(), std::vector<std::string>{"FA 08 00 00"});
    ASSERT_EQ(capture.Captured().devices.size(), 1u);
    EXPECT_EQ(capture.Captured().devices[0].model, DeviceModel::Mirell);
}

TEST(ResolveRun, TwoPanelsOnOneAddressGetThePlannedAddresses) {
    PlayedBus bus({{SimModel::Tarvo, 1, kA}, {SimModel::Tarvo, 1, kB}, {SimModel::Tarvo, 4, kC}});
    PlannedKeyConfig second = Factory();
    second.longPressMs = 1500;
    ResolveRun run(bus, Timing(), Plan({Panel(1), Panel(2, second), Panel(4)}));
    bus.Play(run);
    ASSERT_TRUE(run.Done());
    EXPECT_TRUE(run.Report().AllOk());
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kA)->address, 1);
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kB)->address, 2);
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kC)->address, 4);  // asked, and kept its address
    const DeviceReport& moved = Entry(run.Report(), DeviceModel::Tarvo, 2);
    EXPECT_EQ(moved.identities, std::vector<DeviceIdentity>{kB});
    EXPECT_EQ(moved.note, "moved from 1; configuration written and verified");
    // It took the place of a missing panel, so it has that panel's configuration.
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kB)->tarvo.longPressMs, 1500);
    EXPECT_FALSE(bus.AssignmentOn()) << "the counter answers again once the run is over";
}

TEST(ResolveRun, APanelThatDidNotTakeItsAddressIsNamedInTheReport) {
    PlayedBus bus({{SimModel::Tarvo, 1, kA}, {SimModel::Tarvo, 1, kB}});
    // The answer meant for B never reaches it; it gives up and keeps address 1.
    bus.drop = [](const std::vector<std::uint8_t>& f) {
        return f.size() == 10 && f[kPosCommand] == kCmdAddressAssign && f[9] == kB[3];
    };
    ResolveRun run(bus, Timing(), Plan({Panel(1), Panel(2)}));
    bus.Play(run);
    EXPECT_FALSE(run.Report().AllOk());
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kB)->address, 1);
    const DeviceReport& target = Entry(run.Report(), DeviceModel::Tarvo, 2);
    EXPECT_EQ(target.status, DeviceStatus::Failed);
    EXPECT_EQ(target.note, "tarvo 54 A0 00 02 did not move from 1 to 2");
    EXPECT_EQ(Entry(run.Report(), DeviceModel::Tarvo, 1).status, DeviceStatus::Clash);
    EXPECT_EQ(bus.SentWith(kCmdKeyMode, 2), 0u) << "nothing is configured that did not move";
}

TEST(ResolveRun, AReplacedPanelGetsThePlannedAddressAndConfiguration) {
    PlayedBus bus({{SimModel::Tarvo, 1, kA}, {SimModel::Tarvo, 9, kNew}});
    PlannedKeyConfig planned = Factory();
    planned.shortLong = false;
    planned.releaseText = "41 42";
    planned.releaseCodes = {0x41, 0x42};
    PlannedDevice gone = Panel(2, planned);
    gone.identity = kB;  // the panel that broke
    ResolveRun run(bus, Timing(), Plan({Panel(1), gone}));
    bus.Play(run);
    EXPECT_TRUE(run.Report().AllOk());
    const SimDeviceState* fresh = bus.Device(DeviceModel::Tarvo, kNew);
    EXPECT_EQ(fresh->address, 2);
    EXPECT_EQ(fresh->tarvo.keyMode, 0);
    EXPECT_EQ(fresh->tarvo.releaseCodes, (std::vector<std::uint8_t>{0x41, 0x42}));
    EXPECT_EQ(Entry(run.Report(), DeviceModel::Tarvo, 2).note,
              "moved from 9, replacing the planned device; configuration written and verified");
    EXPECT_EQ(bus.Device(DeviceModel::Tarvo, kA)->tarvo.keyMode, 1) << "the other is left alone";
}

TEST(ResolveRun, AMirellClashIsMendedByAnAddressWriteNamingTheIdentity) {
    PlayedBus bus({{SimModel::Mirell, 2, kM1}, {SimModel::Mirell, 2, kM2}});
    // The plan knows which one belongs at 2.
    ResolveRun run(bus, Timing(),
                   Plan({Device(DeviceModel::Mirell, 2, kM2), Device(DeviceModel::Mirell, 3)}));
    bus.Play(run);
    EXPECT_TRUE(run.Report().AllOk());
    EXPECT_EQ(bus.Device(DeviceModel::Mirell, kM1)->address, 3);
    EXPECT_EQ(bus.Device(DeviceModel::Mirell, kM2)->address, 2);
    EXPECT_NE(std::find(bus.Sent().begin(), bus.Sent().end(), "FA 08 02 00 22 03 4D B0 00 01"),
              bus.Sent().end());
    // The search afterwards is what counts.
    EXPECT_EQ(std::count(bus.Sent().begin(), bus.Sent().end(), "FA 08 00 00"), 2);
}

TEST(ResolveRun, DevicesThatCannotBeToldApartAreReportedAsNotMoved) {
    // Real devices may report the same four bytes: the address write then moves both, and only
    // the search afterwards shows it.
    PlayedBus bus({{SimModel::Oskan, 2, kO1}, {SimModel::Oskan, 2, kO1}});
    ResolveRun run(bus, Timing(),
                   Plan({Device(DeviceModel::Oskan, 2), Device(DeviceModel::Oskan, 3)}));
    bus.Play(run);
    EXPECT_FALSE(run.Report().AllOk());
    const DeviceReport& target = Entry(run.Report(), DeviceModel::Oskan, 3);
    EXPECT_EQ(target.status, DeviceStatus::Clash);
    EXPECT_NE(target.note.find("did not move from 2 to 3"), std::string::npos) << target.note;
}

TEST(ResolveRun, NothingToMendSendsNothingButTheSearches) {
    PlayedBus bus(SmallBus());
    ResolveRun run(bus, Timing(), SmallPlan());
    bus.Play(run);
    EXPECT_TRUE(run.Report().AllOk());
    EXPECT_EQ(bus.Sent(), (std::vector<std::string>{"FA 09 00 00", "FA 08 00 00", "FA 06 00 00"}));
}

TEST(IdentifyRun, TheLedFlashesAtOnceAndGoesOffAfterItsTime) {
    PlayedBus bus({{SimModel::Tarvo, 3, kA}});
    IdentifyRun run(bus, Timing(), 3, seconds(10));
    LedState midway = LedState::Off;
    bus.Play(
        run, seconds(600),
        [&](PlayedBus::Time now) {
            if (now - bus.Start() <= seconds(5)) {
                midway = bus.Devices()[0].led1;
            }
        },
        seconds(1));
    EXPECT_EQ(bus.Sent().front(), "FA 09 03 00 03 00 02 00 00 00");
    EXPECT_EQ(bus.Sent().back(), "FA 09 03 00 03 00 00 00 00 00");
    EXPECT_EQ(midway, LedState::Flash);
    EXPECT_EQ(bus.Devices()[0].led1, LedState::Off);
    EXPECT_GE(bus.Now() - bus.Start(), seconds(10));
    EXPECT_LT(bus.Now() - bus.Start(), milliseconds(10100));
    EXPECT_EQ(run.FramesSent(), 2);
}

TEST(IdentifyRun, StopSwitchesTheLedOffAtOnce) {
    PlayedBus bus({{SimModel::Tarvo, 3, kA}});
    IdentifyRun run(bus, Timing(), 3, seconds(10));
    bus.Play(
        run, seconds(600),
        [&](PlayedBus::Time now) {
            if (now - bus.Start() >= seconds(2)) {
                run.Stop(now);
            }
        },
        milliseconds(100));
    EXPECT_EQ(run.FramesSent(), 2);
    EXPECT_EQ(bus.Devices()[0].led1, LedState::Off);
    EXPECT_LT(bus.Now() - bus.Start(), milliseconds(2200));
}

}  // namespace
