// The still-picture command: the folder, the file name, the capture size of the video view and
// the messages around the engine's JPEG.

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>

#include "files/browse_folder.h"
#include "ui/main/c_quovel_dlg.h"
#include "video/render/snapshot.h"
#include "widgets/c_msg_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/messages.h"
#include "widgets/ui_text.h"

namespace tavrilo {

void CquovelDlg::TakeSnapshot() {
    if (ctx_.MovieLoaded == 0 || state_.busy) {
        return;
    }
    if (ctx_.PlayState == MovieState::kPlaying) {
        ops_.Pause(&ctx_);  // it stays paused afterwards
    }
    for (CSkinButton* b : bar_) {
        b->setEnabled(false);
    }
    const std::string folder =
        BrowseFolderWithSetting(this, settings_, "FOLDERPATH", "SNAPSHOT_FOLDER", UiText(102),
                                options_.pickFolder ? options_.pickFolder : PickFolderWithDialog);
    if (!folder.empty()) {
        RecordingEntry entry;
        {
            std::lock_guard lock(listMutex_);
            const RecordingList& rows = files_->rows();
            const int index = currentIndex_ >= 0 ? currentIndex_ : 0;
            if (index < static_cast<int>(rows.size())) {
                entry = rows[static_cast<size_t>(index)];
            }
        }
        std::optional<int64_t> frame;
        if (ctx_.Ready != 0) {
            frame = ops_.GetPosition(&ctx_);
        }
        const std::string path = BuildSnapshotPath(folder, entry, frame);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec) ||
            ShowMessage(this, Message::kSnapshotExists) == kMsgOk) {
            PrepareCaptureWindow();
            const bool saved = ctx_.Ready != 0 && ops_.SaveSnapshot(&ctx_, path.c_str()) == 1;
            if (saved) {
                settings_.WriteSetting("FOLDERPATH", "SNAPSHOT_FOLDER", folder);
            }
            RestoreCaptureWindow();
            ShowMessage(this, saved ? Message::kSnapshotSaved : Message::kSnapshotFailed);
        }
    }
    UpdateButtons();
}

bool CquovelDlg::PrepareCaptureWindow() {
    capture_.rect = videoContainer_->geometry();
    capture_.aspect = state_.aspect;
    int32_t vw = 0, vh = 0;
    ops_.GetVideoSize(&ctx_, &vw, &vh);
    if (state_.projection == 1 || state_.projection == 2) {
        state_.aspect = false;  // the picture stretched to the window
    }
    const auto size = CaptureSize(state_.projection, vw, vh);
    if (!size) {
        return true;
    }
    videoContainer_->hide();
    ResizeVideoWindow(QRect(capture_.rect.topLeft(), QSize(size->first, size->second)));
    return true;
}

void CquovelDlg::RestoreCaptureWindow() {
    // Every view, the panorama's band included, goes back where it was: the layout placed it.
    state_.aspect = capture_.aspect;
    ResizeVideoWindow(capture_.rect);
    videoContainer_->show();
}

void CquovelDlg::ResizeVideoWindow(const QRect& rect) {
    videoContainer_->setGeometry(rect);
    movie_->setGeometry(QRect(QPoint(0, 0), rect.size()));
    // The window system confirms the new size a moment later; the grab is taken at the size
    // the view reports, so wait for it (briefly: a window system that never answers leaves
    // the old size, and the picture is stretched to it).
    QElapsedTimer waited;
    waited.start();
    while (movie_->size() != rect.size() && waited.elapsed() < 1000) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    }
    SendViewAspect();
    PlacePicture();
    ops_.Repaint(&ctx_);
}

}  // namespace tavrilo
