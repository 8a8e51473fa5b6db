// The time from a click on a recording in the file manager's list to its first frame on show,
// in the real main window on a generated card: the 500 ms settle, the player's opening, the
// track prefetched and loaded, the views set up. Prints each opening and the median.
//
// Usage: open_bench CARD_DIR [openings]

#include <QApplication>
#include <QDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "files/c_filer_container_dlg.h"
#include "ui/main/c_quovel_dlg.h"

using namespace tavrilo;

namespace {

class NoDrives : public DriveSource {
  public:
    std::vector<Volume> Volumes() const override { return {}; }
};

bool WaitFor(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
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
    std::vector<double> ms;
    for (int i = 1; i <= openings; ++i) {
        const auto start = std::chrono::steady_clock::now();
        window.fileManager()->SelectRow(i % rows);
        if (!WaitFor(shown)) {
            std::fprintf(stderr, "opening %d did not finish\n", i);
            return 1;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        std::printf("opening %d: %7.1f ms\n", i, ms.back());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("click to first frame, median of %d: %.1f ms (of which 500 ms is the settle)\n",
                openings, ms[ms.size() / 2]);
    window.ShutDown();
    return 0;
}
