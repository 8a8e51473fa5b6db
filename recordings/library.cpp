#include "recordings/library.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/utf8.h"
#include "recordings/frame_times.h"
#include "recordings/names.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;

std::u16string Utf16(const std::string& s) {
    std::u16string out;
    for (wchar_t wc : Utf8ToWide(s)) {
        const auto cp = static_cast<char32_t>(wc);
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Join(const std::string& folder, const std::string& name) {
    return (fs::path(folder) / name).string();
}

bool ByName(const RecordingEntry& a, const RecordingEntry& b) {
    return NameLess(a.Name, b.Name);
}

}  // namespace

bool NameLess(const std::string& a, const std::string& b) {
    // Below U+10000 code-point order is code-unit order; only surrogates need the conversion.
    const bool ascii = std::all_of(a.begin(), a.end(), [](char c) { return c >= 0; }) &&
                       std::all_of(b.begin(), b.end(), [](char c) { return c >= 0; });
    return ascii ? a < b : Utf16(a) < Utf16(b);
}

bool ReadFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return false;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            return false;
        }
        std::error_code typeError;
        entries->push_back({it->path().filename().string(), it->is_directory(typeError)});
    }
    return !ec;
}

void SortFolderEntries(std::vector<FolderEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const FolderEntry& a, const FolderEntry& b) {
                         if (a.IsDirectory != b.IsDirectory) {
                             return a.IsDirectory;
                         }
                         return NameLess(a.Name, b.Name);
                     });
}

void SortRecordings(RecordingList& list) {
    auto middle = std::stable_partition(
        list.begin(), list.end(), [](const RecordingEntry& e) { return IsRecordingName(e.Name); });
    std::stable_sort(list.begin(), middle, ByName);
    std::stable_sort(middle, list.end(), ByName);
}

void RemoveByName(RecordingList& list, const RecordingList& removed) {
    std::erase_if(list, [&removed](const RecordingEntry& e) {
        return std::any_of(removed.begin(), removed.end(),
                           [&e](const RecordingEntry& r) { return r.Name == e.Name; });
    });
}

size_t AppendList(RecordingList& destination, const RecordingList& source) {
    destination.insert(destination.end(), source.begin(), source.end());
    return source.size();
}

int MakeFolderEntry(const std::string& path, RecordingList& list) {
    RecordingEntry e;
    e.Path = path;
    e.Name = std::string(LastPathComponent(path));
    e.ListIndex = e.Serial = e.GroupKey = -1;
    e.FileSize = UINT64_MAX;
    list.push_back(std::move(e));
    return 1;
}

RecordingLibrary::RecordingLibrary(ContentTest isRecordingFile)
    : isRecordingFile_(std::move(isRecordingFile)) {}

bool RecordingLibrary::IsRecording(const std::string& path, const std::string& name) {
    return IsRecordingName(name) && isRecordingFile_ && isRecordingFile_(path);
}

bool RecordingLibrary::MakeRecordingEntry(const std::string& path, RecordingList& list) {
    return MakeEntry(path, list, true);
}

bool RecordingLibrary::MakeEntry(const std::string& path, RecordingList& list, bool recorderName) {
    RecordingEntry e;
    e.Name = std::string(LastPathComponent(path));
    if (recorderName && !IsRecordingName(e.Name)) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    std::error_code ec;
    const uint64_t size = fs::file_size(path, ec);
    if (!file || ec) {
        return false;
    }
    e.Path = path;
    e.ListIndex = listCounter_++;
    e.Serial = serialCounter_++;
    e.GroupKey = 0;
    const std::u16string units = Utf16(e.Name);
    e.NameInitial = units.empty() ? 0 : units.front();
    e.FileSize = size;
    e.Parking = ParkingFlag(e.Name);
    list.push_back(std::move(e));
    return true;
}

bool RecordingLibrary::ScanRecordings(const std::string& folder, RecordingList& list,
                                      int* fileCounter, int depth) {
    std::vector<FolderEntry> entries;
    if (!ReadFolderEntries(folder, &entries)) {
        return true;  // a folder that cannot be listed counts as empty
    }
    SortFolderEntries(entries);
    for (const FolderEntry& entry : entries) {
        const std::string path = Join(folder, entry.Name);
        if (entry.IsDirectory) {
            if (depth >= kMaxScanDepth) {
                continue;
            }
            RecordingList sub;
            int files = 0;
            if (!ScanRecordings(path, sub, &files, depth + 1)) {
                return false;
            }
            if (files > 0) {
                SortRecordings(sub);
            }
            AppendList(list, sub);
            continue;
        }
        if (fileCounter != nullptr) {
            ++*fileCounter;
        }
        if (IsRecording(path, entry.Name)) {
            MakeRecordingEntry(path, list);
        }
    }
    return true;
}

RecordingList RecordingLibrary::BuildListForSource(const std::string& source) {
    ResetListCounter();
    RecordingList list;
    std::error_code ec;
    if (fs::is_directory(source, ec)) {
        ScanRecordings(source, list, nullptr, 0);
    } else if (MakeRecordingEntry(source, list)) {
        SortRecordings(list);
    } else if (ReadVideoTrack(source).times) {
        // One file the user chose: any MP4 or MOV with video plays, whatever its name (a
        // recording renamed, a clip of another program). Folders keep the recorder's names.
        MakeEntry(source, list, false);
    }
    return list;
}

int32_t RecordingLibrary::CollectFolderKinds(const std::string& folder) {
    std::vector<FolderEntry> entries;
    int32_t kinds = 0;
    if (!ReadFolderEntries(folder, &entries)) {
        return 0;
    }
    for (const FolderEntry& e : entries) {
        if (!e.IsDirectory && IsRecording(Join(folder, e.Name), e.Name)) {
            AddEventKindBit(e.Name, &kinds);
        }
    }
    return kinds;
}

bool RecordingLibrary::FillFolderTree(FolderTree& tree, int parent, const std::string& folder,
                                      bool dateFolders, RecordingList* recordings,
                                      RecordingList* folders, int depth, int* counter,
                                      int32_t* kinds) {
    std::vector<FolderEntry> entries;
    if (!ReadFolderEntries(folder, &entries)) {
        return true;
    }
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const FolderEntry& a, const FolderEntry& b) { return NameLess(a.Name, b.Name); });
    for (const FolderEntry& entry : entries) {
        const std::string path = Join(folder, entry.Name);
        if (entry.IsDirectory) {
            if (dateFolders && depth <= 2 && IsRecordingFolderName(entry.Name)) {
                int found = 0;
                int32_t folderKinds = 0;
                if (!FillFolderTree(tree, parent, path, dateFolders, recordings, folders, depth + 1,
                                    &found, &folderKinds)) {
                    return false;
                }
                if (found > 0 && tree.ItemCount() < kMaxTreeItems) {
                    const int item = tree.InsertItem(parent, entry.Name);
                    if (folders != nullptr) {
                        MakeFolderEntry(path, *folders);
                    }
                    tree.SetItemKinds(item, folderKinds);
                }
            } else if (!dateFolders && depth < kMaxScanDepth && tree.ItemCount() < kMaxTreeItems) {
                // A plain folder is shown and scanned only when the user picks it.
                tree.InsertItem(parent, entry.Name);
            }
            continue;
        }
        if (IsRecording(path, entry.Name)) {
            if (counter != nullptr) {
                ++*counter;
            }
            if (kinds != nullptr) {
                AddEventKindBit(entry.Name, kinds);
            }
            if (recordings != nullptr) {
                MakeRecordingEntry(path, *recordings);
            }
        }
    }
    return true;
}

bool RecordingLibrary::FillSourceTree(FolderTree& tree, const std::string& source, SourceKind kind,
                                      RecordingList* recordings, RecordingList* folders) {
    int counter = 0;
    switch (kind) {
        case SourceKind::kCard:
            return FillFolderTree(tree, 0, source, true, recordings, folders, 0, &counter);
        case SourceKind::kFolder: {
            std::string folder = source;
            if (folder.size() > 1 && folder.back() == '/') {
                folder.pop_back();
            }
            const int item = tree.InsertItem(0, fs::path(folder).filename().string());
            return FillFolderTree(tree, item, folder, true, recordings, folders, 0, &counter);
        }
        case SourceKind::kFile:
            return true;
    }
    return false;
}

CMovieResource::CMovieResource(std::function<void()> onLost)
    : onLost_(std::move(onLost)), thread_([this] { Run(); }) {}

CMovieResource::~CMovieResource() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void CMovieResource::SetPath(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
    gone_ = false;
}

std::string CMovieResource::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void CMovieResource::Run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kInterval, [this] { return stop_; })) {
        if (path_.empty()) {
            continue;
        }
        const std::string watched = path_;
        lock.unlock();  // no file-system call under the lock: a dead card can block for long
        std::error_code ec;
        const bool exists = fs::exists(watched, ec);
        lock.lock();
        ++checks_;
        if (!exists && !stop_ && path_ == watched) {
            gone_ = true;
            path_.clear();
            lock.unlock();
            if (onLost_) {
                onLost_();
            }
            lock.lock();
        }
    }
}

}  // namespace tavrilo
