// Times building the recording list and the folder tree of a card, as the file manager does
// when a source is opened. Prints figures; decides nothing.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/engine.h"
#include "recordings/library.h"

namespace {

class CountingTree : public tavrilo::FolderTree {
  public:
    int InsertItem(int, const std::string&) override { return ++items_; }
    void SetItemKinds(int, int32_t) override {}
    int ItemCount() const override { return items_; }

  private:
    int items_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan_bench CARD [REPEAT]\n");
        return 1;
    }
    const std::string card = argv[1];
    const int repeat = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    using namespace tavrilo;
    EngineContext ctx;
    const EngineOps& ops = GetEngineOps();
    ops.Init(&ctx, nullptr);
    ctx.Ready = 1;
    RecordingLibrary library(engine::ContentTestOf(&ctx));

    std::vector<double> listTimes, treeTimes;
    size_t recordings = 0;
    int folders = 0;
    for (int i = 0; i < repeat; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        recordings = library.BuildListForSource(card).size();
        auto t1 = std::chrono::steady_clock::now();
        CountingTree tree;
        RecordingList found, folderList;
        int counter = 0;
        library.FillFolderTree(tree, 0, card, true, &found, &folderList, 0, &counter);
        auto t2 = std::chrono::steady_clock::now();
        folders = tree.ItemCount();
        listTimes.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        treeTimes.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    ops.Shutdown(&ctx);
    std::sort(listTimes.begin(), listTimes.end());
    std::sort(treeTimes.begin(), treeTimes.end());
    std::printf("card %s: %zu recordings, %d tree folders; %s of %d runs\n", card.c_str(),
                recordings, folders, repeat == 1 ? "one" : "median", repeat);
    std::printf("  recording list (scan + content test)  %9.3f ms\n",
                listTimes[listTimes.size() / 2]);
    std::printf("  folder tree with kinds                %9.3f ms\n",
                treeTimes[treeTimes.size() / 2]);
    return 0;
}
