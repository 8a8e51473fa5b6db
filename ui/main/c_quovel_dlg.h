#pragma once
// The viewer's main window: one fixed 1120 x 700 skinned window that holds every view, owns
// the engine, and is where every user action enters the program. Its code is split by concern:
// initialisation, painting and the window's own input here; layouts, full screen and the zoom
// in main_window_layout.cpp; private messages, the video view's notices and the context menu in
// main_window_messages.cpp.

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "files/browse_folder.h"
#include "files/c_filer_container_dlg.h"
#include "files/removable_drives.h"
#include "map/c_google_map_dlg_wrap.h"
#include "platform/settings.h"
#include "recordings/event_classes.h"
#include "ui/main/c_movie_static.h"
#include "ui/main/movie_interaction.h"
#include "ui/main/window_layout.h"
#include "video/render/view_control.h"

namespace tavrilo {

class CLogoDlg;
class CMovieDialog;
class CSkinButton;
class CSkinProgressBarCtrl;
class CSkinSliderCtrl;
class PanelPlaceholder;
class CGSensorDlg;
class CInfoDlg;
class CControllerDlg;
class CSettingDlg;
class CUpdateDialog;
class UpdateChecker;

inline constexpr uint32_t UWM_OPEN_READY = kWmApp + 1301;
inline constexpr uint32_t UWM_JOB_DONE = kWmApp + 1302;
inline constexpr uint32_t UWM_JOB_PROGRESS = kWmApp + 1303;
inline constexpr uint32_t UWM_JOB_RELIST = kWmApp + 1304;
inline constexpr uint32_t UWM_INIT_DONE = kWmApp + 1305;

// The command ids of the button bar (38000 + slot) and the caption buttons.
inline constexpr int kCommandBar = 38000;
inline constexpr int kCommandClose = 16;
inline constexpr int kCommandMinimise = 17;
inline constexpr int kCommandSize = 18;

struct MainWindowOptions {
    std::string startFolder = Settings::CurrentFolder();  // holds Default_Folder.ini
    // Opened at start instead of the last source, with its kind.
    std::string source;
    SourceKind sourceKind = SourceKind::kFolder;
    // The removable drives; the desktop's by default, tests offer their own.
    std::shared_ptr<const DriveSource> drives;
    // Whether an OpenGL 3.3 core context can be made; tests replace it.
    std::function<bool()> probe3d;
    // Shows the engine's and the start-up's messages; tests replace it to read them.
    std::function<void(const QString& text, const QString& caption)> showError;
    // The folder chooser of the snapshot command; the desktop's by default.
    FolderPicker pickFolder;
    // Where the program itself lives: when its source is pulled the program ends.
    std::string executablePath;
    // Moves a recording to the trash (the desktop's trash by default); false when it cannot.
    std::function<bool(const std::string& path)> moveToTrash;
    // The join's output file, asked with the save dialog; empty when cancelled.
    std::function<QString(QWidget* owner, const QString& proposed)> pickSaveFile;
    // The bytes free for the user in a folder.
    std::function<uint64_t(const std::string& folder)> freeSpace;
    // Opens a web page (the update window's links); the desktop's handler by default.
    std::function<void(const QUrl& url)> openLink;
    // Sees each progress report of a file job, on the job's thread (tests pull the card there).
    std::function<void(int64_t done, int64_t total)> jobProgressSeen;
    // How long the update check waits for each file.
    int updateTimeoutMs = 10000;
    // The map's tile and check addresses; the settings' "MAP" values (or their defaults)
    // when not given.
    std::optional<MapOptions> map;
};

// What a file job reports while it runs on its own thread (progress and the end are posted).
class JobReporter {
  public:
    virtual ~JobReporter() = default;
    virtual void Progress(int64_t done, int64_t total) = 0;
    // Show "完了しました。" when the job ends.
    virtual void AnnounceCompletion() = 0;
    // Show this message (a `Message` of ui/skin/messages.h) when the job ends.
    virtual void Fail(int message) = 0;
    // A line under "完了しました。": what the job had to leave out.
    virtual void AddNote(const std::string& line) = 0;
    // False once the job should stop after the file it is at (the window closes).
    virtual bool Going() const = 0;
};
// How a job ends: done, or with recordings gone so that the source is listed again.
enum class JobEnd { kDone, kRelist };
using FileJob = std::function<JobEnd(JobReporter&)>;

class CquovelDlg : public QDialog, public MovieViewHost, public FileManagerHost {
    Q_OBJECT
  public:
    explicit CquovelDlg(MainWindowOptions options = {});
    ~CquovelDlg() override;

    // What the window shows, for the tests and the tools.
    int layoutMode() const { return state_.layout; }
    bool fullScreen() const { return state_.fullScreen; }
    bool wide() const { return state_.wide; }
    int projection() const { return state_.projection; }
    bool threeD() const { return state_.threeD; }
    // The open recording's first frame is shown and its track published: the opening is over.
    bool loaded() const { return flow_.published; }
    // A selection waits for its settle time or an opening runs.
    bool busy() const { return state_.busy; }
    // How many recordings the window has begun to open since it started.
    int openingsStarted() const { return flow_.openings; }
    const std::vector<EventPoint>& eventPoints() const { return events_; }
    CControllerDlg* pad() const { return pad_; }
    bool jobRunning() const { return job_.running; }
    // The running job's source was lost (read from any thread).
    bool jobSourceLost() const { return job_.sourceLost; }
    CSettingDlg* settingsWindow() const { return settingsDlg_; }
    // The update window the check opened, if one is open.
    CUpdateDialog* updateWindow() const;
    const UpdateChecker& updateChecker() const { return *update_; }
    CGoogleMapDlgWrap& mapHost() const { return *mapWrap_; }
    // The map is shown rather than the logo.
    bool mapShown() const { return map_->isVisible(); }
    const ZoomState& zoom() const { return state_.zoom; }
    EngineContext& engine() { return ctx_; }
    CMovieStatic* movieView() const { return movie_; }
    QWidget* videoContainer() const { return videoContainer_; }
    CSkinButton* barButton(int slot) const { return bar_[static_cast<size_t>(slot)]; }
    CSkinButton* sizeButton() const { return sizeButton_; }
    CSkinSliderCtrl* seekSlider() const { return seek_; }
    CSkinSliderCtrl* volumeSlider() const { return volumeSlider_; }
    CSkinProgressBarCtrl* progressBar() const { return progress_; }
    CLogoDlg* logo() const { return logo_; }
    CMovieDialog* mapFrame() const { return mapFrame_; }
    CInfoDlg* infoPanel() const { return info_; }
    CGSensorDlg* graph() const { return graph_; }
    QWidget* panel(const char* name) const;
    const Settings& settings() const { return settings_; }
    int errorsShown() const { return errorsShown_; }

    // The commands of the window (buttons, menu).
    void OnCommand(int id);
    void SetLayout(int layout);
    // The projection and the panorama's wide arrangement (the display-mode command).
    void SetProjection(int mode, bool wide);
    bool EnterFullScreen();
    void LeaveFullScreen();
    // Opens a recording through the engine; the opening goes on through the player's notice
    // and ends with its first frame shown (loaded()). False when the engine cannot open it.
    bool OpenRecording(const std::string& path);
    // Closes the current recording and empties the views that show it.
    void CloseRecording();
    // Shows frame `frame` and moves the engine there (the seek slider, a jump to an event).
    void SeekTo(int64_t frame);
    // Starts a file job on its own thread, the recording back at its start and the controls
    // off until it ends. False when a job runs already or the recording is about to end.
    // `succeeded` runs on the window thread after a job that announced its completion.
    // `failed` runs there after a job that reported a failure. A job still running when its
    // source is lost is asked to stop, and ends with `lostMessage` (a Message) unless it had
    // finished; `failed` runs then too.
    bool StartFileJob(FileJob job, std::function<void()> succeeded = {},
                      std::function<void()> failed = {}, int lostMessage = -1);
    // The CSV command (38015): the summary of the source's recordings into a chosen folder.
    void ExportCsvCommand();
    // The delete command (38013): the chosen recordings go to the trash.
    void DeleteCommand();
    // The join command (38007): the chosen consecutive recordings into one new MP4.
    void JoinCommand();
    // The still-picture command (38006): a JPEG of the view as shown, in a folder the user picks.
    void TakeSnapshot();
    // Runs the shut-down and ends the window.
    void ShutDown();

    // MovieViewHost: the video view's direct notifications.
    void OnViewZoomStep(QPoint click) override;
    void OnViewDoubleClick() override;
    void OnViewContextMenu(QPoint screen) override;
    void OnPlayerOpened() override;  // opening, stage 2
    void OnPlayerEnded() override;
    void OnViewResized() override;

    // FileManagerHost.
    void OnFolderSelected(QTreeWidgetItem* item) override;
    void OnRecordingSelected(int row) override;
    CFilerContainerDlg* fileManager() const { return files_; }
    // The browse command: the source dialog, then the file manager opens the choice.
    void BrowseSource();
    int currentIndex() const { return currentIndex_; }

    // The context menu's items for the current state (what OnViewContextMenu shows).
    std::vector<struct MenuItem> ContextMenuItems() const;

  public slots:
    void accept() override {}  // Enter does nothing
    void reject() override {}  // nor does Escape

  protected:
    bool event(QEvent*) override;
    void paintEvent(QPaintEvent*) override;
    // The video's picture drawn again after a paint of the window over it.
    void RefreshVideoAfterPaint();
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

  private:
    // The state of the window, in the order the description keeps it.
    struct State {
        int layout = 0;
        bool fullScreen = false;
        int projection = 2;
        int savedProjection = 2;
        bool savedWide = false;
        bool wide = false;
        bool threeD = false;
        bool aspect = true;
        uint16_t volume = 65535;
        ZoomState zoom;
        bool loaded = false;
        bool busy = false;
        bool mapHidden = false;
        bool mapCheckActive = false;
        bool hasFix = false;  // the current sample has a GPS fix
        bool flipped = false;
        bool mapConnected = false;  // what the map-or-logo rule last saw
        bool initialised = false;
        QPoint windowPosition;
        // The play state to restore after a full-screen switch.
        MovieState resumeState = MovieState::kClosed;
    };

    void Initialise();
    void CreateChildren();
    void CreateButtons();
    void OnInitDone();
    void ShowError(const QString& text, const QString& caption);
    void ApplyVolume(uint16_t volume);
    void OnSliderMessage(uint32_t message, int id, int position);

    // playback_flow.cpp
    void StartSelection(bool clearInfo);
    void OnSettleTimer();  // opening, stage 1
    void OnSelectTimeout();
    void OnOpenFailed();
    // Ends a selection or opening that cannot go on: only the browse button stays.
    void GiveUpOpening();
    std::string OpenPath();                 // the recording being opened
    void OnOpenReady(intptr_t generation);  // stage 3
    void OnAfterOpen();                     // stage 4
    // Tells the view the projection and shows the first frame; with `fromCamera`, the
    // recording's camera block chooses the projection first.
    void ApplyProjection(bool fromCamera);
    void StartPrefetch();
    void JoinOpeningThreads();
    // The engine lets go of the open recording; the position refresh stops.
    void ReleaseMovie();
    void AdvanceTo(int index, bool clearIgnoredEnds);
    QTreeWidgetItem* NextFolder() const;
    void EndOfFolder();
    void CloseRecordingViews();
    void OnSourceLost();
    void SetBusy(bool on);
    // The controls beside the bar: caption buttons, trip panel, file manager, pad.
    void SetPanelsEnabled(bool on, bool keepList);
    void UpdateRateLabel();
    void SetEnlarged(bool on);
    // After a source was loaded: the folder the file manager chose is listed.
    void ListChosenFolder();
    void CollectGroupTrack();

    // event_points.cpp
    void BuildEventPoints();
    void JumpToEvent(bool next);

    // The map page is ready: the update check starts the first time.
    void OnMapReady();
    // The track reset and the event markers, when the page is ready and a recording is open.
    void SendTrackToMap();
    bool MapWanted() const;
    void ShowUpdate(const QString& message);
    // The sphere's start view, drawn again (the pad's reset, the menu's and the bar's).
    void ResetView();

    // file_jobs.cpp
    void ShowJobProgress(bool on);
    void SetJobControlsEnabled(bool on);
    void OnJobDone();
    void OnJobRelist();

    // playback_commands.cpp
    bool Ending() const;  // within the end margin: the controls wait for the end
    void SetPlayButton(bool playing);
    void StopPlayback();
    void GoToStart();
    void PlayOrPause();
    void StepRate(bool faster);
    void PreviousRecording();
    void NextRecording();
    void StepFrame(int delta);  // while paused or stopped: one frame back or on

    // position_refresh.cpp
    void OnPositionTick();
    // Shows frame `frame` in the seek slider, the trip panel and the graph's cursor.
    void RefreshViewsAt(int64_t frame);

    // snapshot_command.cpp: the video view at the capture size of its projection, and back.
    bool PrepareCaptureWindow();
    void RestoreCaptureWindow();
    void ResizeVideoWindow(const QRect& rect);

    // main_window_layout.cpp
    void PlaceChildren();
    void ApplyMapOrLogo();
    void ResetZoom();
    void ApplyZoom();
    void SendViewAspect();
    // Enables the bar's buttons by the rules of the current state.
    void UpdateButtons();
    // Hands the zoom to the engine, which places the picture in the view.
    void PlacePicture();
    void UpdateSizeTooltip();
    QRect Monitor() const;
    int FramesLeft() const;

    MainWindowOptions options_;
    Settings settings_;
    EngineContext ctx_;
    const EngineOps& ops_;
    CMoment moment_;
    State state_;
    std::recursive_mutex listMutex_;   // "hMutexCache": the recordings and the current index
    std::recursive_mutex eventMutex_;  // "hMutexCpSet": the event points

    CMovieStatic* movie_ = nullptr;  // owned by its container
    QWidget* videoContainer_ = nullptr;
    CSkinSliderCtrl* seek_ = nullptr;
    CSkinSliderCtrl* volumeSlider_ = nullptr;
    CSkinProgressBarCtrl* progress_ = nullptr;
    CLogoDlg* logo_ = nullptr;
    CMovieDialog* mapFrame_ = nullptr;
    std::unique_ptr<CGoogleMapDlgWrap> mapWrap_;
    QWidget* map_ = nullptr;  // the map host's widget
    CInfoDlg* info_ = nullptr;
    CGSensorDlg* graph_ = nullptr;
    CControllerDlg* pad_ = nullptr;
    CFilerContainerDlg* files_ = nullptr;
    std::array<CSkinButton*, kButtonCount> bar_{};
    CSkinButton* closeButton_ = nullptr;
    CSkinButton* sizeButton_ = nullptr;
    CSkinButton* minimiseButton_ = nullptr;
    QTimer idleTimer_;       // TIMER_IDLE, 1 s
    QTimer displayOnTimer_;  // TIMER_DISPLAY_ON, 100 ms once
    QTimer positionTimer_;   // TIMER_POSITION, 50 ms while a recording is open
    struct Refresh {
        bool ending = false;      // the end margin was entered and the controls switched off
        int64_t seekTarget = -1;  // the frame last asked for; -1 when none is pending
    } refresh_;
    // The playback flow's state: the opening stages, the end handling and continuing.
    struct Flow {
        bool opening = false;        // a selection was made and its opening has not finished
        bool published = false;      // stage 4 ran: the track is out and the views follow
        bool playRequested = false;  // a play command failed: the next opening plays
        bool ignoreEnds = false;     // end notices are ignored
        bool insideEnd = false;      // the end handling runs
        bool continuing = false;     // playback runs on into the next folder
        bool allowLoading = true;
        bool seekInput = true;  // the seek slider takes presses, drags and releases
        bool csvAvailable = false;
        bool enlarged = false;
        std::string openPath;  // the recording being opened (under listMutex_)
        intptr_t generation = 0;
        int openings = 0;
    } flow_;
    struct SeekDrag {
        MovieState before = MovieState::kClosed;
        bool thumb = false;  // the press hit the thumb: the release seeks
        bool moved = false;
    } seekDrag_;
    struct Job {
        bool running = false;
        std::atomic<bool> announce{false};
        std::atomic<int> failure{-1};
        std::string note;  // written by the job's thread, read once it has ended
        std::atomic<bool> going{true};
        std::function<void()> succeeded;
        std::function<void()> failed;
        int lostMessage = -1;                 // shown when the source is lost while the job runs
        std::atomic<bool> sourceLost{false};  // the source went while the job ran
        int resumeRow = -1;                   // the recording taken up again when the job ends
        QRect videoRect;                      // the video's place while the bar takes its bottom
        std::thread thread;
    } job_;
    QTimer settleTimer_;     // TIMER_SELECT_SETTLE, 500 ms once
    QTimer timeoutTimer_;    // TIMER_SELECT_TIMEOUT, 30 s once
    QTimer afterOpenTimer_;  // TIMER_AFTER_OPEN, 100 ms once
    std::thread openThread_;
    std::thread prefetchThread_;
    std::vector<EventPoint> events_;  // under eventMutex_; each index is a frame
    CSettingDlg* settingsDlg_ = nullptr;
    std::unique_ptr<UpdateChecker> update_;
    QPointer<CUpdateDialog> updateDlg_;
    bool moving_ = false;
    QPoint grabOffset_;
    bool videoRefreshQueued_ = false;
    int errorsShown_ = 0;
    struct Capture {
        QRect rect;
        bool aspect = true;
    } capture_;
    int currentIndex_ = -1;  // the row of the file manager's list that is open
};

}  // namespace tavrilo
