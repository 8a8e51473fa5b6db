// A recording cut at every box boundary and inside every table: each reader fails or succeeds
// as its rules say, and none of them crashes (the parsers in the test's process, the command
// line tool in its own).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "recordings/box_tree.h"
#include "recordings/mp4_scan.h"
#include "recordings/sensor_track.h"
#include "recordings/track_reader.h"
#include "tests/support/cut_points.h"
#include "tests/support/process.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using test::CutPoints;
using test::Quote;
using test::RunCommand;

bool Crashed(const test::CommandResult& r) {
    // The shell reports a child killed by a signal as 128 + the signal.
    return WIFSIGNALED(r.status) || (WIFEXITED(r.status) && WEXITSTATUS(r.status) >= 128);
}

TEST(Truncation, EveryCutFailsOrSucceedsButNeverCrashes) {
    const fs::path dir = fs::temp_directory_path() / ("tavrilo-cut-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path whole = dir / "001_100000_G.MP4";
    const auto made = RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(whole) +
                                 " --size 64 --seconds 3 --kind G --event 1:X");
    ASSERT_EQ(made.status, 0) << made.output;
    const auto doc = ParseBoxTree(whole.string(), false);
    ASSERT_NE(doc, nullptr);
    std::set<uint64_t> cuts;
    CutPoints(doc->Root, &cuts);
    ASSERT_GT(cuts.size(), 40u);
    std::ifstream in(whole, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const fs::path cut = dir / "002_100000_G.MP4";
    int cliRuns = 0;
    for (const uint64_t at : cuts) {
        if (at >= bytes.size()) {
            continue;
        }
        {
            std::ofstream out(cut, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(at));
        }
        SCOPED_TRACE("cut at " + std::to_string(at) + " of " + std::to_string(bytes.size()));
        // A cut file never yields the whole recording's track.
        TrackReader reader;
        reader.ScanMutex = &FindMutex();
        if (ParseTrack(reader, cut.string())) {
            EXPECT_LE(reader.GSamples.size(), 30u);
        }
        TrackReader walk;
        walk.ScanMutex = &FindMutex();
        if (walk.OpenMapped(cut.string())) {
            ReadFrameDurationMs(walk);
        }
        ParseBoxTree(cut.string(), true);
        // The tool on every cut (a process each).
        for (const char* command : {" info ", " track "}) {
            const auto r = RunCommand(std::string(TAVRILO_CLI) + command + Quote(cut));
            EXPECT_FALSE(Crashed(r)) << command << r.output;
        }
        ++cliRuns;
    }
    EXPECT_GT(cliRuns, 40);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrilo
