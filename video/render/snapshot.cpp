#include "video/render/snapshot.h"

#include <cstdio>

#include "video/render/projection.h"

namespace tavrilo {

std::string BuildSnapshotPath(const std::string& folder, const RecordingEntry& entry,
                              std::optional<int64_t> frame) {
    if (frame && *frame < 0) {
        return folder;
    }
    // The folder's own name; trailing separators are no part of it, and a root has none, so
    // its first character stands in (as a drive letter would).
    std::string trimmed = folder;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) {
        trimmed.pop_back();
    }
    const size_t cut = trimmed.find_last_of("/\\");
    std::string folderName = cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
    if (folderName.empty() || folderName.back() == ':') {
        folderName = folder.substr(0, 1);
    }
    if (folderName == "/" || folderName == "\\") {
        folderName = "root";  // the root of a POSIX file system has no name to borrow
    }
    const size_t dot = entry.Name.find('.');
    const std::string stem = dot == std::string::npos ? std::string() : entry.Name.substr(0, dot);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%03d_%03d_%06lld", entry.GroupKey, entry.Serial,
                  static_cast<long long>(frame.value_or(0)));
    const bool endsWithSeparator =
        !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    return folder + (endsWithSeparator ? "" : "/") + folderName + "-" + stem + "-" + numbers +
           ".jpg";
}

std::optional<std::pair<int, int>> CaptureSize(int viewMode, int videoWidth, int videoHeight) {
    switch (viewMode) {
        case VIEW_SPHERE:
            return std::make_pair(1280, 720);
        case VIEW_PANORAMA:
            return std::make_pair(2469, 720);
        case VIEW_FLAT_FIXED:
        case VIEW_FLAT:
            return std::make_pair(videoWidth, videoHeight);
        default:
            return std::nullopt;
    }
}

bool SaveSnapshot(const QImage& image, const std::string& path) {
    return !image.isNull() && image.save(QString::fromStdString(path), "JPG", kSnapshotJpegQuality);
}

}  // namespace tavrilo
