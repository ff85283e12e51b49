#include "cli/project_commands.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "bus/line_settings.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/project_bus.h"
#include "platform/text_file.h"
#include "platform/text_file_write.h"
#include "project/identify_run.h"
#include "project/project_file.h"
#include "project/resolve_run.h"
#include "project/survey_run.h"
#include "session/shown_text.h"

namespace {

using std::chrono::milliseconds;

milliseconds Milliseconds(double seconds) {
    return milliseconds(static_cast<long>(seconds * 1000.0 + 0.5));
}

// The plan's line as the engine takes it.
LineSettings EngineLine(const ProjectLine& line) {
    LineSettings s;
    s.baud = line.baud;
    s.dataBits = kDataBits[std::min<std::size_t>(line.dataBitsIndex, kDataBits.size() - 1)];
    s.stopBits = static_cast<StopBits>(line.stopBitsIndex);
    s.parity = static_cast<Parity>(line.parityIndex);
    return s;
}

// The command line's line settings as a plan records them; nothing when the window's port
// panel does not list them (a file the reader would refuse).
std::optional<ProjectLine> PlanLine(const LineSettings& s) {
    ProjectLine line;
    line.baud = s.baud;
    const auto data = std::find(kDataBits.begin(), kDataBits.end(), s.dataBits);
    if (std::find(kBaudRates.begin(), kBaudRates.end(), s.baud) == kBaudRates.end() ||
        data == kDataBits.end()) {
        return std::nullopt;
    }
    line.dataBitsIndex = static_cast<unsigned>(data - kDataBits.begin());
    line.stopBitsIndex = static_cast<unsigned>(s.stopBits);
    line.parityIndex = static_cast<unsigned>(s.parity);
    return line;
}

std::optional<ProjectPlan> ReadPlan(const CliOptions& o, CommandResult* failed) {
    const TextFileRead file = ReadTextFile(o.file);
    if (!file.text) {
        *failed = Failed(kExitUsage, "cannot read " + Shown(o.file) + ": " + file.error);
        return std::nullopt;
    }
    ProjectFileError error;
    std::optional<ProjectPlan> plan = ParseProject(*file.text, &error);
    if (!plan) {
        *failed = Failed(kExitUsage, DescribeProjectError(Shown(o.file), error));
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
    bus.Drive(run);
    r.flashedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t written = client->WrittenCount() - before;
    client->Close();
    r.flashed = written >= 1;
    r.switchedOff = written >= 2;
    r.stopped = run.Report().interrupted == "stopped";
    CommandResult result{kExitOk, r, {}};
    if (!r.switchedOff) {
        result = Failed(kExitNoAnswer,
                        r.flashed ? "the frame that switches LED1 off did not go out"
                                  : "the LED frame did not go out",
                        r);
    }
    // A failed port is exit 4, a signal 128 + its number (the LED is off all the same).
    return Finish(*client, result);
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
            return Failed(kExitUsage, "cannot write " + Shown(o.file) + ": " + why);
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
    bus.Drive(*run);
    r.report = run->Report();
    const ProjectPlan captured = survey ? survey->Captured() : ProjectPlan{};
    survey = nullptr;
    run.reset();  // before the bus it used: a resolve gives the session its counter back
    client->Close();

    if (!r.report.interrupted.empty()) {
        // A failed port is exit 4, a signal 128 + its number; the report shows how far it got.
        CommandResult result{kExitNoAnswer, r, {}};
        if (r.kind == ProjectRunResult::Kind::Capture) {
            result.errors.push_back("nothing written");
        }
        return Finish(*client, result);
    }
    if (r.kind == ProjectRunResult::Kind::Capture) {
        std::string why;
        if (!WriteTextFileWhole(o.file, FormatProject(captured, CaptureComment(r.report, captured)),
                                &why)) {
            return Finish(*client,
                          Failed(kExitNoAnswer, "cannot write " + Shown(o.file) + ": " + why, r));
        }
        r.file = o.file;
    }
    if (!r.report.AllOk()) {
        return Finish(*client, Failed(kExitNoAnswer, NotOk(r.report), r));
    }
    return Finish(*client, {kExitOk, r, {}});
}
