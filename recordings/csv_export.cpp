#include "recordings/csv_export.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/charset.h"
#include "recordings/box_tree.h"
#include "recordings/names.h"
#include "texts/ui_texts.h"

namespace tavrilo {
namespace {

std::string Text(int slot) {
    return std::string(GetUiText(slot));
}

std::string Format(const char* format, auto... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}

std::string FallbackLine(const std::string& name) {
    return name + ",-,-,-,-,-,-,-,fps,0MB\r\n";
}

std::string ModeText(char mode) {
    if (mode == 'D') {
        return Text(ui::kSplitView);
    }
    if (mode == 'R') {
        return Text(ui::kRoundView);
    }
    return "-";
}

}  // namespace

std::optional<std::string> CsvFileName(const RecordingList& list) {
    // A damaged first recording does not stop the summary of the others: the name comes from
    // the first one whose start can be read.
    std::optional<SystemTime> start;
    for (size_t i = 0; i < list.size() && !start; ++i) {
        const auto doc = ParseBoxTree(list[i].Path, false);
        start = doc ? GetStartTime(*doc) : std::nullopt;
    }
    if (!start) {
        return std::nullopt;
    }
    return Format("Dv_%04u%02u%02u_%02u%02u%02u.csv", start->year, start->month, start->day,
                  start->hour, start->minute, start->second);
}

std::string CsvHeaderLine() {
    return Text(34) + Text(33) + Text(41) + Text(40) + Text(42) + Text(161) + Text(36) + Text(32) +
           "\r\n";
}

std::string MakeCsvLine(const RecordingEntry& entry, const CameraReader& readCamera) {
    const CameraInfo camera = readCamera ? readCamera(entry.Path) : CameraInfo{};
    const auto doc = ParseBoxTree(entry.Path, false);
    if (!doc || !GetVideoSize(*doc)) {
        return FallbackLine(entry.Name);
    }
    const auto start = GetStartTime(*doc);
    if (!start) {
        return FallbackLine(entry.Name);
    }
    const uint32_t samples = GetSampleCount(*doc).value_or(0);
    const float rate = GetFrameRate(*doc);
    const int length = RecordingSeconds(samples, rate);
    const std::string date = start->year == 0
                                 ? "--/--/--"
                                 : Format("%04u/%02u/%02u", start->year, start->month, start->day);
    const std::string time =
        start->year == 0 ? "--:--:--"
                         : Format("%02u:%02u:%02u", start->hour, start->minute, start->second);
    const std::string lengthText =
        Format("%02d:%02d:%02d", length / 3600, length / 60 % 60, length % 60);
    return entry.Name + "," + date + "," + time + "," + lengthText + "," +
           GetEventLabel(entry.Name) + "," + ModeText(camera.Mode) + "," +
           Format("%.0ffps", static_cast<double>(rate)) + "," +
           Format("%lluMB", static_cast<unsigned long long>(doc->FileSize / 1048576)) + "\r\n";
}

CsvResult ExportCsv(const RecordingList& list, const CameraReader& readCamera,
                    const CsvExport& options, std::string* path, std::string* error) {
    if (list.empty()) {
        *error = Text(101);
        return CsvResult::kEmptyList;
    }
    const auto name = CsvFileName(list);
    if (!name) {
        *error = Text(96) + " (" + list.front().Path + ": no start time)";
        return CsvResult::kCannotCreate;
    }
    *path = (std::filesystem::path(options.folder) / *name).string();
    std::error_code ec;
    if (!options.overwrite && std::filesystem::exists(*path, ec)) {
        *error = Text(93);
        return CsvResult::kExists;
    }
    const std::string charset = options.charset.empty() ? LocaleCharset() : options.charset;
    AtomicFile out;
    if (!out.Open(*path, error)) {
        *error = Text(96) + " (" + *error + ")";
        return CsvResult::kCannotCreate;
    }
    const int total = static_cast<int>(list.size());
    auto write = [&](const std::string& utf8) {
        const auto converted = ToLocaleCharset(utf8, charset);
        return converted && out.Write(*converted);
    };
    if (!write(CsvHeaderLine())) {
        *error = Text(96);
        return CsvResult::kCannotCreate;
    }
    for (int i = 0; i < total; ++i) {
        if (options.running != nullptr && !options.running->load()) {
            return CsvResult::kCancelled;
        }
        const RecordingEntry& entry = list[static_cast<size_t>(i)];
        // The list was read from the source just before: a recording gone since means the
        // card went, and a summary of what is no longer there would be wrong.
        if (std::error_code gone; !std::filesystem::exists(entry.Path, gone)) {
            *error = Text(96) + " (" + entry.Path + ": gone)";
            return CsvResult::kCannotCreate;
        }
        const std::string line = MakeCsvLine(entry, readCamera);
        if (options.leftOut != nullptr && line == FallbackLine(entry.Name)) {
            options.leftOut->push_back(entry.Path);
        }
        if (line.empty() || !write(line)) {
            *error = Text(96) + (out.writeError().empty() ? "" : " (" + out.writeError() + ")");
            return CsvResult::kCannotCreate;
        }
        if (options.progress) {
            options.progress(i, total);
        }
    }
    if (!out.Commit(options.overwrite, error)) {
        *error = Text(96) + " (" + *error + ")";
        return CsvResult::kCannotCreate;
    }
    if (options.progress) {
        options.progress(total, total);
    }
    return CsvResult::kDone;
}

}  // namespace tavrilo
