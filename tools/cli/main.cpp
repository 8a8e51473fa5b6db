// tavrilo-cli: headless work on recordings. Each subcommand prints one JSON document on
// stdout; errors go to stderr as one line with exit status 1.

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tools/cli/commands.h"

namespace {

using tavrilo::cli::Args;

struct Command {
    const char* name;
    const char* synopsis;
    std::function<int(const Args&)> run;
};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"names", "names FILE...               classify file names by the recorder's naming rules",
         tavrilo::cli::Names},
        {"info",
         "info FILE                   what an MP4 holds: names, sizes, times, camera, boxes",
         tavrilo::cli::Info},
        {"track", "track FILE [--frames N]     the sensor records tied to N video frames",
         tavrilo::cli::Track},
        {"scan",
         "scan SOURCE [--tree] [--as card|folder]\n"
         "                              the recordings of a card, folder or file, in list\n"
         "                              order, and the folder tree the viewer shows for it",
         tavrilo::cli::Scan},
        {"csv", "csv SOURCE OUTDIR [--force] write the CSV summary of a source's recordings",
         tavrilo::cli::Csv},
        {"join", "join OUT IN1 IN2 ... [--force]  join consecutive recordings into one MP4",
         tavrilo::cli::Join},
        {"gpx",
         "gpx SOURCE OUT.gpx [--force] [--tz ZONE]\n"
         "                              the route of a recording, folder or card as GPX 1.1,\n"
         "                              its times in UTC from the recorder's zone (ZONE, else\n"
         "                              [DISPLAY] TIMEZONE of Default_Folder.ini here, else\n"
         "                              this machine's)",
         tavrilo::cli::Gpx},
        {"kml", "kml SOURCE OUT.kml [--force] [--tz ZONE] the same as KML 2.2", tavrilo::cli::Kml},
        {"render",
         "render FILE --frame N [--view flat|sphere|panorama] [--drag DX,DY ...]\n"
         "         [--zoom Z] [--flip] [--reset] -o OUT.jpg\n"
         "                              the picture the viewer shows for a frame",
         tavrilo::cli::Render},
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
