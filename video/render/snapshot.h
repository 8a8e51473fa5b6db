#pragma once
// Still pictures of the current view: the file name, the size the view is drawn at for the
// picture, and the JPEG itself.

#include <QImage>
#include <optional>
#include <string>
#include <utility>

#include "recordings/library.h"

namespace tavrilo {

// "<folder>/<folder name>-<recording name up to its first dot>-<group>_<serial>_<frame>.jpg",
// the numbers zero-padded to 3, 3 and 6 digits. `frame` is the engine's position, or nullopt
// when the engine is not ready (0 is used). A negative position gives the folder alone.
std::string BuildSnapshotPath(const std::string& folder, const RecordingEntry& entry,
                              std::optional<int64_t> frame);

// The size the picture is drawn at for a view mode: the sphere 1280 x 720, the panorama
// 2469 x 720, the flat views the video's own size; nullopt for other modes.
std::optional<std::pair<int, int>> CaptureSize(int viewMode, int videoWidth, int videoHeight);

inline constexpr int kSnapshotJpegQuality = 92;

// Writes `image` as a JPEG file. False when it cannot be written.
bool SaveSnapshot(const QImage& image, const std::string& path);

}  // namespace tavrilo
