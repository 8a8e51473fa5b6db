// The time from a click on a recording in the file manager's list to its first frame drawn in
// the real main window on a generated card (the 500 ms settle, then the player's opening), and
// to the end of the opening (the track prefetched and loaded, the views set up); then the CPU
// the window uses while it plays. Prints each opening, the medians and the CPU.
//
// Usage: open_bench CARD_DIR [openings]

#include <sys/resource.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "files/c_filer_container_dlg.h"
#include "ui/main/c_quovel_dlg.h"
#include "video/present/ffmpeg_backend.h"
#include "video/present/frame_presenter.h"
#include "widgets/c_skin_button.h"

using namespace tavrilo;

namespace {

class NoDrives : public DriveSource {
  public:
    std::vector<Volume> Volumes() const override { return {}; }
};

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds by thread name (threads of one name added up), from /proc/self/task.
std::map<std::string, double> ThreadSeconds() {
    std::map<std::string, double> seconds;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue;
        }
        // After the name: state, then 10 fields before utime and stime.
        std::istringstream rest(stat.substr(close + 2));
        std::string field;
        for (int i = 0; i < 11; ++i) {
            rest >> field;
        }
        double user = 0, system = 0;
        rest >> user >> system;
        seconds[stat.substr(open + 1, close - open - 1)] += (user + system) / tick;
    }
    return seconds;
}

bool WaitFor(const std::function<bool()>& done) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (Clock::now() > until) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_bench CARD_DIR [openings]\n");
        return 2;
    }
    const int openings = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    MainWindowOptions o;
    o.startFolder = QDir::tempPath().toStdString() + "/tavrilo-open-bench";
    QDir().mkpath(QString::fromStdString(o.startFolder));
    o.source = argv[1];
    o.sourceKind = SourceKind::kCard;
    o.drives = std::make_shared<NoDrives>();
    o.showError = [](const QString& text, const QString&) {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    };
    CquovelDlg window(o);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 1;
    }
    const EngineOps& ops = GetEngineOps();
    auto shown = [&] { return window.loaded() && ops.GetPosition(&window.engine()) >= 0; };
    if (!WaitFor(shown)) {
        std::fprintf(stderr, "the first recording did not open\n");
        return 1;
    }
    const int rows = static_cast<int>(window.fileManager()->rows().size());
    if (rows < 2) {
        std::fprintf(stderr, "the card needs two recordings at least\n");
        return 1;
    }
    // The first frame: the new player's presenter has drawn it into the window (the time it
    // was drawn, not the time this loop saw it). The opening is over when the track is out and
    // the panels follow.
    const auto firstFrame = [&](int started) -> std::optional<Clock::time_point> {
        if (window.openingsStarted() <= started) {
            return std::nullopt;
        }
        auto* access = dynamic_cast<FfmpegPlayerAccess*>(window.engine().Player.get());
        if (access == nullptr || access->presenter().framesPresented() < 1) {
            return std::nullopt;
        }
        return access->presenter().lastPresentTime();
    };
    std::vector<double> frameMs, overMs;
    for (int i = 1; i <= openings; ++i) {
        const int started = window.openingsStarted();
        const auto start = Clock::now();
        window.fileManager()->SelectRow(i % rows);
        std::optional<Clock::time_point> drawn;
        // The first time seen is the first frame's: later draws (the views set up) come after
        // this loop has seen it.
        if (!WaitFor([&] { return (drawn = firstFrame(started)).has_value(); }) ||
            !WaitFor(shown)) {
            std::fprintf(stderr, "opening %d did not finish\n", i);
            return 1;
        }
        frameMs.push_back(Ms(*drawn - start));
        overMs.push_back(Ms(Clock::now() - start));
        std::printf("opening %d: first frame %7.1f ms, opening over %7.1f ms\n", i, frameMs.back(),
                    overMs.back());
    }
    std::sort(frameMs.begin(), frameMs.end());
    std::sort(overMs.begin(), overMs.end());
    const double median = frameMs[frameMs.size() / 2];
    std::printf(
        "click to first frame, median of %d: %.1f ms = the 500 ms settle + %.1f ms "
        "(target: + 150 ms)\n",
        openings, median, median - 500);
    std::printf("click to the opening's end (track, panels, map), median: %.1f ms\n",
                overMs[overMs.size() / 2]);

    // Playing in the window: the position ticks move the seek bar, the panels and the map's
    // marker with the picture. The CPU time is this process's (the map's web pages render in
    // processes of their own, not counted).
    QTest::mouseClick(window.barButton(2), Qt::LeftButton);
    const auto playing = [&] { return window.engine().PlayState == MovieState::kPlaying; };
    if (!WaitFor(playing)) {
        std::fprintf(stderr, "play did not start\n");
        return 1;
    }
    const double cpu0 = CpuSeconds();
    const auto threads0 = ThreadSeconds();
    const auto p0 = Clock::now();
    // The event loop sleeps between events here, as the viewer's does.
    QEventLoop loop;
    QTimer::singleShot(8000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = Ms(Clock::now() - p0) / 1000;
    std::printf("playing in the main window: %.2f CPU s per s over %.1f s\n",
                (CpuSeconds() - cpu0) / wall, wall);
    // Where it goes: the threads that used the most (threads that ended are not counted).
    std::vector<std::pair<double, std::string>> byThread;
    const auto threads0Of = [&](const std::string& name) {
        const auto it = threads0.find(name);
        return it == threads0.end() ? 0.0 : it->second;
    };
    for (const auto& [name, seconds] : ThreadSeconds()) {
        byThread.emplace_back((seconds - threads0Of(name)) / wall, name);
    }
    std::sort(byThread.rbegin(), byThread.rend());
    for (size_t i = 0; i < byThread.size() && i < 8 && byThread[i].first >= 0.005; ++i) {
        std::printf("  %-20s %.2f CPU s per s\n", byThread[i].second.c_str(), byThread[i].first);
    }
    window.ShutDown();
    return 0;
}
