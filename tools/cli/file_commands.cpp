// csv and join: the two commands that write files.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include "engine/engine.h"
#include "recordings/csv_export.h"
#include "recordings/join_checks.h"
#include "recordings/joiner.h"
#include "tools/cli/commands.h"

namespace tavrilo::cli {
namespace {

using nlohmann::ordered_json;

// Cleared by Ctrl-C so that a long job stops cleanly and leaves nothing half written.
std::atomic<bool> g_running{true};

void StopOnInterrupt() {
    g_running = true;
    std::signal(SIGINT, [](int) { g_running = false; });
    std::signal(SIGTERM, [](int) { g_running = false; });
    // Past a file-size limit a write should fail (and the job clean up), not kill the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

// The percentage done on standard error, one line rewritten in place, ended by a newline; only
// on a terminal: a log file or a pipe gets nothing.
class TerminalProgress {
  public:
    TerminalProgress() : terminal_(isatty(STDERR_FILENO) == 1) {}
    ~TerminalProgress() { Finish(); }

    void Show(int done, int total) {
        if (terminal_) {
            std::fprintf(stderr, "\r%3d%%", total > 0 ? done * 100 / total : 100);
            shown_ = true;
        }
    }
    // Ends the line before anything else is printed.
    void Finish() {
        if (shown_) {
            std::fputs("\n", stderr);
            shown_ = false;
        }
    }
    std::function<void(int, int)> Callback() {
        return [this](int done, int total) { Show(done, total); };
    }

  private:
    bool terminal_;
    bool shown_ = false;
};

// Splits "--force" off the arguments.
Args Positional(const Args& args, bool* force) {
    Args out;
    for (const std::string& a : args) {
        if (a == "--force") {
            *force = true;
        } else {
            out.push_back(a);
        }
    }
    return out;
}

}  // namespace

int Csv(const Args& args) {
    bool force = false;
    const Args rest = Positional(args, &force);
    if (rest.size() != 2) {
        return Fail("csv", "usage: tavrilo-cli csv SOURCE OUTDIR [--force]");
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(rest[1], ec)) {
        return Fail("csv", "no such folder: " + rest[1]);
    }
    EngineContext ctx;
    const EngineOps& ops = GetEngineOps();
    ops.Init(&ctx, nullptr);
    ctx.Ready = 1;
    RecordingLibrary library(engine::ContentTestOf(&ctx));
    const RecordingList list = library.BuildListForSource(rest[0]);
    StopOnInterrupt();
    CsvExport options;
    options.folder = rest[1];
    options.overwrite = force;
    options.running = &g_running;
    TerminalProgress progress;
    options.progress = progress.Callback();
    std::vector<std::string> leftOut;
    options.leftOut = &leftOut;
    std::string path, error;
    const CsvResult result = ExportCsv(
        list,
        [&](const std::string& file) {
            CameraInfo info;
            engine::ReadCameraInfo(&ctx, &info, file.c_str());
            return info;
        },
        options, &path, &error);
    ops.Shutdown(&ctx);
    progress.Finish();
    switch (result) {
        case CsvResult::kDone:
            for (const std::string& file : leftOut) {
                std::fprintf(stderr,
                             "tavrilo-cli csv: %s cannot be read; its line holds only its name\n",
                             file.c_str());
            }
            std::puts(ordered_json{
                {"file", path}, {"recordings", list.size() - leftOut.size()}, {"left_out", leftOut}}
                          .dump(2)
                          .c_str());
            return 0;
        case CsvResult::kCancelled:
            return Fail("csv", "cancelled; nothing was written");
        case CsvResult::kExists:
            return Fail("csv", path + " already exists (--force replaces it)");
        case CsvResult::kEmptyList:
            return Fail("csv", "no recordings in " + rest[0]);
        case CsvResult::kCannotCreate:
            return Fail("csv", error);
    }
    return 1;
}

int Join(const Args& args) {
    bool force = false;
    const Args rest = Positional(args, &force);
    if (rest.size() < 2) {
        return Fail("join", "usage: tavrilo-cli join OUT IN1 IN2 ... [--force]");
    }
    const std::vector<std::string> inputs(rest.begin() + 1, rest.end());
    {
        // The window's rules: its list of the first input's folder says what is consecutive.
        EngineContext ctx;
        GetEngineOps().Init(&ctx, nullptr);
        ctx.Ready = 1;
        RecordingLibrary library(engine::ContentTestOf(&ctx));
        RecordingList folder;
        int files = 0;
        const std::filesystem::path parent = std::filesystem::path(inputs[0]).parent_path();
        library.ScanRecordings(parent.empty() ? "." : parent.string(), folder, &files, 0);
        GetEngineOps().Shutdown(&ctx);
        std::string error;
        if (!CheckJoinInputs(inputs, folder, &error)) {
            return Fail("join", error);
        }
    }
    StopOnInterrupt();
    JoinOptions options;
    options.overwrite = force;
    options.running = &g_running;
    TerminalProgress progress;
    options.progress = progress.Callback();
    std::string error;
    const JoinResult result = JoinRecordings(inputs, rest[0], options, &error);
    progress.Finish();
    if (result == JoinResult::kCancelled) {
        return Fail("join", "cancelled; nothing was written");
    }
    if (result != JoinResult::kDone) {
        return Fail("join", error);
    }
    std::puts(ordered_json{{"file", rest[0]}, {"inputs", inputs.size()}}.dump(2).c_str());
    return 0;
}

}  // namespace tavrilo::cli
