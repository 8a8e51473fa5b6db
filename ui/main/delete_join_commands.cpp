// The two commands that change the user's files. Delete: the chosen recordings go to the trash,
// never anywhere else, the last first, the first failure stopping the rest. Join: the chosen
// consecutive recordings become one new MP4, checked for room before anything is written and
// written through a temporary file. The dialogs run on the window thread; the file work runs on
// the job thread.

#include <QFile>
#include <QFileDialog>
#include <filesystem>

#include "files/c_file_select_dlg.h"
#include "recordings/joiner.h"
#include "ui/main/c_quovel_dlg.h"
#include "widgets/messages.h"

namespace tavrilo {
namespace {

bool MoveToTrash(const std::string& path) {
    return !path.empty() && QFile::moveToTrash(QString::fromStdString(path));
}

QString PickSaveFile(QWidget* owner, const QString& proposed) {
    QString path = QFileDialog::getSaveFileName(owner, QString(), proposed,
                                                QStringLiteral("Movie Files(*.mp4);;All Files(*)"));
    if (!path.isEmpty() && std::filesystem::path(path.toStdString()).extension().empty()) {
        path += QStringLiteral(".mp4");
    }
    return path;
}

uint64_t FreeSpace(const std::string& folder) {
    std::error_code ec;
    const auto space = std::filesystem::space(folder, ec);
    return ec ? 0 : space.available;
}

std::vector<std::string> PathsOf(const RecordingList& list) {
    std::vector<std::string> paths;
    for (const RecordingEntry& e : list) {
        paths.push_back(e.Path);
    }
    return paths;
}

}  // namespace

void CquovelDlg::DeleteCommand() {
    if (Ending() || job_.running || state_.busy) {
        return;
    }
    RecordingList shown = files_->rows();
    RecordingList full = files_->GetAllRecordings();
    SortRecordings(shown);
    SortRecordings(full);
    CFileSelectDlg dialog(SelectMode::kDelete, this);
    if (!dialog.SetFullList(full)) {
        ShowMessage(this, Message::kSelectionOver1500);
    }
    dialog.SetShownList(shown);
    if (dialog.exec() != QDialog::Accepted || dialog.result().empty()) {
        return;
    }
    const RecordingList chosen = dialog.result();
    auto trash = options_.moveToTrash ? options_.moveToTrash : MoveToTrash;
    StartFileJob(
        [chosen, trash](JobReporter& reporter) {
            const int total = static_cast<int>(chosen.size());
            int done = 0;
            for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
                if (!reporter.Going()) {
                    break;
                }
                if (!trash(it->Path)) {
                    reporter.Fail(static_cast<int>(Message::kDeleteFailed));
                    break;
                }
                reporter.Progress(++done, total);
            }
            if (done == total) {
                reporter.AnnounceCompletion();
            }
            // What was deleted is gone whatever followed: the source is listed again.
            return JobEnd::kRelist;
        },
        {}, {}, static_cast<int>(Message::kDeleteFailed));
}

void CquovelDlg::JoinCommand() {
    if (Ending() || job_.running || state_.busy) {
        return;
    }
    CFileSelectDlg dialog(SelectMode::kJoin, this);
    dialog.SetShownList(files_->rows());
    if (dialog.exec() != QDialog::Accepted || dialog.result().size() < 2) {
        return;
    }
    const RecordingList chosen = dialog.result();
    const std::filesystem::path remembered = settings_.ReadSetting("FOLDERPATH", "CONNECT_FOLDER");
    const QString proposed = QString::fromStdString((remembered / chosen.front().Name).string());
    const QString picked =
        (options_.pickSaveFile ? options_.pickSaveFile : PickSaveFile)(this, proposed);
    if (picked.isEmpty()) {
        return;
    }
    const std::string output = picked.toStdString();
    const std::vector<std::string> inputs = PathsOf(chosen);
    files_->MarkJoined(inputs, true);
    // Room for the joined file is checked before anything is written.
    uint64_t bytes = 0;
    for (const RecordingEntry& e : chosen) {
        bytes += e.FileSize;
    }
    const std::string folder = std::filesystem::path(output).parent_path().string();
    const uint64_t free = (options_.freeSpace ? options_.freeSpace : FreeSpace)(folder);
    if (files_->rows().empty() || bytes >= free) {
        files_->MarkJoined(inputs, false);
        ShowMessage(this, Message::kJoinFailed);
        return;
    }
    StartFileJob(
        [inputs, output](JobReporter& reporter) {
            std::atomic<bool> running{true};
            JoinOptions options;
            options.overwrite = true;  // the save dialog asked
            options.running = &running;
            options.progress = [&](int done, int total) {
                reporter.Progress(done, total);
                running = reporter.Going();
            };
            std::string error;
            switch (JoinRecordings(inputs, output, options, &error)) {
                case JoinResult::kDone:
                    reporter.AnnounceCompletion();
                    break;
                case JoinResult::kFailed:
                    reporter.Fail(static_cast<int>(Message::kJoinFailed));
                    break;
                case JoinResult::kCancelled:
                    break;
            }
            return JobEnd::kDone;
        },
        [this, folder] { settings_.WriteSetting("FOLDERPATH", "CONNECT_FOLDER", folder); },
        [this, inputs] { files_->MarkJoined(inputs, false); },
        static_cast<int>(Message::kJoinFailed));
}

}  // namespace tavrilo
