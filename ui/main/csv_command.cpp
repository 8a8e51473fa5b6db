// The CSV command: a folder chosen (and remembered), the source's recordings listed again, the
// overwrite question, then the summary written on the job thread with its progress. The writer
// lands the file only when it is complete.

#include <filesystem>

#include "engine/engine.h"
#include "recordings/csv_export.h"
#include "ui/main/c_quovel_dlg.h"
#include "widgets/c_msg_dlg.h"
#include "widgets/messages.h"
#include "widgets/ui_text.h"

namespace tavrilo {

void CquovelDlg::ExportCsvCommand() {
    if (Ending() || job_.running || state_.busy) {
        return;
    }
    const std::string folder =
        BrowseFolderWithSetting(this, settings_, "FOLDERPATH", "CSV_FOLDER", UiText(103),
                                options_.pickFolder ? options_.pickFolder : PickFolderWithDialog);
    if (folder.empty()) {
        return;
    }
    const RecordingList list = files_->GetAllRecordings();
    if (list.empty()) {
        ShowMessage(this, Message::kCsvNoRecordings);
        flow_.csvAvailable = false;
        UpdateButtons();
        return;
    }
    bool overwrite = false;
    if (const std::optional<std::string> name = CsvFileName(list)) {
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::path(folder) / *name, ec)) {
            if (ShowMessage(this, Message::kCsvExists) != kMsgOk) {
                return;
            }
            overwrite = true;
        }
    }
    // The open recording's file is read again by the job: it is closed first.
    StartFileJob(
        [this, list, folder, overwrite](JobReporter& reporter) {
            CsvExport options;
            options.folder = folder;
            options.overwrite = overwrite;
            // The writer stops after the line it is at once the window asks the job to stop.
            std::atomic<bool> running{true};
            options.running = &running;
            options.progress = [&](int done, int total) {
                reporter.Progress(done, total);
                running = reporter.Going();
            };
            const CameraReader camera = [this](const std::string& path) {
                CameraInfo info;
                engine::ReadCameraInfo(&ctx_, &info, path.c_str());
                return info;
            };
            std::vector<std::string> leftOut;
            options.leftOut = &leftOut;
            std::string path, error;
            switch (ExportCsv(list, camera, options, &path, &error)) {
                case CsvResult::kDone:
                    // Recordings that could not be read keep only their name in the file: the
                    // message names them.
                    for (const std::string& file : leftOut) {
                        reporter.AddNote("読み込めない録画（ファイル名のみ出力）: " +
                                         std::filesystem::path(file).filename().string());
                    }
                    reporter.AnnounceCompletion();
                    break;
                case CsvResult::kCannotCreate:
                    reporter.Fail(static_cast<int>(Message::kCsvCannotCreate));
                    break;
                default:
                    break;  // stopped: nothing was written
            }
            return JobEnd::kDone;
        },
        [this, folder] { settings_.WriteSetting("FOLDERPATH", "CSV_FOLDER", folder); }, {},
        static_cast<int>(Message::kCsvCannotCreate));
}

}  // namespace tavrilo
