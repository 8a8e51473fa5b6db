// Times building the recording list and the folder tree of a card, as the file manager does
// when a source is opened. Prints figures; decides nothing.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/timing.h"
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

    size_t recordings = 0;
    int folders = 0;
    const double listMs = bench::MedianMs(repeat, [&] {
        recordings = library.BuildListForSource(card).size();
        return true;
    });
    const double treeMs = bench::MedianMs(repeat, [&] {
        CountingTree tree;
        RecordingList found, folderList;
        int counter = 0;
        library.FillFolderTree(tree, 0, card, true, &found, &folderList, 0, &counter);
        folders = tree.ItemCount();
        return true;
    });
    ops.Shutdown(&ctx);
    std::printf("card %s: %zu recordings, %d tree folders; %s of %d runs\n", card.c_str(),
                recordings, folders, repeat == 1 ? "one" : "median", repeat);
    std::printf("  recording list (scan + content test)  %9.3f ms\n", listMs);
    std::printf("  folder tree with kinds                %9.3f ms\n", treeMs);
    return 0;
}
