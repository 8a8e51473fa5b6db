#include "ui/main/c_quovel_dlg.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QToolTip>
#include <filesystem>

#include "maintenance/c_setting_dlg.h"
#include "maintenance/c_update_dialog.h"
#include "maintenance/update_check.h"
#include "recordings/names.h"
#include "texts/ui_texts.h"
#include "ui/main/c_controller_dlg.h"
#include "ui/main/c_movie_dialog.h"
#include "ui/main/panel_placeholder.h"
#include "video/present/ffmpeg_backend.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "widgets/app_message.h"
#include "widgets/c_logo_dlg.h"
#include "widgets/c_resource_image.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_progress_bar_ctrl.h"
#include "widgets/c_skin_slider_ctrl.h"
#include "widgets/messages.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

struct BarButton {
    int image;
    int tooltip;  // UI text slot
};
// Slot 11 is the map switch in layout 0 and the reset in layouts 1 and 2 (PlaceChildren).
constexpr std::array<BarButton, kButtonCount> kBar = {{{154, 20},
                                                       {144, 13},
                                                       {148, 12},
                                                       {142, 17},
                                                       {139, 4},
                                                       {145, 9},
                                                       {153, 19},
                                                       {150, 1},
                                                       {200, 21},
                                                       {359, 152},
                                                       {357, 5},
                                                       {358, 155},
                                                       {146, 10},
                                                       {138, 3},
                                                       {151, 16},
                                                       {137, 2}}};

// "3D available": an OpenGL 3.3 core context can be made.
bool CanMakeOpenGl33() {
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create()) {
        return false;
    }
    const auto [major, minor] = context.format().version();
    return major > 3 || (major == 3 && minor >= 3);
}

}  // namespace

CquovelDlg::CquovelDlg(MainWindowOptions options)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint),
      options_(std::move(options)),
      settings_(options_.startFolder),
      ops_(GetEngineOps()) {
    if (!options_.probe3d) {
        options_.probe3d = CanMakeOpenGl33;
    }
    if (options_.executablePath.empty()) {
        options_.executablePath = QCoreApplication::applicationFilePath().toStdString();
    }
    Initialise();
}

void CquovelDlg::ResetView() {
    ops_.ResetView(&ctx_);
    ops_.Repaint(&ctx_);
}

CUpdateDialog* CquovelDlg::updateWindow() const {
    return updateDlg_.data();
}

void CquovelDlg::OnMapReady() {
    state_.mapCheckActive = true;
    raise();
    SendTrackToMap();
    mapWrap_->SetPlayStatus(ctx_.PlayState == MovieState::kPlaying  ? 0
                            : ctx_.PlayState == MovieState::kPaused ? 1
                                                                    : 2);
    ApplyMapOrLogo();
    update();
    if (update_->started()) {
        return;
    }
    QPointer<CquovelDlg> self(this);
    update_->Start(
        settings_.ReadSetting("UPDATE", "SERVER"),
        QString::fromStdString(files_->GetFirmwareVersion()),
        [self](const QString& message) {
            // The window is made on the window thread.
            QMetaObject::invokeMethod(
                qApp,
                [self, message] {
                    if (self) {
                        self->ShowUpdate(message);
                    }
                },
                Qt::QueuedConnection);
        },
        options_.updateTimeoutMs);
}

void CquovelDlg::ShowUpdate(const QString& message) {
    if (!state_.initialised) {
        return;
    }
    auto open = options_.openLink ? options_.openLink
                                  : [](const QUrl& url) { QDesktopServices::openUrl(url); };
    updateDlg_ = new CUpdateDialog(message, open);
    updateDlg_->show();
}

CquovelDlg::~CquovelDlg() {
    if (ctx_.Ready) {
        ShutDown();
    }
}

QWidget* CquovelDlg::panel(const char* name) const {
    return findChild<QWidget*>(QString::fromUtf8(name));
}

void CquovelDlg::Initialise() {
    // 1, 2: the icon; display power has no portable notice here: a change of the application's
    // state repaints the video instead (TIMER_DISPLAY_ON).
    setWindowIcon(QIcon(CResourceImage::Pixmap(128)));
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) {
            displayOnTimer_.start();
        }
    });
    displayOnTimer_.setSingleShot(true);
    displayOnTimer_.setInterval(100);
    connect(&displayOnTimer_, &QTimer::timeout, this, [this] {
        update();
        movie_->RefreshPicture();
    });
    // 3, 4: the locks are members; the fonts are made for this display when drawn.
    QToolTip::setFont(UiFonts::ForDevice(*this).f9);
    // 5: title and rectangle.
    setWindowTitle(QStringLiteral("Tavrilo"));
    setFixedSize(kMainWindowSize);
    state_.windowPosition = pos();
    // 6, 7: skin images load on first use; the children.
    CreateChildren();
    // 8: the settings file with its defaults on a first start.
    settings_.WriteFirstStartDefaults();
    // 9: the engine, with the video view as its window.
    ops_.Init(&ctx_, movie_);
    ctx_.MakePlayer = MakeFfmpegPlayer;
    ctx_.CodecMissingText = GetUiText(114);
    ctx_.ReportError = [this](const std::string& text) {
        ShowError(QString::fromStdString(text), QStringLiteral("ERROR"));
    };
    ctx_.Ready = 1;
    ctx_.MovieLoaded = 0;
    // 10: hardware decoding exactly when "on".
    ops_.SetHardwareDecode(&ctx_, settings_.ReadHardwareDecode() ? 1 : 0);
    // 12: the volume.
    state_.volume = settings_.ReadVolume();
    // 14, 15: the logo instead of the map, layout 0.
    map_->hide();
    logo_->RequestShow(true, true);
    SetLayout(0);
    // 16: the volume reaches the engine, the slider and the file.
    ApplyVolume(state_.volume);
    // 18: the job progress bar, hidden, 0..100.
    progress_->SetRange(0, 100);
    progress_->hide();
    // 19: the zoom and the projection.
    ResetZoom();
    ops_.SetViewType(&ctx_, state_.projection);
    // 21: the source given on the command line, else the last one.
    if (!options_.source.empty()) {
        files_->LoadSource(options_.source, options_.sourceKind);
    } else {
        files_->RestoreSource();
    }
    flow_.csvAvailable =
        files_->sourceKind() == SourceKind::kCard && !files_->GetAllRecordings().empty();
    ListChosenFolder();
    UpdateButtons();
    // 22: the idle timer. Qt does its idle work itself; the timer only flushes deferred events.
    idleTimer_.setInterval(1000);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        QCoreApplication::sendPostedEvents();
        // The map comes and goes with the connection, also while nothing plays.
        if (mapWrap_->connected() != state_.mapConnected) {
            ApplyMapOrLogo();
        }
    });
    idleTimer_.start();
    positionTimer_.setInterval(50);
    connect(&positionTimer_, &QTimer::timeout, this, [this] { OnPositionTick(); });
    for (auto [timer, ms] : {std::pair{&settleTimer_, 500}, std::pair{&timeoutTimer_, 30000},
                             std::pair{&afterOpenTimer_, 100}}) {
        timer->setSingleShot(true);
        timer->setInterval(ms);
    }
    // The settle is waited out exactly: a coarse timer may end it 25 ms late.
    settleTimer_.setTimerType(Qt::PreciseTimer);
    connect(&settleTimer_, &QTimer::timeout, this, [this] { OnSettleTimer(); });
    connect(&timeoutTimer_, &QTimer::timeout, this, [this] { OnSelectTimeout(); });
    connect(&afterOpenTimer_, &QTimer::timeout, this, [this] { OnAfterOpen(); });
    // 23: done; the rest follows the first turn of the event loop.
    state_.initialised = true;
    PostAppMessage(this, UWM_INIT_DONE);
}

void CquovelDlg::CreateChildren() {
    if (!options_.drives) {
        options_.drives = std::make_shared<SystemDrives>();
    }
    files_ = new CFilerContainerDlg(ctx_, settings_, *options_.drives, *this, this, this);
    files_->setObjectName(QStringLiteral("file manager"));
    mapFrame_ = new CMovieDialog(this);
    mapFrame_->hide();
    logo_ = new CLogoDlg(this);
    movie_ = new CMovieStatic(ctx_, *this, moment_);
    videoContainer_ = QWidget::createWindowContainer(movie_, this);
    MapOptions map;
    if (options_.map) {
        map = *options_.map;
    } else {
        const std::string tiles = settings_.ReadSetting("MAP", "TILES");
        const std::string check = settings_.ReadSetting("MAP", "CHECK");
        if (!tiles.empty()) {
            map.tiles = QString::fromStdString(tiles);
            map.attribution.clear();  // another server names its own sources on its pages
        }
        if (!check.empty()) {
            map.check = QString::fromStdString(check);
        }
    }
    mapWrap_ = std::make_unique<CGoogleMapDlgWrap>(ctx_, this, this, map);
    map_ = mapWrap_->widget();
    map_->setObjectName(QStringLiteral("map"));
    graph_ = new CGSensorDlg(ctx_, this);
    graph_->setObjectName(QStringLiteral("G-sensor graph"));
    info_ = new CInfoDlg(this);
    info_->setObjectName(QStringLiteral("information panel"));
    pad_ = new CControllerDlg(
        *movie_, [this] { return movie_->height(); }, [this] { ResetView(); }, this);
    pad_->setObjectName(QStringLiteral("direction pad"));
    seek_ = new CSkinSliderCtrl(38100, this);
    seek_->SetImages(kSeekSliderImages);
    volumeSlider_ = new CSkinSliderCtrl(38101, this);
    volumeSlider_->SetImages(kVolumeSliderImages);
    volumeSlider_->SetRange(0, 65535);
    settingsDlg_ = new CSettingDlg(this);
    update_ = std::make_unique<UpdateChecker>();
    progress_ = new CSkinProgressBarCtrl(this);
    // Drawn by the window itself (a native bar would break the map view's composition): while
    // it shows, the video gives way to it (ShowJobProgress).
    CreateButtons();
}

void CquovelDlg::CreateButtons() {
    for (int slot = 0; slot < kButtonCount; ++slot) {
        auto* b = new CSkinButton(QSize(32, 32), kCommandBar + slot, this);
        b->SetImageStrip(kBar[static_cast<size_t>(slot)].image);
        b->setToolTip(UiText(kBar[static_cast<size_t>(slot)].tooltip));
        connect(b, &QAbstractButton::clicked, this,
                [this, slot] { OnCommand(kCommandBar + slot); });
        bar_[static_cast<size_t>(slot)] = b;
    }
    struct Caption {
        CSkinButton** button;
        QSize size;
        int id, image, tooltip;
    };
    for (const Caption& c : {Caption{&closeButton_, {46, 18}, kCommandClose, 155, 0},
                             Caption{&sizeButton_, {26, 18}, kCommandSize, 157, 8},
                             Caption{&minimiseButton_, {26, 18}, kCommandMinimise, 156, 137}}) {
        *c.button = new CSkinButton(c.size, c.id, this);
        (*c.button)->SetImageStrip(c.image);
        (*c.button)->setToolTip(UiText(c.tooltip));
        const int id = c.id;
        connect(*c.button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    }
}

void CquovelDlg::OnInitDone() {
    // The detached-map frame starts at the right of the video area.
    const QPoint topRight = mapToGlobal(QPoint(728, 26));
    mapFrame_->SetRemembered(QRect(topRight, QSize(390, 429)));
    state_.threeD = options_.probe3d();
    if (!state_.threeD) {
        state_.projection = 2;
        ops_.SetViewType(&ctx_, 2);
        const MessageText t = TextOf(Message::kNo3d);
        ShowError(t.text, t.caption);
    }
    UpdateButtons();
}

void CquovelDlg::ShowError(const QString& text, const QString& caption) {
    ++errorsShown_;
    if (options_.showError) {
        options_.showError(text, caption);
        return;
    }
    QMessageBox::critical(this, caption, text);
}

void CquovelDlg::ApplyVolume(uint16_t volume) {
    state_.volume = volume;
    ops_.SetVolume(&ctx_, volume);
    volumeSlider_->SetPos(volume);
    settings_.WriteVolume(volume);
}

void CquovelDlg::ShutDown() {
    state_.initialised = false;
    movie_->StopTimers();
    ops_.CommitDrag(&ctx_);
    idleTimer_.stop();
    if (ctx_.PlayState == MovieState::kPlaying) {
        ops_.Pause(&ctx_);
    }
    ops_.Stop(&ctx_);
    update_->Stop();
    if (updateDlg_) {
        updateDlg_->close();
    }
    settleTimer_.stop();
    timeoutTimer_.stop();
    SetBusy(false);
    CloseRecording();
    if (job_.thread.joinable()) {
        job_.going = false;  // the job stops after the file it is at
        job_.thread.join();  // and its end notice is no longer wanted
    }
    ctx_.Ready = 0;
    ops_.Shutdown(&ctx_);
}

void CquovelDlg::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    const QPixmap& background = CResourceImage::Pixmap(129);
    if (!background.isNull()) {
        p.drawPixmap(rect(), background);
    }
    if (state_.fullScreen) {
        p.fillRect(rect(), Qt::black);
    } else {
        p.setFont(UiFonts::ForDevice(*this).f10);
        p.setPen(Qt::white);
        p.drawText(QRect(QPoint(10, 4), QPoint(400, 30)), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Tavrilo"));
        const LayoutRects r = ComputeLayout(state_.layout, state_.wide && state_.projection == 4);
        if (!r.barTop.isEmpty()) {
            p.fillRect(r.barTop, Qt::black);
            p.fillRect(r.barBottom, Qt::black);
        }
        info_->DrawSpeakerPicture(p, rect());
        if (state_.layout == 2) {
            info_->DrawBottomStrip(p, rect());
        }
    }
    // A paint of the window over the video refreshes it too, once the paint is over (the
    // paint itself only draws). Paints elsewhere (the seek bar and the panels follow the
    // position many times a second) leave it alone: the presenter draws every frame anyway.
    if (movie_ != nullptr && ctx_.Ready && !videoRefreshQueued_ &&
        e->region().intersects(videoContainer_->geometry())) {
        videoRefreshQueued_ = true;
        QMetaObject::invokeMethod(
            this, [this] { RefreshVideoAfterPaint(); }, Qt::QueuedConnection);
    }
}

void CquovelDlg::RefreshVideoAfterPaint() {
    videoRefreshQueued_ = false;
    if (movie_ == nullptr || !ctx_.Ready) {
        return;
    }
    // At the slow rates the frame is repainted paused.
    const bool slow =
        ctx_.PlayState == MovieState::kPlaying && (ctx_.RateCode == -2 || ctx_.RateCode == -4);
    if (slow) {
        ops_.Pause(&ctx_);
    }
    movie_->RefreshPicture();
    if (slow) {
        ops_.Play(&ctx_);
    }
}

void CquovelDlg::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && e->position().y() < 26) {
        moving_ = true;
        grabOffset_ = e->position().toPoint();
    }
    QDialog::mousePressEvent(e);
}

void CquovelDlg::mouseMoveEvent(QMouseEvent* e) {
    if (moving_ && !state_.fullScreen && !state_.busy) {
        move(e->globalPosition().toPoint() - grabOffset_);
        state_.windowPosition = pos();
        if (!mapFrame_->shownOnce()) {
            mapFrame_->SetRemembered(QRect(mapToGlobal(QPoint(728, 26)), QSize(390, 429)));
        }
    }
    QDialog::mouseMoveEvent(e);
}

void CquovelDlg::mouseReleaseEvent(QMouseEvent* e) {
    moving_ = false;
    QDialog::mouseReleaseEvent(e);
}

void CquovelDlg::mouseDoubleClickEvent(QMouseEvent* e) {
    if (state_.fullScreen) {
        LeaveFullScreen();
    }
    QDialog::mouseDoubleClickEvent(e);
}

void CquovelDlg::moveEvent(QMoveEvent* e) {
    // Every layout change comes back to where the window was last put.
    if (!state_.fullScreen) {
        state_.windowPosition = pos();
    }
    QDialog::moveEvent(e);
}

void CquovelDlg::closeEvent(QCloseEvent* e) {
    // The system's close command does what the close button does.
    if (ctx_.Ready) {
        ShutDown();
    }
    e->accept();
    QDialog::done(0);
}

void CquovelDlg::contextMenuEvent(QContextMenuEvent* e) {
    // Outside full screen only in layout 0 with the panorama, inside the video area widened by
    // the map's width; in full screen always.
    const QRect area = QRect(6, 26, 722, 406).adjusted(0, 0, 386, 0);
    if (state_.fullScreen ||
        (state_.layout == 0 && state_.projection == 4 && area.contains(e->pos()))) {
        OnViewContextMenu(e->globalPos());
    }
}

}  // namespace tavrilo
