// tavrilo-cli: headless work on recordings. Each subcommand prints one JSON document on
// stdout; errors go to stderr as one line with exit status 1.

#include <cstdio>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "recordings/names.h"

namespace {

using nlohmann::ordered_json;
using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* synopsis;
    std::function<int(const Args&)> run;
};

int Names(const Args& args) {
    ordered_json out = ordered_json::array();
    for (const std::string& path : args) {
        const std::string name(tavrilo::LastPathComponent(path));
        out.push_back({{"name", name},
                       {"is_recording_name", tavrilo::IsRecordingName(name)},
                       {"event_kind", tavrilo::GetEventKind(name)},
                       {"event_label", tavrilo::GetEventLabel(name)},
                       {"parking", tavrilo::ParkingFlag(name)}});
    }
    std::puts(out.dump(2).c_str());
    return 0;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"names", "names FILE...            classify file names by the recorder's naming rules",
         Names},
    };
    return commands;
}

void PrintHelp(FILE* to) {
    std::fputs("usage: tavrilo-cli COMMAND [ARGS]\n\ncommands:\n", to);
    for (const Command& c : Commands()) {
        std::fprintf(to, "  %s\n", c.synopsis);
    }
    std::fputs("\nEach command prints one JSON document; errors go to stderr with exit status 1.\n",
               to);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 1;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        PrintHelp(stdout);
        return 0;
    }
    for (const Command& c : Commands()) {
        if (command == c.name) {
            try {
                return c.run(Args(argv + 2, argv + argc));
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tavrilo-cli %s: %s\n", c.name, e.what());
                return 1;
            }
        }
    }
    std::fprintf(stderr, "tavrilo-cli: unknown command '%s'; see tavrilo-cli --help\n",
                 command.c_str());
    return 1;
}
