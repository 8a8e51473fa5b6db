#pragma once
// The recordings of a source: list entries, the scans that gather them in the recorder's
// order, the folder tree of the file manager, and the watcher that notices a pulled card.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system_time.h"

namespace tavrilo {

struct RecordingEntry {
    std::string Path;
    std::string Name;
    int32_t ListIndex = 0;    // position when made; -1 for folder entries
    int32_t Serial = 0;       // never reset while the program runs; -1 for folders
    int32_t GroupKey = 0;     // 0 for recordings, -1 for folders
    int32_t NameInitial = 0;  // first UTF-16 unit of Name; 0 for folders
    int32_t Joined = 0;
    int32_t Parking = 0;
    float FramesPerSecond = 0;
    SystemTime StartTime;
    uint64_t FileSize = 0;  // all ones for folder entries
};
using RecordingList = std::vector<RecordingEntry>;

struct FolderEntry {
    std::string Name;
    bool IsDirectory = false;
};

// Orders names by their UTF-16 code units; a prefix comes first. Exact, no case folding.
bool NameLess(const std::string& a, const std::string& b);

// Every entry of a folder in the order the system gives them; false when it cannot be listed.
bool ReadFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries);
// Directories first, then files, each by name.
void SortFolderEntries(std::vector<FolderEntry>& entries);
// Recordings (by name) first, then the other entries (by name).
void SortRecordings(RecordingList& list);
// Keeps, in order, the entries whose Name equals no Name of `removed`.
void RemoveByName(RecordingList& list, const RecordingList& removed);
size_t AppendList(RecordingList& destination, const RecordingList& source);
// A folder entry: Path, Name, ListIndex, Serial, GroupKey -1, FileSize all ones. Returns 1.
int MakeFolderEntry(const std::string& path, RecordingList& list);

// Where the folder tree of a source is built: the file manager's tree control, or an in-memory
// tree in tests and tools.
class FolderTree {
  public:
    virtual ~FolderTree() = default;
    // Adds a folder under `parent` (0 is the root) and returns its handle.
    virtual int InsertItem(int parent, const std::string& name) = 0;
    // Stores the folder's set of event-kind bits.
    virtual void SetItemKinds(int item, int32_t kinds) = 0;
    virtual int ItemCount() const = 0;
};

// What the user opened: a memory card, a folder or a single recording.
enum class SourceKind { kCard = 1, kFolder = 2, kFile = 3 };

inline constexpr int kMaxTreeItems = 999;
inline constexpr int kMaxScanDepth = 3;

// The scans, with their list and serial counters. The content test is the engine's (it takes
// the engine's file lock).
class RecordingLibrary {
  public:
    using ContentTest = std::function<bool(const std::string& path)>;
    explicit RecordingLibrary(ContentTest isRecordingFile);

    // The list counter restarts with every list built; the serial counter never does.
    void ResetListCounter() { listCounter_ = 0; }

    // Appends an entry for a recording file; false for a name that is no recording name or a
    // file that cannot be opened.
    bool MakeRecordingEntry(const std::string& path, RecordingList& list);

    // Sub-folders first (each sorted when it holds files directly), depth first, down to three
    // levels below `folder`; then the folder's own recordings by name. `fileCounter` counts
    // every file seen directly in `folder`.
    bool ScanRecordings(const std::string& folder, RecordingList& list, int* fileCounter,
                        int depth);

    // The list the file manager shows for a source: a folder scanned from the top, or a
    // single file (a recording by its name, or any MP4 or MOV file with video).
    RecordingList BuildListForSource(const std::string& source);

    // Fills `tree` under `parent` with the folders of `folder`. In date-folder mode only
    // "YYYYMMDD_NNN" folders up to depth 2 are scanned and shown, when they hold recordings,
    // with their kinds; no other folder is shown or scanned. Otherwise every folder is shown
    // (not scanned) at depth < 3. Recordings found are counted in `counter` and, when
    // `recordings` is given, listed there.
    // `kinds`, when given, collects the kind bits of the recordings directly in `folder`
    // (what CollectFolderKinds finds, without reading the folder twice).
    bool FillFolderTree(FolderTree& tree, int parent, const std::string& folder, bool dateFolders,
                        RecordingList* recordings, RecordingList* folders, int depth, int* counter,
                        int32_t* kinds = nullptr);

    // The tree the file manager shows for a source, in date-folder mode for every kind: it
    // holds recording folders only. A card's date folders sit at the top; a folder source is
    // one item named after the folder with its date folders below it; a file has no tree.
    bool FillSourceTree(FolderTree& tree, const std::string& source, SourceKind kind,
                        RecordingList* recordings, RecordingList* folders);

    // The OR of the kind bits of the recordings directly in `folder`.
    int32_t CollectFolderKinds(const std::string& folder);

    // Appends an entry for any file that can be read, whatever its name: the one file a user
    // chose, whose opening then says what it holds.
    bool MakeFileEntry(const std::string& path, RecordingList& list) {
        return MakeEntry(path, list, false);
    }

  private:
    // An entry for `path`; with `recorderName`, only for a name the recorder gives.
    bool MakeEntry(const std::string& path, RecordingList& list, bool recorderName);

    bool IsRecording(const std::string& path, const std::string& name);

    ContentTest isRecordingFile_;
    int32_t listCounter_ = 0;
    int32_t serialCounter_ = 0;
};

// Watches the source path and reports once when it vanishes (the card was pulled): the path is
// then cleared and `onLost` is called on the watcher thread. SetPath may be called from any
// thread while the watcher runs.
class CMovieResource {
  public:
    static constexpr auto kInterval = std::chrono::milliseconds(100);

    explicit CMovieResource(std::function<void()> onLost);
    ~CMovieResource();
    CMovieResource(const CMovieResource&) = delete;
    CMovieResource& operator=(const CMovieResource&) = delete;

    void SetPath(std::string path);
    std::string Path() const;
    bool Gone() const { return gone_.load(); }
    // How many times the watcher has looked at the path so far.
    uint64_t Checks() const { return checks_.load(); }

  private:
    void Run();

    std::function<void()> onLost_;
    mutable std::mutex mutex_;  // guards path_ and wakes the thread on stop
    std::condition_variable wake_;
    std::string path_;
    bool stop_ = false;
    std::atomic<bool> gone_{false};
    std::atomic<uint64_t> checks_{0};
    std::thread thread_;
};

}  // namespace tavrilo
