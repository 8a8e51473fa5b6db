#pragma once
// The CSV summary of a source: one line per recording with its name, date, start time, length,
// event kind, camera mode, frame rate and size, in the locale's character set with "\r\n" lines.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "recordings/library.h"
#include "recordings/track_reader.h"

namespace tavrilo {

// Reads a recording's camera block (the engine's ReadCameraInfo).
using CameraReader = std::function<CameraInfo(const std::string& path)>;

// "Dv_%Y%m%d_%H%M%S.csv" of the start time of the first recording that has a readable one;
// nullopt when none has.
std::optional<std::string> CsvFileName(const RecordingList& list);

// The header line, "\r\n" included (UTF-8).
std::string CsvHeaderLine();

// One record line for a recording (UTF-8, "\r\n" included); the fallback line (its name and
// dashes) when the file has no box tree, no "stsd" or no readable start time.
std::string MakeCsvLine(const RecordingEntry& entry, const CameraReader& readCamera);

enum class CsvResult { kDone, kCancelled, kEmptyList, kExists, kCannotCreate };

struct CsvExport {
    std::string folder;
    bool overwrite = false;
    std::string charset;  // the locale's when empty
    // Called after each line with (lines written, total).
    std::function<void(int done, int total)> progress;
    // Cleared by another thread to stop after the current line.
    const std::atomic<bool>* running = nullptr;
    // When given, gets the path of each recording that could not be read (its line holds only
    // its name).
    std::vector<std::string>* leftOut = nullptr;
};

// Writes the CSV for `list` into options.folder. The file appears only when complete; a
// cancelled or failed export leaves nothing behind; a listed recording whose file is gone
// (a pulled card) fails it. `path` gets the file written (or the one that already exists).
CsvResult ExportCsv(const RecordingList& list, const CameraReader& readCamera,
                    const CsvExport& options, std::string* path, std::string* error);

}  // namespace tavrilo
