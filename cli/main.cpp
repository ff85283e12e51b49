// orvalctl: commissioning ORVAL bus devices from the command line (see orvalctl(1)).

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/commands.h"
#include "platform/message_box.h"

int main(int argc, char** argv) {
    // The engine's failure reports are message boxes in the window. The tool hears the same
    // failures through the engine's tap and tells them in its own words (cli/bus_client.h), so
    // the boxes themselves are not shown; any other box is a line on standard error.
    SetMessageBoxHandler([](const std::string& text, const std::string& caption, unsigned) {
        if (caption == "Application Error") {
            return;
        }
        std::string line = text;
        for (char& c : line) {
            if (c == '\n') {
                c = ' ';
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        std::fprintf(stderr, "orvalctl: %s: %s\n", caption.c_str(), line.c_str());
    });

    const std::vector<std::string> args(argv + 1, argv + argc);
    const CliParse parse = ParseCommandLine(args);
    switch (parse.outcome) {
        case CliParse::Outcome::Help:
            std::fputs(parse.text.c_str(), stdout);
            return kExitOk;
        case CliParse::Outcome::Error:
            std::fprintf(stderr, "orvalctl: %s\nUsage: %s\n", parse.text.c_str(),
                         parse.usage.c_str());
            return kExitUsage;
        case CliParse::Outcome::Run:
            break;
    }
    return RunCommand(parse.options);
}
