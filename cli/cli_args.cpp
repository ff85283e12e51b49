#include "cli/cli_args.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <regex>
#include <sstream>
#include <string_view>

#include "session/shown_text.h"

namespace {

// Options each subcommand takes besides --json and --help.
enum Option : unsigned {
    kPort = 1u << 0,
    kLine = 1u << 1,  // --baud --data --stop --parity
    kType = 1u << 2,
    kAddress = 1u << 3,
    kTo = 1u << 4,
    kFrom = 1u << 5,
    kWait = 1u << 6,
    kFile = 1u << 7,
    kIdentity = 1u << 8,
    kRates = 1u << 9,
    kTypes = 1u << 10,
    kSeconds = 1u << 11,
};

struct CommandInfo {
    CliCommand command;
    const char* name;
    unsigned options;
    unsigned required;
    const char* usage;
    const char* help;
    double defaultWait;
};

const CommandInfo kCommands[] = {
    {CliCommand::Ports, "ports", 0, 0, "orvalctl ports [--json]",
     "Lists the serial ports as the window does: name, number, device path and what a USB\n"
     "adapter says about itself. Ports published by orval-sim are listed too.\n",
     0},
    {CliCommand::Search, "search", kPort | kLine | kType | kWait, kPort | kType,
     "orvalctl search --port P --type tarvo|mirell|oskan [--wait S] [line options] [--json]",
     "Searches the bus for devices of one model and lists each answer: address and state\n"
     "bytes. Waits S seconds (default 1) for answers. Exit 1 when none answered.\n",
     1.0},
    {CliCommand::Assign, "assign", kPort | kLine | kType | kAddress | kTo | kWait | kIdentity,
     kPort | kType | kAddress | kTo,
     "orvalctl assign --port P --type mirell|oskan --address A --to N [--identity ID] [--wait S] "
     "[line options] [--json]",
     "Gives the device at address A the address N, as the window's address write does:\n"
     "searches, writes the address (a MIRELL device is named by its state bytes), pauses\n"
     "300 ms and searches again. Each search waits S seconds (default 1). When several\n"
     "devices answer at A, nothing is written unless --identity names the one to move by\n"
     "its four state bytes. Exit 1 when no device answered at A, or none answers at N\n"
     "afterwards.\n",
     1.0},
    {CliCommand::AutoAssign, "auto-assign", kPort | kLine | kType | kFrom | kWait,
     kPort | kType | kFrom,
     "orvalctl auto-assign --port P --type T --from N [--wait S] [line options] [--json]",
     "Starts the automatic address assignment: the devices ask for an address one after\n"
     "another and get N, N+1, ... (after 255 comes 1). Ends when no device has asked for S\n"
     "seconds (default 2). Exit 1 when no device asked.\n",
     2.0},
    {CliCommand::ReadConfig, "read-config", kPort | kLine | kAddress | kWait, kPort | kAddress,
     "orvalctl read-config --port P --address A [--wait S] [line options] [--json]",
     "Reads the key configuration of the TARVO panel at address A and prints it in the INI\n"
     "format that write-key-config takes. Waits S seconds (default 2) for the reply; exit 1\n"
     "without one.\n",
     2.0},
    {CliCommand::WriteKeyConfig, "write-key-config", kPort | kLine | kAddress | kFile | kWait,
     kPort | kAddress | kFile,
     "orvalctl write-key-config --port P --address A --file F [--wait S] [line options] "
     "[--json]",
     "Writes the key configuration in the INI file F to the TARVO panel at address A: key\n"
     "mode and long-press time, the first and the second code set, the device's serial\n"
     "format; four frames 100 ms apart, as the window's \"写入\". Then waits S seconds\n"
     "(default 2) for the panel's confirmations; exit 1 when one is missing. A bad file is\n"
     "exit 2 with the key and line at fault. The format is in orvalctl(1).\n",
     2.0},
    {CliCommand::Mirell, "mirell", kPort | kLine | kAddress, kPort | kAddress,
     "orvalctl mirell --port P --address A screen|lifter up|down|stop | projector|seq on|off "
     "[line options] [--json]",
     "Drives the MIRELL sequencer at address A as its page does. The device does not answer;\n"
     "exit 0 means the frame went out on the line.\n",
     0},
    {CliCommand::Oskan, "oskan", kPort | kLine | kAddress, kPort | kAddress,
     "orvalctl oskan --port P --address A channel K on|off | feedback on|off [line options] "
     "[--json]",
     "Switches channel K (1..8) or the feedback of the OSKAN device at address A, as its page\n"
     "does. The device does not answer; exit 0 means the frame went out on the line.\n",
     0},
    {CliCommand::FindBaud, "find-baud", kPort | kType | kRates, kPort | kType,
     "orvalctl find-baud --port P --type T [--rates LIST] [--json]",
     "The line doctor for a bus where nothing answers: searches for devices of the model at\n"
     "each rate of the line-settings table (or of LIST, such as 9600,19200), listening as\n"
     "long as their answers take at that rate, and prints per rate the valid frames and the\n"
     "bytes that formed none. Names the rate the devices answer at; exit 1 when none did.\n",
     0},
    // Commissioning projects (cli/project_commands.cpp): the plan of a bus in a TOML file.
    {CliCommand::ProjectCapture, "project capture", kPort | kLine | kTypes | kWait | kFile,
     kPort | kFile,
     "orvalctl project capture --port P [--types tarvo,mirell,oskan] [--wait S] --file F "
     "[line options] [--json]",
     "Searches the bus for every model (or those --types names), reads back every TARVO panel\n"
     "that answered alone at its address, and writes the project file F of what is there: the\n"
     "as-built record (written whole or not at all). Each search ends a moment after the last\n"
     "answer, or after S seconds (default 1) when nobody answers. Exit 1 when a clash was found\n"
     "or a panel did not answer its read-back.\n",
     1.0},
    {CliCommand::ProjectCheck, "project check", kPort | kFile | kWait, kPort | kFile,
     "orvalctl project check --port P --file F [--wait S] [--json]",
     "Holds the project F against the bus and gives each device one status: ok, missing,\n"
     "unexpected, clash, or differs (a TARVO whose read-back differs from the plan, with each\n"
     "field). Nothing is written. The port takes the line settings of the file's [bus]. Exit 0\n"
     "when every device is ok, 1 otherwise, 2 for a bad file (nothing is sent).\n",
     1.0},
    {CliCommand::ProjectApply, "project apply", kPort | kFile | kWait, kPort | kFile,
     "orvalctl project apply --port P --file F [--wait S] [--json]",
     "A check, then the planned key configuration written to every panel that differs, through\n"
     "the window's write sequence, and read back: ok when it took, failed with the field that\n"
     "did not. Nothing is written to a clash or to a device the plan lacks. Exit 0 when every\n"
     "device is ok.\n",
     1.0},
    {CliCommand::ProjectResolve, "project resolve", kPort | kFile | kWait, kPort | kFile,
     "orvalctl project resolve --port P --file F [--wait S] [--json]",
     "Mends clashes and replaced devices: devices that share an address and a device standing in\n"
     "for a missing one get planned addresses by identity (MIRELL and OSKAN by an address write\n"
     "that names the identity, TARVO by an automatic assignment whose answers the plan chooses);\n"
     "a TARVO taking a missing panel's place gets its key configuration. A search afterwards\n"
     "shows whether each device moved. Exit 0 when every device is ok.\n",
     2.0},
    {CliCommand::Identify, "identify", kPort | kLine | kAddress | kSeconds, kPort | kAddress,
     "orvalctl identify --port P --address A [--seconds S] [line options] [--json]",
     "Flashes LED1 of the TARVO panel at address A for S seconds (default 10) and switches it\n"
     "off again, so that it can be found on the wall. Ctrl-C switches it off at once. The panel\n"
     "does not answer; exit 0 means both frames went out.\n",
     0},
};

// The commands that `project` leads to, for its own help.
constexpr char kProjectPrefix[] = "project ";

constexpr char kToolUsage[] = "orvalctl COMMAND [options]; orvalctl --help";

// The help of `project`: its commands' usage lines.
std::string ProjectHelp();

const CommandInfo* FindCommand(std::string_view name) {
    for (const CommandInfo& c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

const CommandInfo& InfoOf(CliCommand command) {
    for (const CommandInfo& c : kCommands) {
        if (c.command == command) {
            return c;
        }
    }
    return kCommands[0];
}

// A subcommand's help: its usage line, what it does, then CLI11's list of its options.
class HelpFormatter : public CLI::Formatter {
public:
    explicit HelpFormatter(const CommandInfo& info) : m_info(info) {}
    std::string make_help(const CLI::App* app, std::string,
                          CLI::AppFormatMode mode) const override {
        return std::string("Usage: ") + m_info.usage + "\n\n" + m_info.help +
               make_groups(app, mode);
    }

private:
    const CommandInfo& m_info;
};

// Decimal digits only, at most nine of them: "0x10", "+5" and "1e3" are no numbers here.
std::optional<long> ParseInteger(const std::string& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    return std::strtol(text.c_str(), nullptr, 10);
}

std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double s = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(s) || s < 0.001 ||
        s > 3600) {
        return std::nullopt;
    }
    return s;
}

// "tarvo,oskan": each model once.
std::optional<std::vector<DeviceModel>> ParseTypes(const std::string& text) {
    std::vector<DeviceModel> models;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string word = text.substr(start, comma - start);
        const DeviceModelInfo* model = ModelByName(word);
        if (!model || std::find(models.begin(), models.end(), model->model) != models.end()) {
            return std::nullopt;
        }
        models.push_back(model->model);
        if (comma == std::string::npos) {
            return models;
        }
        start = comma + 1;
    }
}

std::optional<bool> ParseOnOff(std::string_view word) {
    if (word == "on" || word == "off") {
        return word == "on";
    }
    return std::nullopt;
}

// Why a value is refused; nothing when it was taken.
using Why = std::optional<std::string>;

Why Number(const std::string& v, long low, long high, const char* what, auto&& store) {
    const std::optional<long> n = ParseInteger(v);
    if (!n || *n < low || *n > high) {
        return Quoted(v) + " " + what;
    }
    store(*n);
    return std::nullopt;
}

// A word the platform reads (`taken`), stored; refused with `what` when it read nothing.
template <class T>
Why Spelled(const std::string& v, std::optional<T> taken, const char* what, T* out) {
    if (!taken) {
        return Quoted(v) + " " + what;
    }
    *out = *taken;
    return std::nullopt;
}

Why Address(const std::string& v, std::uint8_t* out) {
    return Number(v, 1, 255, "is no device address (1..255)",
                  [out](long n) { *out = static_cast<std::uint8_t>(n); });
}

Why Text(const std::string& v, const char* missing, std::string* out) {
    if (v.empty()) {
        return std::string(missing);
    }
    *out = v;
    return std::nullopt;
}

// Every option: the bit of the subcommands that take it, its name, value and help, and how
// its value is checked and stored.
struct OptionRule {
    unsigned bit;
    const char* name;
    const char* value;
    const char* help;
    Why (*take)(CliOptions&, const std::string&);
};

const OptionRule kOptions[] = {
    {kPort, "--port", "P", "a listed port name, number or device path",
     [](CliOptions& o, const std::string& v) {
         return Text(v, "needs a port name, number or device path", &o.port);
     }},
    {kLine, "--baud", "N", "line rate of the local port (default 9600)",
     [](CliOptions& o, const std::string& v) {
         return Number(v, 50, 4000000, "is no line rate (50..4000000)",
                       [&o](long n) { o.line.baud = static_cast<std::uint32_t>(n); });
     }},
    {kLine, "--data", "N", "data bits 5..8 (default 8)",
     [](CliOptions& o, const std::string& v) {
         return Number(v, 5, 8, "is not 5, 6, 7 or 8",
                       [&o](long n) { o.line.dataBits = static_cast<std::uint8_t>(n); });
     }},
    {kLine, "--stop", "1|1.5|2", "stop bits (default 1)",
     [](CliOptions& o, const std::string& v) {
         return Spelled(v, StopBitsFromWord(v), "is not 1, 1.5 or 2", &o.line.stopBits);
     }},
    {kLine, "--parity", "none|odd|even|mark|space", "parity (default none)",
     [](CliOptions& o, const std::string& v) {
         return Spelled(v, ParityFromWord(v), "is not none, odd, even, mark or space",
                        &o.line.parity);
     }},
    {kType, "--type", "T", "the model: tarvo, mirell or oskan",
     [](CliOptions& o, const std::string& v) -> Why {
         const DeviceModelInfo* model = ModelByName(v);
         if (model == nullptr) {
             return Quoted(v) + " is not " + ModelNameList();
         }
         o.model = model->model;
         return std::nullopt;
     }},
    {kAddress, "--address", "A", "the device's bus address, 1..255",
     [](CliOptions& o, const std::string& v) { return Address(v, &o.address); }},
    {kTo, "--to", "N", "the new address, 1..255",
     [](CliOptions& o, const std::string& v) { return Address(v, &o.to); }},
    {kFrom, "--from", "N", "the first address handed out, 1..255",
     [](CliOptions& o, const std::string& v) { return Address(v, &o.from); }},
    {kWait, "--wait", "S", "seconds to wait for answers",
     [](CliOptions& o, const std::string& v) -> Why {
         o.waitSeconds = ParseSeconds(v);
         if (!o.waitSeconds) {
             return Quoted(v) + " is no time in seconds (0.001 up to 3600)";
         }
         return std::nullopt;
     }},
    {kFile, "--file", "F", "the key configuration (INI) or the project (TOML); see orvalctl(1)",
     [](CliOptions& o, const std::string& v) { return Text(v, "needs a file name", &o.file); }},
    {kRates, "--rates", "LIST", "the rates to try, such as 9600,19200 (default: the table's)",
     [](CliOptions& o, const std::string& v) -> Why {
         std::size_t begin = 0;
         while (begin <= v.size()) {
             const std::size_t end = std::min(v.find(',', begin), v.size());
             const Why why =
                 Number(v.substr(begin, end - begin), 50, 4000000, "is no line rate (50..4000000)",
                        [&o](long n) { o.rates.push_back(static_cast<std::uint32_t>(n)); });
             if (why) {
                 return why;
             }
             begin = end + 1;
         }
         return std::nullopt;
     }},
    {kIdentity, "--identity", "ID", "the device to move, by its state bytes: \"4D B0 00 02\"",
     [](CliOptions& o, const std::string& v) -> Why {
         std::array<std::uint8_t, 4> id{};
         std::size_t n = 0;
         for (std::size_t i = 0; i < v.size();) {
             if (v[i] == ' ') {
                 ++i;
                 continue;
             }
             if (n == id.size() || i + 1 >= v.size() ||
                 !std::isxdigit(static_cast<unsigned char>(v[i])) ||
                 !std::isxdigit(static_cast<unsigned char>(v[i + 1]))) {
                 return Quoted(v) + " is not four bytes in hexadecimal, such as 4D B0 00 02";
             }
             id[n++] = static_cast<std::uint8_t>(std::stoul(v.substr(i, 2), nullptr, 16));
             i += 2;
         }
         if (n != id.size()) {
             return Quoted(v) + " is not four bytes in hexadecimal, such as 4D B0 00 02";
         }
         o.identity = id;
         return std::nullopt;
     }},
    {kTypes, "--types", "T,T", "the models to search: tarvo, mirell, oskan (default all)",
     [](CliOptions& o, const std::string& v) -> Why {
         const std::optional<std::vector<DeviceModel>> types = ParseTypes(v);
         if (!types) {
             return Quoted(v) + " is not a list of " + ModelNameList("and") +
                    ", each once, separated by commas";
         }
         o.types = *types;
         return std::nullopt;
     }},
    {kSeconds, "--seconds", "S", "how long the LED flashes (default 10)",
     [](CliOptions& o, const std::string& v) -> Why {
         o.seconds = ParseSeconds(v);
         if (!o.seconds) {
             return Quoted(v) + " is no time in seconds (0.001 up to 3600)";
         }
         return std::nullopt;
     }},
};

struct Parser {
    CliParse result;
    const CommandInfo* info = nullptr;
    std::vector<std::string> words;  // the positional words of mirell and oskan
    std::vector<std::pair<unsigned, CLI::Option*>> given;  // the subcommand's options

    bool Fail(std::string message) {
        result.outcome = CliParse::Outcome::Error;
        result.text = std::move(message);
        result.usage = info ? info->usage : kToolUsage;
        return false;
    }

    // Each option of the subcommand, checked and stored by its rule when CLI11 hands it over;
    // a refusal is told as "--name: why".
    void AddOptions(CLI::App* sub, const CommandInfo& c) {
        for (const OptionRule& rule : kOptions) {
            if (!(c.options & rule.bit)) {
                continue;
            }
            CliOptions& o = result.options;
            CLI::Option* option = sub->add_option_function<std::string>(
                rule.name,
                [&rule, &o](const std::string& value) {
                    if (const Why why = rule.take(o, value)) {
                        throw CLI::ValidationError(std::string(rule.name) + ": " + *why);
                    }
                },
                rule.help);
            option->type_name(rule.value);
            given.emplace_back(rule.bit, option);
        }
        if (c.command == CliCommand::Mirell || c.command == CliCommand::Oskan) {
            sub->add_option("words", words, "what to send")->type_name("WORDS");
        }
    }

    bool Given(unsigned bit) const {
        return std::any_of(given.begin(), given.end(), [bit](const auto& g) {
            return g.first == bit && g.second->count() > 0;
        });
    }

    bool Words() {
        CliOptions& o = result.options;
        if (info->command == CliCommand::Mirell) {
            if (words.size() != 2) {
                return Fail("mirell needs a function and an action, e.g. 'screen up'");
            }
            const std::optional<MirellCommand> c = FindMirellCommand(words[0], words[1]);
            if (!c) {
                return Fail("mirell: " + Quoted(words[0] + " " + words[1]) +
                            " is none of screen|lifter up|down|stop, projector|seq on|off");
            }
            o.mirell = *c;
            return true;
        }
        if (info->command == CliCommand::Oskan) {
            std::optional<bool> on;
            if (words.size() == 3 && words[0] == "channel") {
                const std::optional<long> k = ParseInteger(words[1]);
                if (!k || *k < 1 || *k > 8) {
                    return Fail("oskan: channel " + Quoted(words[1]) + " is not 1..8");
                }
                o.oskanChannel = static_cast<unsigned>(*k);
                on = ParseOnOff(words[2]);
            } else if (words.size() == 2 && words[0] == "feedback") {
                o.oskanChannel = 0;
                on = ParseOnOff(words[1]);
            } else {
                return Fail("oskan needs 'channel K on|off' or 'feedback on|off'");
            }
            if (!on) {
                return Fail("oskan: say 'on' or 'off'");
            }
            o.on = *on;
        }
        return true;
    }

    // CLI11's words for a mistake, in the tool's.
    std::string Explain(const CLI::ParseError& e) const {
        const std::string what = e.what();
        std::smatch m;
        if (std::regex_match(what, m,
                             std::regex(R"((\S+): At Most 1 required but received (\d+))"))) {
            return m[1].str() + " is given " + m[2].str() + " times; give it once";
        }
        if (std::regex_match(what, m,
                             std::regex(R"((\S+) was given a disallowed flag override)"))) {
            const std::string name = m[1].str();
            return (name.rfind("-", 0) == 0 ? name : "--" + name) + " takes no value";
        }
        if (std::regex_match(what, m, std::regex(R"((\S+): 1 required \S+ missing)"))) {
            return m[1].str() + " needs a value";
        }
        if (std::regex_match(
                what, m,
                std::regex(R"(The following arguments? (?:was|were) not expected: (.*))"))) {
            // CLI11 lists them last first: an option among them is what the user mistyped.
            std::istringstream in(m[1].str());
            std::string word, first, option;
            while (in >> word) {
                first = word;
                if (word.rfind("-", 0) == 0) {
                    option = word.substr(0, word.find('='));
                }
            }
            if (option.empty()) {
                return "unexpected argument " + Quoted(first);
            }
            for (const OptionRule& rule : kOptions) {
                if (option == rule.name && info) {
                    return option + " is not an option of " + info->name;
                }
            }
            return "unknown option " + Quoted(option);
        }
        return what;
    }

    bool Run(const std::vector<std::string>& args) {
        // The command is the first word that is no option; before it only --json and --help.
        // `project` is followed at once by the word of its command.
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg.size() > 1 && arg[0] == '-') {
                if (arg != "--json" && arg.rfind("--json=", 0) != 0 && arg != "--help" &&
                    arg != "-h") {
                    return Fail(arg.rfind("--", 0) == 0 && arg.find('=') == std::string::npos &&
                                        arg.size() > 2
                                    ? Shown(arg) + " is not an option of orvalctl without a command"
                                    : "unknown option " + Quoted(arg));
                }
                continue;
            }
            if (arg + " " == kProjectPrefix) {
                const std::string word = i + 1 < args.size() ? args[i + 1] : "";
                if (word == "--help" || word == "-h") {
                    result.outcome = CliParse::Outcome::Help;
                    result.text = ProjectHelp();
                    return true;
                }
                info = FindCommand(kProjectPrefix + word);
                if (!info) {
                    info = nullptr;
                    result.usage = "orvalctl project capture|check|apply|resolve [options]";
                    result.outcome = CliParse::Outcome::Error;
                    result.text = word.empty() ? "project needs capture, check, apply or resolve"
                                               : "unknown project command " + Quoted(word);
                    return false;
                }
                break;
            }
            info = FindCommand(arg);
            if (!info) {
                return Fail("unknown command " + Quoted(arg));
            }
            break;
        }

        CLI::App app("orvalctl");
        app.set_help_flag();
        bool help = false;
        app.add_flag("-h,--help", help)->disable_flag_override();
        app.add_flag("--json", result.options.json)->disable_flag_override();
        CLI::App* sub = nullptr;
        if (info) {
            // "project check": the command under its group.
            CLI::App* parent = &app;
            std::string name = info->name;
            if (name.rfind(kProjectPrefix, 0) == 0) {
                parent = app.add_subcommand("project", "commissioning projects");
                parent->set_help_flag();
                name = name.substr(std::string(kProjectPrefix).size());
            }
            sub = parent->add_subcommand(name, info->help);
            sub->set_help_flag();
            sub->formatter(std::make_shared<HelpFormatter>(*info));
            AddOptions(sub, *info);
            sub->add_flag("--json", result.options.json, "print one JSON document instead of text")
                ->disable_flag_override();
            sub->add_flag("-h,--help", help, "show this help")->disable_flag_override();
            result.options.command = info->command;
        }
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        try {
            app.parse(reversed);
        } catch (const CLI::ParseError& e) {
            return Fail(Explain(e));
        }
        if (!info) {
            if (help) {
                result.outcome = CliParse::Outcome::Help;
                result.text = ToolHelp();
                return true;
            }
            return Fail("no command given");
        }
        if (help) {
            result.outcome = CliParse::Outcome::Help;
            result.text = sub->help();
            return true;
        }
        if (!Words()) {
            return false;
        }
        for (const OptionRule& rule : kOptions) {
            if ((info->required & rule.bit) && !Given(rule.bit)) {
                return Fail(std::string(info->name) + " needs " + rule.name);
            }
        }
        if (info->command == CliCommand::Assign && result.options.model &&
            ModelInfo(*result.options.model).addressWrite == AddressWrite::None) {
            return Fail(std::string("assign: ") + ModelInfo(*result.options.model).title +
                        " panels get their address from auto-assign");
        }
        result.outcome = CliParse::Outcome::Run;
        return true;
    }
};

std::string ProjectHelp() {
    std::string text =
        "Usage: orvalctl project capture|check|apply|resolve [options]\n"
        "\n"
        "Commissioning projects: the plan of one bus in a TOML file (format in orvalctl(1)),\n"
        "captured from the bus, checked against it, applied to it, its clashes and replaced\n"
        "devices resolved.\n"
        "\n";
    for (const CommandInfo& c : kCommands) {
        if (std::string_view(c.name).rfind(kProjectPrefix, 0) == 0) {
            text += std::string("  ") + c.usage + "\n";
        }
    }
    return text + "\n'orvalctl project COMMAND --help' tells more about each.\n";
}

}  // namespace

double CliOptions::Wait() const {
    return waitSeconds ? *waitSeconds : InfoOf(command).defaultWait;
}

CliParse ParseCommandLine(const std::vector<std::string>& args) {
    Parser parser;
    parser.Run(args);
    return parser.result;
}

const char* CommandName(CliCommand command) {
    return InfoOf(command).name;
}

std::string ToolHelp() {
    std::string text =
        "Usage: orvalctl COMMAND [options]\n"
        "\n"
        "Commissions devices on the ORVAL bus from a script: lists ports, searches the bus,\n"
        "gives addresses, reads and writes TARVO key configurations, drives MIRELL and OSKAN\n"
        "devices. Frames are those the Ravlin window sends for the same action.\n"
        "\n"
        "Commands:\n";
    for (const CommandInfo& c : kCommands) {
        text += "  ";
        text += c.usage;
        text += "\n";
    }
    text +=
        "\n"
        "--port takes the name that 'orvalctl ports' lists, the port's number or a device\n"
        "path. 'orvalctl COMMAND --help' tells more about each command.\n"
        "\n"
        "Exit status: 0 done; 1 the bus did not answer as asked; 2 bad arguments or file;\n"
        "3 the port cannot be opened.\n";
    return text;
}
