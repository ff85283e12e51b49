#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "bus/commands.h"
#include "bus/frame.h"
#include "bus/frame_decode.h"
#include "bus/line_settings.h"
#include "cli/bus_client.h"
#include "cli/command_support.h"
#include "cli/interrupt.h"
#include "cli/key_config_file.h"
#include "cli/line_doctor.h"
#include "cli/output.h"
#include "cli/port_choice.h"
#include "cli/project_commands.h"
#include "platform/text_file.h"
#include "session/key_config_words.h"
#include "session/shown_text.h"

namespace {

using std::chrono::milliseconds;
using Identity = std::array<std::uint8_t, 4>;

milliseconds WaitOf(const CliOptions& o) {
    return milliseconds(static_cast<long>(o.Wait() * 1000.0 + 0.5));
}

std::string Seconds(const CliOptions& o) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", o.Wait());
    return text;
}

const char* NameOf(const CliOptions& o) {
    return o.model ? ModelInfo(*o.model).name : "unknown";
}

std::string Hex(const Identity& id) {
    return FormatHex(id.data(), id.size());
}

std::string Times(std::size_t n) {
    return n == 2 ? "twice" : std::to_string(n) + " times";
}

// Searches for the current model and collects the answers: the wait after the search, or until
// the port fails or the user interrupts.
std::vector<FoundDevice> Search(BusClient& bus, const CliOptions& o) {
    bus.ClearFound();
    bus.SendAndWait([&] { bus.Session().SendSearch(); });
    bus.Pump(WaitOf(o));
    return bus.Found();
}

// The answers of the model asked for, by address; every other answer is told as what it is.
std::map<std::uint8_t, std::vector<Identity>> ByAddress(const std::vector<FoundDevice>& found,
                                                        const CliOptions& o,
                                                        std::vector<std::string>* errors) {
    std::map<std::uint8_t, std::vector<Identity>> answers;
    for (const FoundDevice& d : found) {
        if (d.type != ModelInfo(*o.model).typeCode) {
            const DeviceModelInfo* other = ModelByTypeCode(d.type);
            errors->push_back("address " + std::to_string(d.address) + " answered as " +
                              (other ? std::string("a ") + other->name
                                     : "device type " + std::to_string(d.type)) +
                              ", not a " + NameOf(o));
            continue;
        }
        answers[d.address].push_back(d.state);
    }
    return answers;
}

// "address 5 answered twice: 54 A0 00 01, 54 A0 00 02" for every address with several answers.
void TellShared(const std::map<std::uint8_t, std::vector<Identity>>& answers,
                std::vector<std::string>* errors) {
    for (const auto& [address, ids] : answers) {
        if (ids.size() > 1) {
            std::string list;
            for (const Identity& id : ids) {
                list += (list.empty() ? "" : ", ") + Hex(id);
            }
            errors->push_back("address " + std::to_string(address) + " answered " +
                              Times(ids.size()) + ": " + list);
        }
    }
}

CommandResult RunPorts(const CliOptions&) {
    PortsResult r;
    if (!ListPortsLikeTheWindow(&r.ports)) {
        return Failed(kExitNoAnswer,
                      "cannot read the system's serial ports; only published ports "
                      "are listed",
                      r);
    }
    return {kExitOk, r, {}};
}

CommandResult RunSearch(const CliOptions& o) {
    CommandResult result;
    const auto bus = OpenBus(o, *o.model, &result);
    if (!bus) {
        return result;
    }
    SearchResult r{Search(*bus, o)};
    bus->Close();
    result = {kExitOk, r, {}};
    const auto answers = ByAddress(r.devices, o, &result.errors);
    TellShared(answers, &result.errors);
    if (answers.empty()) {
        result.errors.push_back(std::string("no ") + NameOf(o) + " device answered within " +
                                Seconds(o));
    }
    if (!result.errors.empty()) {
        result.status = kExitNoAnswer;
    }
    return Finish(*bus, result);
}

CommandResult RunAssign(const CliOptions& o) {
    CommandResult result;
    const auto bus = OpenBus(o, *o.model, &result);
    if (!bus) {
        return result;
    }
    AssignResult r;
    r.model = &ModelInfo(*o.model);
    r.device = o.address;
    r.to = o.to;
    std::vector<std::string> errors;
    const auto before = ByAddress(Search(*bus, o), o, &errors);
    const auto at = before.find(o.address);
    // The device is named by the state bytes of its search answer. Several answers at the
    // address: only a device named with --identity is moved, by its identity.
    std::optional<Identity> named;
    if (at == before.end() || bus->Stopped()) {
        errors.push_back(std::string("no ") + NameOf(o) + " device answered at address " +
                         std::to_string(o.address) + " within " + Seconds(o));
    } else if (o.identity) {
        if (std::find(at->second.begin(), at->second.end(), *o.identity) == at->second.end()) {
            errors.push_back("no device at address " + std::to_string(o.address) +
                             " has the identity " + Hex(*o.identity));
        } else {
            named = o.identity;
        }
    } else if (at->second.size() > 1) {
        TellShared({*at}, &errors);
        errors.push_back("nothing was written: name the device to move with --identity");
    }
    if (!errors.empty()) {
        bus->Close();
        return Finish(*bus, {kExitNoAnswer, r, errors});
    }
    bus->SendAndWait([&] {
        if (named) {
            bus->Session().SendAddressWriteNaming(o.address, o.to, *named);
        } else {
            const Identity state = at->second.front();
            const bool byState = r.model->addressWrite == AddressWrite::ByState;
            bus->Session().SendAddressWrite(o.address, o.to, byState ? &state : nullptr);
        }
    });
    // The pause handles received bytes, then the search shows where the devices are now.
    bus->Pump(milliseconds(kAddressWritePauseMs));
    r.written = true;
    r.after = bus->Stopped() ? std::vector<FoundDevice>{} : Search(*bus, o);
    bus->Close();
    const auto after = ByAddress(r.after, o, &errors);
    r.answered = after.count(o.to) > 0;
    if (r.answered) {
        TellShared({*after.find(o.to)}, &errors);
    } else {
        errors.push_back("no device answered at address " + std::to_string(o.to) + " within " +
                         Seconds(o));
    }
    return Finish(*bus, {errors.empty() ? kExitOk : kExitNoAnswer, r, errors});
}

CommandResult RunAutoAssign(const CliOptions& o) {
    CommandResult result;
    const auto bus = OpenBus(o, *o.model, &result);
    if (!bus) {
        return result;
    }
    // The counter from --from, once round every address (after 255 comes 1; 0 is the PC's):
    // an address is never handed out twice, so the devices that ask after the last one are
    // left unanswered and counted.
    std::uint8_t next = o.from;
    std::size_t given = 0;
    bus->Session().SetAddressChooser([&](const std::uint8_t*) -> std::optional<std::uint8_t> {
        if (given == 255) {
            return std::nullopt;
        }
        ++given;
        const std::uint8_t address = next;
        next = address == 0xFF ? 1 : static_cast<std::uint8_t>(address + 1);
        return address;
    });
    const auto start = BusClient::Clock::now();
    bus->SendAndWait([&] { bus->Session().StartAutoAssign(o.from); });
    // The devices ask one after another; the assignment is over when the bus has been quiet
    // for the wait.
    const milliseconds quiet = WaitOf(o);
    while (!bus->Stopped()) {
        const auto last = std::max(start, bus->LastFrameTime());
        const auto now = BusClient::Clock::now();
        if (now - last >= quiet) {
            break;
        }
        bus->Pump(std::min(
            milliseconds(50),
            std::chrono::duration_cast<milliseconds>(quiet - (now - last)) + milliseconds(1)));
    }
    AutoAssignResult r{bus->HandedOut(), next};
    const std::size_t unanswered = bus->UnansweredRequests();
    bus->Close();
    std::vector<std::string> errors;
    if (r.assigned.empty() && unanswered == 0) {
        errors.push_back(std::string("no ") + NameOf(o) + " device asked for an address within " +
                         Seconds(o));
    } else if (unanswered > 0) {
        errors.push_back("ran out of addresses: all 255 were handed out and devices asked " +
                         std::to_string(unanswered) +
                         " times more; those devices keep the address they had");
    } else if (!std::all_of(r.assigned.begin(), r.assigned.end(),
                            [](const HandedOutAddress& h) { return h.confirmed; })) {
        errors.push_back("not every device confirmed its address");
    }
    return Finish(*bus, {errors.empty() ? kExitOk : kExitNoAnswer, r, errors});
}

// What of a read-back configuration lies outside the page's lists, in words; empty when all is
// inside. The block's own counts are looked at before the decoder cuts them to 64.
std::string OutOfTables(const TarvoConfigBlock& block, const TarvoConfig& c) {
    std::vector<std::string> odd;
    if (!BaudListed(c.baud)) {
        odd.push_back("baud " + std::to_string(c.baud));
    }
    if (DataBitsWord(c.dataBitsIndex).empty()) {
        odd.push_back("data-bits index " + std::to_string(c.dataBitsIndex));
    }
    if (StopBitsWord(c.stopBitsIndex).empty()) {
        odd.push_back("stop-bits index " + std::to_string(c.stopBitsIndex));
    }
    if (ParityWord(c.parityIndex).empty()) {
        odd.push_back("parity index " + std::to_string(c.parityIndex));
    }
    if (CheckLongPressMs(c.longPressMs)) {
        odd.push_back("long-press time " + std::to_string(c.longPressMs) + " ms");
    }
    for (const auto& [offset, name] : {std::pair{tarvo_block::kPressCount, "first set"},
                                       std::pair{tarvo_block::kReleaseCount, "second set"}}) {
        if (block.bytes[offset] > kMaxFunctionCodes) {
            odd.push_back(std::string(name) + " of " + std::to_string(block.bytes[offset]) +
                          " codes");
        }
    }
    std::string text;
    for (const std::string& s : odd) {
        text += (text.empty() ? "" : ", ") + s;
    }
    return text;
}

CommandResult RunReadConfig(const CliOptions& o) {
    CommandResult result;
    const auto bus = OpenBus(o, DeviceModel::Tarvo, &result);
    if (!bus) {
        return result;
    }
    ReadConfigResult r{o.address, std::nullopt};
    const auto fromDevice = [&] {
        return std::count_if(bus->ConfigReplies().begin(), bus->ConfigReplies().end(),
                             [&](const ConfigReply& c) { return c.source == o.address; });
    };
    const auto start = BusClient::Clock::now();
    bus->SendAndWait([&] { bus->Session().SendReadConfig(o.address); });
    if (bus->PumpUntil([&] { return fromDevice() > 0; }, WaitOf(o))) {
        // A second device at the address answers right behind the first: listen as long as a
        // whole reply takes twice, within the wait.
        const auto reply = std::max(
            milliseconds(150),
            std::chrono::duration_cast<milliseconds>(2 * kLongReplyLength * bus->CharacterTime()));
        const auto left =
            WaitOf(o) - std::chrono::duration_cast<milliseconds>(BusClient::Clock::now() - start);
        bus->PumpUntil([&] { return fromDevice() > 1; },
                       std::max(milliseconds(0), std::min(reply, left)));
    }
    const auto replies = bus->ConfigReplies();
    bus->Close();
    std::vector<std::string> errors;
    const auto first = std::find_if(replies.begin(), replies.end(),
                                    [&](const ConfigReply& c) { return c.source == o.address; });
    const auto cutAfter = std::max(
        milliseconds(20), std::chrono::duration_cast<milliseconds>(10 * bus->CharacterTime()));
    if (first == replies.end()) {
        errors.push_back("no configuration reply from address " + std::to_string(o.address) +
                         " within " + Seconds(o));
    } else if (fromDevice() > 1) {
        errors.push_back("address " + std::to_string(o.address) + " answered " +
                         Times(static_cast<std::size_t>(fromDevice())) +
                         ": more than one panel has it, so no reply is taken");
    } else if (first->longestSilence > cutAfter) {
        errors.push_back("the reply from address " + std::to_string(o.address) +
                         " was cut (a silence of " + std::to_string(first->longestSilence.count()) +
                         " ms inside it), so it is not taken");
    } else {
        r.config = DecodeTarvoConfig(first->block);
        const std::string odd = OutOfTables(first->block, *r.config);
        if (!odd.empty()) {
            errors.push_back("the configuration of address " + std::to_string(o.address) +
                             " holds values the page does not offer: " + odd);
        }
    }
    return Finish(*bus, {errors.empty() ? kExitOk : kExitNoAnswer, r, errors});
}

// The frames of the key-configuration sequence through the tool's bus: each one written on the
// line before the pause after it begins, and received bytes handled meanwhile. A failed port or
// an interruption ends the sequence between two frames.
class ToolLink : public IKeyConfigLink {
public:
    ToolLink(BusClient& bus, KeyConfigConfirmations& confirmations)
        : m_bus(bus), m_confirmations(confirmations) {}
    bool Send(const Build& build) override {
        if (m_bus.Stopped()) {
            return false;
        }
        const KeyConfigStep step = kKeyConfigSteps[m_sent++];
        const bool written = m_bus.SendAndWait([&] {
            m_bus.Session().BuildAndSend([&](TxFrame::Bytes& bytes) {
                const unsigned n = build(bytes);
                m_confirmations.Sent(step, bytes.data());
                return n;
            });
        });
        m_written += written ? 1 : 0;
        return true;  // handed over; a frame not written in time is counted, not waited for
    }
    bool Pause(std::chrono::milliseconds gap) override {
        m_bus.Pump(gap);
        return !m_bus.Stopped();
    }
    std::size_t Written() const { return m_written; }

private:
    BusClient& m_bus;
    KeyConfigConfirmations& m_confirmations;
    std::size_t m_sent = 0;
    std::size_t m_written = 0;
};

CommandResult RunWriteKeyConfig(const CliOptions& o) {
    const TextFileRead file = ReadTextFile(o.file);
    if (!file.text) {
        return Failed(kExitUsage, "cannot read " + Shown(o.file) + ": " + file.error);
    }
    KeyConfigError fault;
    const std::optional<KeyConfigSettings> settings = ParseKeyConfig(*file.text, &fault);
    if (!settings) {
        std::string where = Shown(o.file);
        if (fault.line > 0) {
            where += ":" + std::to_string(fault.line);
        }
        if (!fault.key.empty()) {
            where += ": " + Shown(fault.key);
        }
        return Failed(kExitUsage, where + ": " + fault.message);
    }

    CommandResult result;
    const auto bus = OpenBus(o, DeviceModel::Tarvo, &result);
    if (!bus) {
        return result;
    }
    const std::size_t framesBefore = bus->Frames().size();
    const KeyConfigFields fields = settings->Fields();
    FixedKeyConfigSource source(o.address, fields);
    KeyConfigConfirmations got(o.address);
    ToolLink link(*bus, got);
    const KeyConfigWriteResult sent = WriteKeyConfig(fields, source, link);

    // The panel confirms each frame with a frame of the same command from its address; a
    // second panel at the address confirms right behind the first.
    std::size_t seen = framesBefore;
    const auto take = [&] {
        for (; seen < bus->Frames().size(); ++seen) {
            got.OnFrame(bus->Frames()[seen].data());
        }
        return got.All();
    };
    if (sent.Complete() && bus->PumpUntil(take, WaitOf(o))) {
        bus->Pump(milliseconds(150));
    }
    take();
    bus->Close();

    WriteKeyConfigResult r{o.address, link.Written(), {}};
    std::vector<std::string> errors;
    std::string missing;
    for (std::size_t i = 0; i < kKeyConfigSteps.size(); ++i) {
        const KeyConfigStep step = kKeyConfigSteps[i];
        r.confirmed[i] = got.StateOf(step);
        if (r.confirmed[i] == KeyConfigConfirmations::State::OtherValues) {
            const auto said = got.Said(step), expected = got.Expected(step);
            errors.push_back(std::string(StepName(step)) + ": the panel confirmed " +
                             FormatHex(said.data(), said.size()) + " where " +
                             FormatHex(expected.data(), expected.size()) + " was written");
        } else if (r.confirmed[i] == KeyConfigConfirmations::State::Twice) {
            missing = "address " + std::to_string(o.address) +
                      " answered twice: more than one panel has it";
        }
    }
    if (!missing.empty()) {
        errors.push_back(missing);
    }
    if (!sent.Complete()) {
        std::string went;
        for (const KeyConfigStep step : sent.sent) {
            went += (went.empty() ? "" : ", ") + std::string(StepName(step));
        }
        errors.push_back(std::to_string(sent.sent.size()) + " of 4 frames went out" +
                         (went.empty() ? "" : " (" + went + ")") +
                         "; the panel may now hold a mix of old and new settings");
    } else if (errors.empty() && (r.written < kKeyConfigSteps.size() || !got.All())) {
        errors.push_back("TARVO " + std::to_string(o.address) +
                         " did not confirm every frame within " + Seconds(o));
    }
    return Finish(*bus, {errors.empty() ? kExitOk : kExitNoAnswer, r, errors});
}

// MIRELL and OSKAN commands: one frame, no answer. Done when the frame went out.
CommandResult RunDeviceCommand(const CliOptions& o) {
    const bool mirell = o.command == CliCommand::Mirell;
    const DeviceModel model = mirell ? DeviceModel::Mirell : DeviceModel::Oskan;
    CommandResult result;
    const auto bus = OpenBus(o, model, &result);
    if (!bus) {
        return result;
    }
    DeviceCommandResult r;
    r.model = &ModelInfo(model);
    r.address = o.address;
    r.sent = bus->SendAndWait([&] {
        bus->Session().BuildAndSend([&](TxFrame::Bytes& b) {
            if (mirell) {
                return BuildMirellCommandFrame(b, o.address, o.mirell.function, o.mirell.value);
            }
            if (o.oskanChannel == 0) {
                return BuildOskanFeedbackFrame(b, o.address, o.on);
            }
            return BuildOskanChannelFrame(b, o.address, o.oskanChannel - 1, o.on);
        });
    });
    const std::vector<std::vector<std::uint8_t>> frames = bus->WrittenFrames();
    bus->Close();
    if (r.sent && !frames.empty()) {
        r.frame = FormatHex(frames.back().data(), frames.back().size());
    }
    if (!r.sent) {
        return Finish(*bus, Failed(kExitNoAnswer,
                                   std::string("the frame to ") + r.model->title + " " +
                                       std::to_string(o.address) + " did not go out",
                                   r));
    }
    return Finish(*bus, {kExitOk, r, {}});
}

CommandResult Run(const CliOptions& options) {
    switch (options.command) {
        case CliCommand::Ports:
            return RunPorts(options);
        case CliCommand::Search:
            return RunSearch(options);
        case CliCommand::Assign:
            return RunAssign(options);
        case CliCommand::AutoAssign:
            return RunAutoAssign(options);
        case CliCommand::ReadConfig:
            return RunReadConfig(options);
        case CliCommand::WriteKeyConfig:
            return RunWriteKeyConfig(options);
        case CliCommand::Mirell:
        case CliCommand::Oskan:
            return RunDeviceCommand(options);
        case CliCommand::FindBaud:
            return RunFindBaud(options);
        case CliCommand::ProjectCapture:
        case CliCommand::ProjectCheck:
        case CliCommand::ProjectApply:
        case CliCommand::ProjectResolve:
        case CliCommand::Identify:
            return RunProjectCommand(options);
    }
    return {kExitUsage, {}, {}};
}

}  // namespace

int RunCommand(const CliOptions& options) {
    InstallInterruptHandlers();
    const CommandResult result = Run(options);
    PrintResult(result, options.json);
    return result.status;
}
