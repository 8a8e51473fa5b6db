// Scanning sources into lists and trees, and the source watcher.

#include "recordings/library.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "recordings/content_test.h"
#include "tests/support/mp4_bytes.h"
#include "tests/support/wait.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using namespace tavrilo::test;
using namespace std::chrono_literals;

// A source tree in a temporary folder, with files that pass the content test or not.
class SourceTree {
  public:
    SourceTree()
        : root_(fs::temp_directory_path() /
                ("tavrilo-lib-" + std::to_string(getpid()) + "-" + std::to_string(counter_++))) {
        fs::create_directories(root_);
    }
    ~SourceTree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    // A file whose content passes the content test.
    void Recording(const std::string& relative) {
        Write(relative, test::Recording(Gps0Payload({Record({})})));
    }
    void Other(const std::string& relative) {
        Write(relative, Text("not a recording, not long enough"));
    }
    void Folder(const std::string& relative) { fs::create_directories(root_ / relative); }
    std::string path(const std::string& relative = "") const { return (root_ / relative).string(); }

  private:
    void Write(const std::string& relative, const Bytes& bytes) {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    static inline int counter_ = 0;
    fs::path root_;
};

RecordingLibrary MakeLibrary() {
    return RecordingLibrary(IsRecordingFileContent);
}

std::vector<std::string> Names(const RecordingList& list) {
    std::vector<std::string> names;
    for (const RecordingEntry& e : list) {
        names.push_back(e.Name);
    }
    return names;
}

TEST(Library, SubFoldersFirstThenOwnRecordingsByName) {
    SourceTree t;
    t.Recording("001_000000_A.MP4");
    t.Recording("20240102_001/002_000000_G.MP4");
    t.Recording("20240102_001/001_000000_A.MP4");
    t.Recording("20240102_001/extra/009_000000_A.MP4");
    t.Recording("20240101_001/005_000000_M.MP4");
    t.Other("readme.txt");
    RecordingLibrary lib = MakeLibrary();
    const RecordingList list = lib.BuildListForSource(t.path());
    // 20240102_001 holds files itself, so its list (with its sub-folder's recording first in
    // scan order) is sorted by name before it is appended.
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"005_000000_M.MP4", "001_000000_A.MP4", "002_000000_G.MP4",
                                        "009_000000_A.MP4", "001_000000_A.MP4"}));
    // List positions were given in scan order.
    EXPECT_EQ(list[0].ListIndex, 0);
    EXPECT_EQ(list[1].ListIndex, 2);
    EXPECT_EQ(list[2].ListIndex, 3);
    EXPECT_EQ(list[3].ListIndex, 1);
    EXPECT_EQ(list[4].ListIndex, 4);
    EXPECT_EQ(list[4].Path, t.path("001_000000_A.MP4"));
    EXPECT_EQ(list[0].GroupKey, 0);
    EXPECT_EQ(list[0].NameInitial, '0');
    EXPECT_EQ(list[1].FileSize, fs::file_size(t.path("20240102_001/001_000000_A.MP4")));
    EXPECT_GT(list[1].FileSize, 300u);
    EXPECT_EQ(list[2].Parking, 0);
}

TEST(Library, SerialsKeepCountingAcrossListsListIndicesRestart) {
    SourceTree t;
    t.Recording("001_000000_P.MP4");
    t.Recording("002_000000_S.MP4");
    RecordingLibrary lib = MakeLibrary();
    const RecordingList first = lib.BuildListForSource(t.path());
    const RecordingList second = lib.BuildListForSource(t.path());
    EXPECT_EQ(second[0].ListIndex, 0);
    EXPECT_EQ(second[0].Serial, 2);
    EXPECT_EQ(second[1].Serial, 3);
    EXPECT_EQ(first[1].Parking, 1);
}

TEST(Library, NamesThatFailTheContentTestAreCountedButNotListed) {
    SourceTree t;
    t.Other("001_000000_A.MP4");
    t.Recording("002_000000_A.MP4");
    t.Other("x.txt");
    RecordingLibrary lib = MakeLibrary();
    RecordingList list;
    int files = 0;
    ASSERT_TRUE(lib.ScanRecordings(t.path(), list, &files, 0));
    EXPECT_EQ(files, 3);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"002_000000_A.MP4"}));
}

TEST(Library, NothingBelowThreeLevels) {
    SourceTree t;
    t.Recording("a/b/c/003_000000_A.MP4");
    t.Recording("a/b/c/d/004_000000_A.MP4");
    RecordingLibrary lib = MakeLibrary();
    EXPECT_EQ(Names(lib.BuildListForSource(t.path())),
              (std::vector<std::string>{"003_000000_A.MP4"}));
}

TEST(Library, SingleFileSourceAndMissingSources) {
    SourceTree t;
    t.Recording("001_000000_A.MP4");
    RecordingLibrary lib = MakeLibrary();
    EXPECT_EQ(lib.BuildListForSource(t.path("001_000000_A.MP4")).size(), 1u);
    EXPECT_TRUE(lib.BuildListForSource(t.path("nothing")).empty());
    RecordingList list;
    EXPECT_TRUE(lib.ScanRecordings(t.path("nothing"), list, nullptr, 0));
    EXPECT_FALSE(lib.MakeRecordingEntry(t.path("002_000000_A.MP4"), list));  // no such file
}

TEST(Library, OrderingIsByUtf16CodeUnits) {
    // U+FF21 (full-width A) sorts after U+1F600 in code points but before it in UTF-16 units,
    // where the emoji is a surrogate pair starting 0xD83D... no: 0xD83D < 0xFF21.
    EXPECT_TRUE(NameLess("\xF0\x9F\x98\x80", "\xEF\xBC\xA1"));
    EXPECT_TRUE(NameLess("abc", "abcd"));
    EXPECT_TRUE(NameLess("B", "a"));  // no case folding
    EXPECT_FALSE(NameLess("abc", "abc"));

    std::vector<FolderEntry> entries = {
        {"b.txt", false}, {"zz", true}, {"a.txt", false}, {"aa", true}};
    SortFolderEntries(entries);
    EXPECT_EQ(entries[0].Name, "aa");
    EXPECT_EQ(entries[1].Name, "zz");
    EXPECT_EQ(entries[2].Name, "a.txt");
}

TEST(Library, SortRemoveAppend) {
    RecordingList list;
    for (const char* n : {"notes.txt", "002_000000_A.MP4", "folder", "001_000000_G.MP4"}) {
        RecordingEntry e;
        e.Name = n;
        list.push_back(e);
    }
    SortRecordings(list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"001_000000_G.MP4", "002_000000_A.MP4",
                                                     "folder", "notes.txt"}));
    RecordingList removed(1);
    removed[0].Name = "FOLDER";  // differs only in case: removes nothing
    RemoveByName(list, removed);
    EXPECT_EQ(list.size(), 4u);
    removed[0].Name = "folder";
    RemoveByName(list, removed);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(AppendList(list, removed), 1u);
    EXPECT_EQ(list.size(), 4u);
    RecordingList folders;
    EXPECT_EQ(MakeFolderEntry("/card/20240101_001", folders), 1);
    EXPECT_EQ(folders[0].Name, "20240101_001");
    EXPECT_EQ(folders[0].ListIndex, -1);
    EXPECT_EQ(folders[0].GroupKey, -1);
    EXPECT_EQ(folders[0].FileSize, UINT64_MAX);
}

struct Item {
    int parent;
    std::string name;
    int32_t kinds = 0;
};

class MemoryTree : public FolderTree {
  public:
    int InsertItem(int parent, const std::string& name) override {
        items.push_back({parent, name});
        return static_cast<int>(items.size());
    }
    void SetItemKinds(int item, int32_t kinds) override {
        items[static_cast<size_t>(item - 1)].kinds = kinds;
    }
    int ItemCount() const override { return static_cast<int>(items.size()); }
    std::vector<Item> items;
};

std::vector<std::string> Shown(const MemoryTree& tree) {
    std::vector<std::string> shown;
    for (const Item& i : tree.items) {
        shown.push_back(std::to_string(i.parent) + ":" + i.name);
    }
    return shown;
}

// A card with stray folders beside and inside its date folders.
void StrayCard(SourceTree& t) {
    t.Recording("20240101_001/001_000000_A.MP4");
    t.Recording("20240101_001/002_000000_T.MP4");
    t.Recording("20240101_001/deep/003_000000_A.MP4");  // a folder inside a date folder
    t.Recording("20240102_001/001_000000_G.MP4");
    t.Folder("20240103_001");                     // no recordings
    t.Recording("2024010_001/001_000000_A.MP4");  // seven digits: not a date folder
    t.Recording("sub/001_000000_M.MP4");          // a plain folder
    t.Recording("sub/20240105_001/001_000000_M.MP4");
    t.Other("20240104_001/001_000000_A.MP4");  // fails the content test
}

TEST(FolderTree, DateFolderModeHoldsExactlyTheDateFoldersWithRecordings) {
    SourceTree t;
    StrayCard(t);
    RecordingLibrary lib = MakeLibrary();
    MemoryTree tree;
    RecordingList recordings, folders;
    int counter = 0;
    ASSERT_TRUE(lib.FillFolderTree(tree, 0, t.path(), true, &recordings, &folders, 0, &counter));
    EXPECT_EQ(Shown(tree), (std::vector<std::string>{"0:20240101_001", "0:20240102_001"}));
    EXPECT_EQ(tree.items[0].kinds, 0x01 | 0x08);
    EXPECT_EQ(tree.items[1].kinds, 0x04);
    EXPECT_EQ(Names(folders), (std::vector<std::string>{"20240101_001", "20240102_001"}));
    // Only the date folders were scanned: nothing of "deep", "sub" or the seven-digit folder.
    EXPECT_EQ(Names(recordings), (std::vector<std::string>{"001_000000_A.MP4", "002_000000_T.MP4",
                                                           "001_000000_G.MP4"}));
}

TEST(FolderTree, PlainModeShowsTopFoldersWithoutScanningThem) {
    SourceTree t;
    StrayCard(t);
    RecordingLibrary lib = MakeLibrary();
    MemoryTree tree;
    RecordingList recordings;
    ASSERT_TRUE(lib.FillFolderTree(tree, 0, t.path(), false, &recordings, nullptr, 0, nullptr));
    EXPECT_EQ(Shown(tree),
              (std::vector<std::string>{"0:20240101_001", "0:20240102_001", "0:20240103_001",
                                        "0:20240104_001", "0:2024010_001", "0:sub"}));
    EXPECT_TRUE(recordings.empty());
}

TEST(FolderTree, EachSourceKindGetsTheTreeTheFileManagerShows) {
    SourceTree t;
    StrayCard(t);
    RecordingLibrary lib = MakeLibrary();
    {
        MemoryTree tree;
        ASSERT_TRUE(lib.FillSourceTree(tree, t.path(), SourceKind::kCard, nullptr, nullptr));
        EXPECT_EQ(Shown(tree), (std::vector<std::string>{"0:20240101_001", "0:20240102_001"}));
    }
    {
        // A folder is one item with its date folders below; a trailing separator is dropped.
        MemoryTree tree;
        ASSERT_TRUE(
            lib.FillSourceTree(tree, t.path("sub") + "/", SourceKind::kFolder, nullptr, nullptr));
        EXPECT_EQ(Shown(tree), (std::vector<std::string>{"0:sub", "1:20240105_001"}));
    }
    {
        MemoryTree tree;
        ASSERT_TRUE(lib.FillSourceTree(tree, t.path("sub/001_000000_M.MP4"), SourceKind::kFile,
                                       nullptr, nullptr));
        EXPECT_TRUE(tree.items.empty());
    }
}

TEST(FolderTree, StopsAtNineHundredNinetyNineItems) {
    SourceTree t;
    for (int i = 0; i < 1005; ++i) {
        t.Folder("f" + std::to_string(10000 + i));
    }
    RecordingLibrary lib = MakeLibrary();
    MemoryTree tree;
    ASSERT_TRUE(lib.FillFolderTree(tree, 0, t.path(), false, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(tree.ItemCount(), kMaxTreeItems);
}

TEST(Library, ACardPulledDuringTheScanEndsItWithWhatWasRead) {
    SourceTree t;
    for (const char* folder : {"20240101_001", "20240102_001", "20240103_001"}) {
        for (const char* name : {"001_000000_A.MP4", "002_000000_A.MP4"}) {
            t.Recording(std::string("card/") + folder + "/" + name);
        }
    }
    const fs::path card = t.path("card"), away = t.path("pulled");
    // The content test of the third file finds the card gone from under the scan.
    int tested = 0;
    RecordingLibrary lib([&](const std::string& path) {
        if (++tested == 3) {
            fs::rename(card, away);
        }
        return IsRecordingFileContent(path);
    });
    std::atomic<int> lost{0};
    CMovieResource watcher([&lost] { ++lost; });
    watcher.SetPath(card.string());
    MemoryTree tree;
    RecordingList recordings, folders;
    lib.FillSourceTree(tree, card.string(), SourceKind::kCard, &recordings, &folders);
    // Only the first folder's two recordings were read before the card went.
    EXPECT_EQ(Names(recordings),
              (std::vector<std::string>{"001_000000_A.MP4", "002_000000_A.MP4"}));
    EXPECT_LE(tree.ItemCount(), 1);
    EXPECT_TRUE(lib.BuildListForSource(card.string()).empty());
    ASSERT_TRUE(test::WaitUntil([&] { return lost.load() > 0; }));
    EXPECT_EQ(lost.load(), 1);
}

TEST(Watcher, ReportsOnceWhenTheSourceVanishes) {
    SourceTree t;
    t.Folder("card");
    std::atomic<int> lost{0};
    CMovieResource watcher([&lost] { ++lost; });
    watcher.SetPath(t.path("card"));
    // Three looks at a path that exists report nothing.
    ASSERT_TRUE(test::WaitUntil([&] { return watcher.Checks() >= 3; }));
    EXPECT_EQ(lost.load(), 0);
    fs::remove_all(t.path("card"));
    ASSERT_TRUE(test::WaitUntil([&] { return lost.load() > 0; }));
    EXPECT_EQ(lost.load(), 1);
    EXPECT_TRUE(watcher.Gone());
    EXPECT_EQ(watcher.Path(), "");
    // The emptied path is not looked at again, and nothing more is reported meanwhile (a
    // second watcher's three looks tell that time passed).
    const uint64_t seen = watcher.Checks();
    fs::create_directories(t.path("probe"));
    CMovieResource second([] {});
    second.SetPath(t.path("probe"));
    ASSERT_TRUE(test::WaitUntil([&] { return second.Checks() >= 3; }));
    EXPECT_EQ(watcher.Checks(), seen);
    EXPECT_EQ(lost.load(), 1);
}

TEST(Watcher, SetPathFromAnotherThreadWhileChecking) {
    SourceTree t;
    t.Folder("a");
    std::atomic<int> lost{0};
    CMovieResource watcher([&lost] { ++lost; });
    std::thread setter([&] {
        for (int i = 0; i < 200; ++i) {
            watcher.SetPath(i % 2 ? t.path("a") : std::string());
            std::this_thread::yield();
        }
    });
    setter.join();
    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(watcher.Path(), t.path("a"));
}

}  // namespace
}  // namespace tavrilo
