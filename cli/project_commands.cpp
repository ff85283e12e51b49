#include "cli/project_commands.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

#include "bus/line_settings.h"
#include "cli/commands.h"
#include "cli/project_bus.h"
#include "platform/text_file.h"
#include "platform/text_file_write.h"
#include "project/identify_run.h"
#include "project/project_file.h"
#include "project/resolve_run.h"
#include "project/survey_run.h"

namespace {

using std::chrono::milliseconds;

CommandResult Failed(int status, std::string line, CommandOutput output = {}) {
    return {status, std::move(output), {std::move(line)}};
}

milliseconds Milliseconds(double seconds) {
    return milliseconds(static_cast<long>(seconds * 1000.0 + 0.5));
}

// The plan's line as the engine takes it.
LineSettings EngineLine(const ProjectLine& line) {
    LineSettings s;
    s.baudRate = line.baud;
    s.byteSize = kDataBits[std::min<std::size_t>(line.dataBitsIndex, kDataBits.size() - 1)];
    s.stopBits = static_cast<StopBits>(line.stopBitsIndex);
    s.parity = static_cast<Parity>(line.parityIndex);
    return s;
}

// The command line's line settings as a plan records them; nothing when the window's port
// panel does not list them (a file the reader would refuse).
std::optional<ProjectLine> PlanLine(const LineSettings& s) {
    ProjectLine line;
    line.baud = s.baudRate;
    const auto data = std::find(kDataBits.begin(), kDataBits.end(), s.byteSize);
    if (std::find(kBaudRates.begin(), kBaudRates.end(), s.baudRate) == kBaudRates.end() ||
        data == kDataBits.end()) {
        return std::nullopt;
    }
    line.dataBitsIndex = static_cast<unsigned>(data - kDataBits.begin());
    line.stopBitsIndex = static_cast<unsigned>(s.stopBits);
    line.parityIndex = static_cast<unsigned>(s.parity);
    return line;
}

// Ctrl-C and SIGTERM while a run is on: it stops between two frames (identify switches the LED
// off) and reports what it did.
std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int) {
    g_stop = true;
}

class StopSignals {
public:
    StopSignals() {
        g_stop = false;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_int);
        sigaction(SIGTERM, &action, &m_term);
    }
    ~StopSignals() {
        sigaction(SIGINT, &m_int, nullptr);
        sigaction(SIGTERM, &m_term, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction m_int {};
    struct sigaction m_term {};
};

std::optional<ProjectPlan> ReadPlan(const CliOptions& o, CommandResult* failed) {
    const TextFileRead file = ReadTextFile(o.file);
    if (!file.text) {
        *failed = Failed(kExitUsage, "cannot read " + o.file + ": " + file.error);
        return std::nullopt;
    }
    ProjectFileError error;
    std::optional<ProjectPlan> plan = ParseProject(*file.text, &error);
    if (!plan) {
        *failed = Failed(kExitUsage, DescribeProjectError(o.file, error));
    }
    return plan;
}

// The comment at the head of a captured file: what it is, and what the file could not hold.
std::vector<std::string> CaptureComment(const ProjectReport& report, const ProjectPlan& plan) {
    std::vector<std::string> lines = {
        "Ravlin commissioning project: the plan of one bus, as captured from it by",
        "'orvalctl project capture'. Give each device a label; check it with",
        "'orvalctl project check'."};
    for (const DeviceReport& d : report.devices) {
        const std::string where =
            std::string(ModelInfo(d.model).name) + " " + std::to_string(d.address) + ": ";
        if (d.status == DeviceStatus::Clash) {
            std::string ids;
            for (const DeviceIdentity& id : d.identities) {
                ids += (ids.empty() ? "" : ", ") + FormatIdentity(id);
            }
            lines.push_back(where + std::to_string(d.identities.size()) +
                            " devices answered at this address (" + ids +
                            "); the entry holds none of them");
        } else if (d.status == DeviceStatus::Failed) {
            lines.push_back(where + d.note + "; the entry holds no key configuration");
        }
    }
    for (const PlannedDevice& d : plan.devices) {
        if (!d.keyConfig) {
            continue;
        }
        const DeviceSerialFormat& s = d.keyConfig->serial;
        if (std::find(kBaudRates.begin(), kBaudRates.end(), s.baud) == kBaudRates.end() ||
            DataBitsWord(s.dataBitsIndex).empty() || StopBitsWord(s.stopBitsIndex).empty() ||
            ParityWord(s.parityIndex).empty()) {
            lines.push_back(std::string(ModelInfo(d.model).name) + " " + std::to_string(d.address) +
                            ": its serial format is not in the page's lists; reading this file "
                            "refuses it until it is changed");
        }
    }
    return lines;
}

std::string NotOk(const ProjectReport& report) {
    const auto s = report.Summary();
    const std::size_t ok = s[static_cast<std::size_t>(DeviceStatus::Ok)];
    return std::to_string(report.devices.size() - ok) + " of " +
           std::to_string(report.devices.size()) + " devices are not ok";
}

CommandResult RunIdentify(const CliOptions& o) {
    const ProjectLine line = PlanLine(o.line).value_or(ProjectLine{});
    CommandResult failed;
    const std::unique_ptr<BusClient> client = OpenBus(o, DeviceModel::Tarvo, &failed);
    if (!client) {
        return failed;
    }
    IdentifyResult r;
    r.address = o.address;
    r.seconds = o.seconds.value_or(10.0);
    const std::size_t before = client->WrittenCount();
    ToolProjectBus bus(*client);
    IdentifyRun run(bus, RunTiming::For(line, milliseconds(0)), o.address, Milliseconds(r.seconds));
    const auto start = std::chrono::steady_clock::now();
    {
        StopSignals signals;
        bus.Drive(run, &g_stop);
    }
    r.flashedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t written = client->WrittenCount() - before;
    client->Close();
    r.flashed = written >= 1;
    r.switchedOff = written >= 2;
    r.stopped = run.Report().interrupted == "stopped";
    if (!bus.PortFailure().empty()) {
        return Failed(kExitPortLost, "the port failed: " + bus.PortFailure(), r);
    }
    if (!r.switchedOff) {
        return Failed(kExitNoAnswer,
                      r.flashed ? "the frame that switches LED1 off did not go out"
                                : "the LED frame did not go out",
                      r);
    }
    return {kExitOk, r, {}};
}

}  // namespace

CommandResult RunProjectCommand(const CliOptions& o) {
    if (o.command == CliCommand::Identify) {
        return RunIdentify(o);
    }

    // Everything is checked before the port is touched: the file to read, or where a capture
    // is to go and the line it records.
    ProjectRunResult r;
    ProjectPlan plan;
    CommandResult failed;
    CliOptions opened = o;
    if (o.command == CliCommand::ProjectCapture) {
        r.kind = ProjectRunResult::Kind::Capture;
        if (const std::string why = WhyNotWritable(o.file); !why.empty()) {
            return Failed(kExitUsage, "cannot write " + o.file + ": " + why);
        }
        const std::optional<ProjectLine> line = PlanLine(o.line);
        if (!line) {
            return Failed(kExitUsage,
                          "a project records the bus with a rate and data bits of the window's "
                          "port panel; this line is not among them");
        }
        plan.line = *line;
    } else {
        std::optional<ProjectPlan> read = ReadPlan(o, &failed);
        if (!read) {
            return failed;
        }
        plan = std::move(*read);
        opened.line = EngineLine(plan.line);
        r.kind = o.command == CliCommand::ProjectCheck   ? ProjectRunResult::Kind::Check
                 : o.command == CliCommand::ProjectApply ? ProjectRunResult::Kind::Apply
                                                         : ProjectRunResult::Kind::Resolve;
    }

    const std::unique_ptr<BusClient> client = OpenBus(opened, DeviceModel::Tarvo, &failed);
    if (!client) {
        return failed;
    }
    const RunTiming timing = RunTiming::For(plan.line, Milliseconds(o.Wait()));
    ToolProjectBus bus(*client);
    std::unique_ptr<ProjectRun> run;
    SurveyRun* survey = nullptr;
    switch (r.kind) {
        case ProjectRunResult::Kind::Capture: {
            auto capture =
                std::make_unique<SurveyRun>(bus, timing, plan, SurveyRun::Mode::Capture, o.types);
            survey = capture.get();
            run = std::move(capture);
            break;
        }
        case ProjectRunResult::Kind::Check:
            run = std::make_unique<SurveyRun>(bus, timing, plan, SurveyRun::Mode::Check);
            break;
        case ProjectRunResult::Kind::Apply:
            run = std::make_unique<SurveyRun>(bus, timing, plan, SurveyRun::Mode::Apply);
            break;
        case ProjectRunResult::Kind::Resolve:
            run = std::make_unique<ResolveRun>(bus, timing, plan);
            break;
    }
    {
        StopSignals signals;
        bus.Drive(*run, &g_stop);
    }
    r.report = run->Report();
    const ProjectPlan captured = survey ? survey->Captured() : ProjectPlan{};
    survey = nullptr;
    run.reset();  // before the bus it used: a resolve gives the session its counter back
    client->Close();

    if (!bus.PortFailure().empty()) {
        return Failed(kExitPortLost,
                      "the port failed: " + bus.PortFailure() +
                          (r.kind == ProjectRunResult::Kind::Capture ? "; nothing written" : ""),
                      r);
    }
    if (!r.report.interrupted.empty()) {
        return Failed(kExitNoAnswer,
                      r.report.interrupted +
                          (r.kind == ProjectRunResult::Kind::Capture ? "; nothing written" : ""),
                      r);
    }
    if (r.kind == ProjectRunResult::Kind::Capture) {
        std::string why;
        if (!WriteTextFileWhole(o.file, FormatProject(captured, CaptureComment(r.report, captured)),
                                &why)) {
            return Failed(kExitNoAnswer, "cannot write " + o.file + ": " + why, r);
        }
        r.file = o.file;
    }
    if (!r.report.AllOk()) {
        return Failed(kExitNoAnswer, NotOk(r.report), r);
    }
    return {kExitOk, r, {}};
}
