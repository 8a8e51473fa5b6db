// The road of a recording through the window: listing a folder, a selection that settles for
// 500 ms before anything opens, the four stages of an opening (the engine's player, the track
// prefetched on a thread, the track loaded, the views set up), the end of a recording and of a
// folder, and a source that vanished.

#include <QApplication>
#include <QTimer>
#include <QTreeWidgetItem>
#include <chrono>
#include <filesystem>

#include "engine/track_access.h"
#include "files/file_manager_rules.h"
#include "recordings/names.h"
#include "texts/ui_texts.h"
#include "ui/main/button_states.h"
#include "ui/main/c_controller_dlg.h"
#include "ui/main/c_quovel_dlg.h"
#include "ui/main/panel_placeholder.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "views/info_text.h"
#include "widgets/app_message.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_slider_ctrl.h"
#include "widgets/messages.h"

namespace tavrilo {
namespace {

constexpr auto kPrefetchDelay = std::chrono::milliseconds(80);

void Join(std::thread& t) {
    if (t.joinable()) {
        t.join();
    }
}

// Whether `path` lies inside `folder` (or is it), compared by whole path components.
bool Inside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const std::filesystem::path p = path.lexically_normal();
    const std::filesystem::path f = folder.lexically_normal();
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
        if (fi->empty() && std::next(fi) == f.end()) {
            break;  // a trailing separator
        }
        if (pi == p.end() || *pi != *fi) {
            return false;
        }
    }
    return true;
}

}  // namespace

void CquovelDlg::JoinOpeningThreads() {
    Join(openThread_);
    Join(prefetchThread_);
}

void CquovelDlg::ReleaseMovie() {
    positionTimer_.stop();
    refresh_ = {};
    if (ctx_.PlayState != MovieState::kClosed) {
        ops_.UnloadTrack(&ctx_);
        ops_.CloseMovie(&ctx_);
    }
    ctx_.MovieLoaded = 0;
}

void CquovelDlg::CloseRecording() {
    seek_->SetRange(0, 0);
    seek_->SetPos(0);
    graph_->SetCursor(0, 0);
    afterOpenTimer_.stop();
    info_->RateText.clear();
    ReleaseMovie();
    JoinOpeningThreads();
    state_.loaded = false;
    flow_.published = false;
    flow_.opening = true;
    movie_->RefreshPicture();
    {
        std::lock_guard lock(eventMutex_);
        events_.clear();
    }
    graph_->SetActive(false);
    info_->Reset();
    engine::PrefetchTrack(&ctx_, nullptr);
    currentIndex_ = -1;
    flow_.allowLoading = true;
    files_->update();
    pad_->DisableAll();
}

void CquovelDlg::CloseRecordingViews() {
    ops_.SetRate(&ctx_, 1);
    CloseRecording();
    SetPlayButton(false);
    flow_.seekInput = true;
    info_->update();
    graph_->update();
    if (!flow_.enlarged) {
        files_->update();
    }
    UpdateButtons();
}

void CquovelDlg::OnFolderSelected(QTreeWidgetItem* item) {
    std::lock_guard lock(listMutex_);
    if (ctx_.PlayState != MovieState::kClosed) {
        if (ctx_.PlayState == MovieState::kPlaying) {
            ops_.Pause(&ctx_);
        }
        if (!flow_.insideEnd) {
            ops_.Stop(&ctx_);
        }
        if (!flow_.continuing) {
            ops_.SetRate(&ctx_, 1);
        }
    }
    CloseRecording();
    files_->ListFolder(item);
    if (!flow_.insideEnd) {
        SetPlayButton(false);
        UpdateButtons();
    }
    if (!files_->rows().empty()) {
        CollectGroupTrack();
        files_->SelectRow(0);
        return;
    }
    // An empty folder: playback runs on into the first following one with recordings, or ends
    // after the last folder.
    EndOfFolder();
}

void CquovelDlg::CollectGroupTrack() {
    // The recordings that share the first one's group make the map's group track.
    const RecordingList& rows = files_->rows();
    RecordingList group;
    for (const RecordingEntry& e : rows) {
        if (e.GroupKey == rows.front().GroupKey) {
            group.push_back(e);
        }
    }
    engine::CollectAllTracks(&ctx_, group);
}

void CquovelDlg::ListChosenFolder() {
    if (files_->sourceKind() == SourceKind::kFile) {
        if (!files_->rows().empty()) {
            CollectGroupTrack();  // the file alone is its group
        }
    } else if (files_->tree()->currentItem() != nullptr) {
        OnFolderSelected(files_->tree()->currentItem());
    }
}

void CquovelDlg::OnRecordingSelected(int row) {
    std::lock_guard lock(listMutex_);
    const int count = static_cast<int>(files_->rows().size());
    if (row == currentIndex_ || row < 0 || row >= count) {
        return;
    }
    currentIndex_ = row;
    state_.hasFix = false;
    ApplyMapOrLogo();
    const bool manual = !flow_.continuing;
    if (manual) {
        flow_.ignoreEnds = true;
    }
    StartSelection(true);
    if (manual && ctx_.RateCode != 1) {
        ops_.SetRate(&ctx_, 1);
    }
}

void CquovelDlg::StartSelection(bool clearInfo) {
    if (ctx_.PlayState == MovieState::kPlaying || ctx_.PlayState == MovieState::kPaused) {
        ops_.Stop(&ctx_);
        SetPlayButton(false);
    }
    state_.loaded = false;
    flow_.published = false;
    flow_.opening = true;
    positionTimer_.stop();
    seek_->SetPos(0);
    graph_->SetCursor(0, seek_->maximum() - seek_->minimum());
    graph_->SetActive(false);
    if (clearInfo) {
        info_->Reset();
    }
    UpdateButtons();
    settleTimer_.stop();
    if (state_.busy) {
        timeoutTimer_.stop();
        SetBusy(false);
    }
    if (flow_.allowLoading) {
        SetBusy(true);
        for (CSkinButton* b : bar_) {
            b->setEnabled(false);
        }
        // The list stays usable while the selection settles, so that moving on through it
        // quickly opens only the recording it rests on.
        SetPanelsEnabled(false, true);
        timeoutTimer_.start();
        settleTimer_.start();
    }
}

bool CquovelDlg::OpenRecording(const std::string& path) {
    {
        std::lock_guard lock(listMutex_);
        flow_.openPath = path;
    }
    ++flow_.generation;
    ++flow_.openings;
    state_.loaded = false;
    flow_.published = false;
    flow_.opening = true;
    ReleaseMovie();
    graph_->SetActive(false);
    graph_->update();
    for (CSkinButton* b : bar_) {
        b->setEnabled(false);
    }
    SetPanelsEnabled(false, false);
    if (ops_.OpenMovie(&ctx_, path.c_str()) != 1) {
        flow_.opening = false;
        return false;
    }
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    // The gated event classes are marked for every kind but A, P and T.
    graph_->SetGate(EventGate(GetEventKind(std::filesystem::path(path).filename().string())));
    return true;
}

std::string CquovelDlg::OpenPath() {
    std::lock_guard lock(listMutex_);
    return flow_.openPath;
}

void CquovelDlg::GiveUpOpening() {
    timeoutTimer_.stop();
    SetBusy(false);
    SetPanelsEnabled(true, true);
    for (int slot = 0; slot < kButtonCount; ++slot) {
        bar_[static_cast<size_t>(slot)]->setEnabled(slot == 12);  // browse alone
    }
    flow_.allowLoading = true;
}

void CquovelDlg::OnSettleTimer() {
    if (!flow_.allowLoading) {
        return;
    }
    std::string path;
    {
        std::lock_guard lock(listMutex_);
        const RecordingList& rows = files_->rows();
        if (currentIndex_ >= 0 && currentIndex_ < static_cast<int>(rows.size())) {
            path = rows[static_cast<size_t>(currentIndex_)].Path;
        }
    }
    if (path.empty()) {
        timeoutTimer_.stop();
        SetBusy(false);
        SetPanelsEnabled(true, true);
        UpdateButtons();
        return;
    }
    flow_.allowLoading = false;
    if (!OpenRecording(path)) {
        OnOpenFailed();
    }
}

void CquovelDlg::OnOpenFailed() {
    map_->hide();
    bool later = false;
    {
        std::lock_guard lock(listMutex_);
        later = currentIndex_ + 1 < static_cast<int>(files_->rows().size());
    }
    GiveUpOpening();
    SetEnlarged(false);
    if (!later && NextFolder() != nullptr) {
        // The last of the list: playback goes on with the next folder.
        flow_.continuing = true;
        EndOfFolder();
    } else {
        // Later recordings wait, or nothing follows (a single file, the last folder): the
        // message says why, a file cut short, sound only, ...
        ShowMessage(this, Message::kOpenFailed, VideoProblemText(ctx_.OpenProblem));
    }
}

void CquovelDlg::OnSelectTimeout() {
    flow_.continuing = false;
    GiveUpOpening();
}

void CquovelDlg::OnPlayerOpened() {
    if (ctx_.PlayState == MovieState::kClosed) {
        return;  // the notice of a player closed since
    }
    settleTimer_.stop();
    flow_.allowLoading = true;
    UpdateRateLabel();
    if (!state_.fullScreen) {
        SendViewAspect();
    }
    pad_->SetButtonsEnabled(PadButtonStates(state_.projection, false));
    Join(openThread_);
    // The track is read a moment after the player opened, so as not to slow the player's own
    // start: a timer here on the window thread, then the reading on a thread of its own.
    const intptr_t generation = flow_.generation;
    QTimer::singleShot(kPrefetchDelay, this, [this, generation] {
        if (generation != flow_.generation || ctx_.PlayState == MovieState::kClosed) {
            return;  // another selection since, or closed
        }
        // The path is copied here, not on the thread: the window joins the thread while it
        // may hold the list lock, which the thread must then never wait for.
        const std::string path = OpenPath();
        if (path.empty()) {
            return;
        }
        Join(openThread_);
        openThread_ = std::thread([this, generation, path] {
            engine::PrefetchTrack(&ctx_, path.c_str());
            PostAppMessage(this, UWM_OPEN_READY, generation, 0);
        });
    });
}

void CquovelDlg::OnOpenReady(intptr_t generation) {
    if (state_.loaded || generation != flow_.generation || ctx_.PlayState == MovieState::kClosed) {
        return;
    }
    state_.loaded = true;
    if (state_.busy) {
        timeoutTimer_.stop();
        SetBusy(false);
        SetPanelsEnabled(true, true);
    }
    UpdateButtons();
    if (ops_.LoadTrack(&ctx_, OpenPath().c_str()) != 1) {
        return;
    }
    ctx_.MovieLoaded = 1;
    ops_.SetVolume(&ctx_, state_.volume);
    ops_.SetRate(&ctx_, ctx_.RateCode);
    // A play asked for during the opening, or playback running on into a new folder.
    if (flow_.playRequested || flow_.continuing) {
        if (flow_.playRequested) {
            flow_.playRequested = false;
        } else {
            flow_.continuing = false;
        }
        flow_.ignoreEnds = false;
        ops_.Play(&ctx_);
    }
    SetPlayButton(ctx_.PlayState == MovieState::kPlaying);
    UpdateButtons();
    afterOpenTimer_.start();
    flow_.opening = false;
}

void CquovelDlg::ApplyProjection(bool fromCamera) {
    CameraInfo camera;
    if (fromCamera) {
        engine::ReadCameraInfo(&ctx_, &camera, OpenPath().c_str());
    }
    if (!state_.threeD) {
        state_.projection = 2;
    } else if (camera.Mode == 'D') {
        // A two-part picture is shown flat; the projection chosen before comes back after it.
        if (state_.projection != 1) {
            state_.savedProjection = state_.projection;
            state_.savedWide = state_.wide;
            ResetZoom();
        }
        state_.projection = 1;
        state_.aspect = true;
        state_.wide = false;
    } else if (camera.Mode == 'R' && state_.projection == 1) {
        state_.projection = state_.savedProjection;
        state_.wide = state_.savedWide;
    }
    SetProjection(state_.projection, state_.wide);
    ops_.SetAspectMode(&ctx_, state_.aspect ? 1 : 0);
    if (ctx_.PlayState != MovieState::kPlaying) {
        ops_.SeekFrame(&ctx_, 0);
    }
    UpdateButtons();
}

void CquovelDlg::OnAfterOpen() {
    if (ctx_.PlayState == MovieState::kClosed || ctx_.MovieLoaded == 0) {
        return;
    }
    engine::PublishTrack(&ctx_);
    bool fixes = false;
    // The trip panel's clock starts at the recording's first GPS record.
    engine::ReadTrack(ctx_, [&](const TrackReader& track) {
        const auto& gps = track.GpsSamples;
        fixes = !gps.empty();
        info_->StartTime = fixes ? gps.front().Time : SystemTime{};
        info_->HasStartTime = info_->StartTime.IsZero() ? 0 : 1;
    });
    // Without sensor records (a clip of another program) the projection stays as it is, but
    // the picture is placed and shown all the same.
    ApplyProjection(fixes);
    info_->FrameDuration = ops_.GetFrameDuration(&ctx_);
    seek_->SetRange(0, static_cast<int>(ops_.GetFrameCount(&ctx_)));
    graph_->SetActive(true);
    BuildEventPoints();
    flow_.published = true;
    SendTrackToMap();
    UpdateRateLabel();
    ops_.SetVolume(&ctx_, state_.volume);
    RefreshViewsAt(0);
    mapWrap_->ExecuteScript(QStringLiteral("orbitgrplist.MoveMarker()"));
    refresh_.seekTarget = -1;
    positionTimer_.start();
    flow_.seekInput = true;
    PlacePicture();
    SendViewAspect();
    ops_.Repaint(&ctx_);
    ApplyMapOrLogo();
    StartPrefetch();
}

void CquovelDlg::StartPrefetch() {
    Join(prefetchThread_);
    std::string next;
    {
        std::lock_guard lock(listMutex_);
        const RecordingList& rows = files_->rows();
        if (currentIndex_ >= 0 && currentIndex_ + 1 < static_cast<int>(rows.size())) {
            next = rows[static_cast<size_t>(currentIndex_ + 1)].Path;
        }
    }
    if (next.empty()) {
        return;
    }
    prefetchThread_ = std::thread([this, next] { engine::PrefetchTrack(&ctx_, next.c_str()); });
}

void CquovelDlg::AdvanceTo(int index, bool clearIgnoredEnds) {
    currentIndex_ = index;
    flow_.seekInput = false;
    files_->SelectRow(index);  // the list's notice finds the index current and does nothing
    seek_->SetPos(0);
    if (clearIgnoredEnds) {
        flow_.ignoreEnds = false;
    }
    StartSelection(false);
}

QTreeWidgetItem* CquovelDlg::NextFolder() const {
    const QTreeWidgetItem* item = files_->tree()->currentItem();
    if (item == nullptr) {
        return nullptr;
    }
    QTreeWidgetItem* parent = item->parent();
    if (parent != nullptr) {
        const int i = parent->indexOfChild(const_cast<QTreeWidgetItem*>(item));
        return i + 1 < parent->childCount() ? parent->child(i + 1) : nullptr;
    }
    const QTreeWidget* tree = files_->tree();
    const int i = tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    return i + 1 < tree->topLevelItemCount() ? tree->topLevelItem(i + 1) : nullptr;
}

void CquovelDlg::OnPlayerEnded() {
    if (flow_.ignoreEnds || ctx_.PlayState == MovieState::kClosed) {
        return;
    }
    flow_.insideEnd = true;
    movie_->StopTimers();
    pad_->Stop();
    ops_.CommitDrag(&ctx_);
    {
        std::unique_lock lock(listMutex_);
        const int count = static_cast<int>(files_->rows().size());
        if (currentIndex_ >= 0 && currentIndex_ < count) {
            if (currentIndex_ + 1 < count) {
                // Within the folder the next recording opens and waits at its first frame.
                AdvanceTo(currentIndex_ + 1, true);
            } else if (NextFolder() != nullptr) {
                ops_.Pause(&ctx_);
                ops_.SetVolume(&ctx_, state_.volume);
                UpdateRateLabel();
                flow_.continuing = true;
            } else {
                // The last recording of the source: it opens again at its start, and rests.
                if (ctx_.RateCode != 1) {
                    ops_.SetRate(&ctx_, 1);
                }
                flow_.ignoreEnds = true;
                const int current = currentIndex_;
                currentIndex_ = -1;
                OnRecordingSelected(current);
                flow_.insideEnd = false;
                StopPlayback();
                flow_.continuing = true;
            }
        }
    }
    EndOfFolder();
    flow_.insideEnd = false;
}

void CquovelDlg::EndOfFolder() {
    if (!flow_.continuing) {
        return;
    }
    if (QTreeWidgetItem* next = NextFolder()) {
        // Listing the next folder selects its first recording, which plays on its own.
        files_->tree()->setCurrentItem(next);
        return;
    }
    flow_.continuing = false;
    SetEnlarged(false);
    if (state_.fullScreen) {
        LeaveFullScreen();
    } else {
        files_->SetLayout(state_.layout);
    }
}

void CquovelDlg::OnSourceLost() {
    const std::string lost = files_->treeRoot();
    state_.loaded = false;
    if (job_.running) {
        // The job stops after the file it is at; its end reports the loss and brings the
        // controls back.
        job_.going = false;
        job_.sourceLost = true;
    }
    if (ctx_.PlayState == MovieState::kPlaying) {
        ops_.Pause(&ctx_);
    }
    ops_.Stop(&ctx_);
    ops_.SetRate(&ctx_, 1);
    settleTimer_.stop();
    timeoutTimer_.stop();
    SetBusy(false);
    if (!job_.running) {
        SetPanelsEnabled(true, true);
    }
    CloseRecording();
    SetPlayButton(false);
    UpdateButtons();
    files_->update();
    flow_.csvAvailable = false;
    SetEnlarged(false);
    if (state_.fullScreen) {
        LeaveFullScreen();
    }
    // The program ran from the pulled card: nothing of it can be trusted to load any more.
    if (!lost.empty() && !options_.executablePath.empty() &&
        Inside(options_.executablePath, lost)) {
        ShutDown();
        QDialog::done(0);
        QCoreApplication::quit();
    }
}

}  // namespace tavrilo
