// The frame of the file jobs (CSV export, delete, save and join): the recording goes back to
// its start, the controls rest while the job runs on its own thread, the progress bar follows
// its posted reports, and at the end the window takes up the recording again.

#include "ui/main/c_controller_dlg.h"
#include "ui/main/c_quovel_dlg.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "widgets/app_message.h"
#include "widgets/c_logo_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_progress_bar_ctrl.h"
#include "widgets/c_skin_slider_ctrl.h"
#include "widgets/messages.h"

namespace tavrilo {
namespace {

// Reports from the job's thread, posted to the window.
class PostedReporter : public JobReporter {
  public:
    PostedReporter(QObject* window, std::atomic<bool>& announce, std::atomic<int>& failure,
                   std::string& note, const std::atomic<bool>& going,
                   const std::function<void(int64_t, int64_t)>& seen)
        : window_(window),
          announce_(announce),
          failure_(failure),
          note_(note),
          going_(going),
          seen_(seen) {}
    void Progress(int64_t done, int64_t total) override {
        if (seen_) {
            seen_(done, total);
        }
        PostAppMessage(window_, UWM_JOB_PROGRESS, static_cast<intptr_t>(done),
                       static_cast<intptr_t>(total));
    }
    void AnnounceCompletion() override { announce_ = true; }
    void Fail(int message) override { failure_ = message; }
    void AddNote(const std::string& line) override { note_ += (note_.empty() ? "" : "\n") + line; }
    bool Going() const override { return going_; }

  private:
    QObject* window_;
    std::atomic<bool>& announce_;
    std::atomic<int>& failure_;
    std::string& note_;
    const std::atomic<bool>& going_;
    const std::function<void(int64_t, int64_t)>& seen_;
};

}  // namespace

bool CquovelDlg::StartFileJob(FileJob job, std::function<void()> succeeded,
                              std::function<void()> failed, int lostMessage) {
    if (job_.running || Ending()) {
        return false;
    }
    ops_.SetRate(&ctx_, 1);
    ops_.SetVolume(&ctx_, state_.volume);
    UpdateRateLabel();
    StopPlayback();
    // Every job reads or removes recordings' files: the open one is closed before it starts,
    // and taken up again when it ends.
    job_.resumeRow = currentIndex_;
    CloseRecording();
    ShowJobProgress(true);
    job_.running = true;
    job_.announce = false;
    job_.failure = -1;
    job_.going = true;
    job_.succeeded = std::move(succeeded);
    job_.failed = std::move(failed);
    job_.lostMessage = lostMessage;
    job_.sourceLost = false;
    for (CSkinButton* b : bar_) {
        b->setEnabled(false);
    }
    SetJobControlsEnabled(false);
    if (job_.thread.joinable()) {
        job_.thread.join();
    }
    job_.note.clear();
    job_.thread = std::thread([this, job = std::move(job)] {
        PostedReporter reporter(this, job_.announce, job_.failure, job_.note, job_.going,
                                options_.jobProgressSeen);
        const JobEnd end = job(reporter);
        PostAppMessage(this, end == JobEnd::kRelist ? UWM_JOB_RELIST : UWM_JOB_DONE);
    });
    return true;
}

void CquovelDlg::SetJobControlsEnabled(bool on) {
    // The panels with their list, the sliders, the graph, the logo and the video view.
    SetPanelsEnabled(on, on);
    for (QWidget* w : std::initializer_list<QWidget*>{seek_, volumeSlider_, graph_, logo_}) {
        w->setEnabled(on);
    }
    movie_->SetEnabled(on);
}

void CquovelDlg::ShowJobProgress(bool on) {
    if (on) {
        // The video window lies above every widget of the window: it makes room for the bar.
        const QRect video = videoContainer_->geometry();
        const QRect bar = progress_->geometry();
        if (video.intersects(bar) && bar.top() > video.top()) {
            job_.videoRect = video;
            videoContainer_->setGeometry(
                QRect(video.topLeft(), QPoint(video.right(), bar.top() - 1)));
        }
        progress_->SetPos(0);
        progress_->show();
        progress_->raise();
        return;
    }
    progress_->hide();
    if (job_.videoRect.isValid()) {
        videoContainer_->setGeometry(job_.videoRect);
        job_.videoRect = QRect();
    }
}

void CquovelDlg::OnJobRelist() {
    if (job_.sourceLost) {
        OnJobDone();  // nothing left to list
        return;
    }
    const SourceKind kind = files_->sourceKind();
    if (kind == SourceKind::kCard || kind == SourceKind::kFolder) {
        files_->LoadSource(files_->sourcePath(), kind);  // listing closes what was open
        ListChosenFolder();
    }
    currentIndex_ = -1;
    job_.resumeRow = 0;
    if (kind == SourceKind::kCard && files_->GetAllRecordings().empty()) {
        SetEnlarged(false);
        flow_.csvAvailable = false;
        CloseRecordingViews();
    }
    files_->update();
    job_.announce = true;
    OnJobDone();
}

void CquovelDlg::OnJobDone() {
    if (job_.thread.joinable()) {
        job_.thread.join();
    }
    job_.running = false;
    const bool announced = job_.announce.exchange(false);
    // The job's thread has ended: its own failure, if any, stands before the loss.
    if (job_.sourceLost && !announced && job_.lostMessage >= 0 && job_.failure < 0) {
        job_.failure = job_.lostMessage;
    }
    if (announced && job_.succeeded) {
        job_.succeeded();
    }
    job_.succeeded = nullptr;
    if (const int failure = job_.failure.exchange(-1); failure >= 0) {
        if (job_.failed) {
            job_.failed();
        }
        ShowMessage(this, static_cast<Message>(failure));
    } else if (announced) {
        ShowMessage(this, Message::kJobDone, QString::fromStdString(job_.note));
    }
    job_.failed = nullptr;
    SetJobControlsEnabled(true);
    ApplyMapOrLogo();
    UpdateButtons();
    ShowJobProgress(false);
    // The recording is taken up again from its start (the first of the list after a relist),
    // unless its source went meanwhile.
    const int current = std::max(job_.resumeRow, 0);
    if (!job_.sourceLost && current < static_cast<int>(files_->rows().size())) {
        currentIndex_ = -1;
        files_->SelectRow(current);
        OnRecordingSelected(current);
    }
}

}  // namespace tavrilo
