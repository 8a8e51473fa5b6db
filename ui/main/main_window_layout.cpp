// The main window's layouts, the panorama's wide arrangement with the detached map, full
// screen, the map-or-logo rule and the zoom; the busy cursor, the panels' enabled states and
// the enlarged picture.

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "engine/track_access.h"
#include "files/c_filer_container_dlg.h"
#include "texts/ui_texts.h"
#include "ui/main/button_states.h"
#include "ui/main/c_controller_dlg.h"
#include "ui/main/c_movie_dialog.h"
#include "ui/main/c_quovel_dlg.h"
#include "ui/main/panel_placeholder.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "views/info_text.h"
#include "widgets/c_logo_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_progress_bar_ctrl.h"
#include "widgets/c_skin_slider_ctrl.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

void Place(QWidget* w, const QRect& r) {
    w->setVisible(!r.isEmpty());
    if (!r.isEmpty()) {
        w->setGeometry(r);
    }
}

}  // namespace

void CquovelDlg::SetLayout(int layout) {
    state_.layout = layout;
    // Every layout keeps the window's top-left corner and its fixed size.
    setFixedSize(kMainWindowSize);
    move(state_.windowPosition);
    PlaceChildren();
    ResetZoom();
    ApplyZoom();
    UpdateSizeTooltip();
    update();
}

void CquovelDlg::UpdateSizeTooltip() {
    sizeButton_->setToolTip(UiText(SizeTooltipSlot(state_.layout)));
}

void CquovelDlg::PlaceChildren() {
    const bool wide = state_.layout == 0 && state_.wide && state_.projection == 4;
    const LayoutRects r = ComputeLayout(state_.layout, wide);
    videoContainer_->setGeometry(r.video);
    Place(seek_, r.seekSlider);
    Place(info_, r.infoPanel);
    info_->SetLayout(state_.layout);
    Place(pad_, r.pad);
    Place(graph_, r.graph);
    Place(files_, r.fileManager);
    files_->SetLayout(state_.layout);
    for (int slot = 0; slot < kButtonCount; ++slot) {
        Place(bar_[static_cast<size_t>(slot)], r.buttons[static_cast<size_t>(slot)]);
    }
    // Slot 11: the map switch in layout 0, the view reset in the larger layouts.
    CSkinButton* slot11 = bar_[11];
    slot11->SetImageStrip(state_.layout == 0 ? 358 : 364);
    slot11->setToolTip(UiText(state_.layout == 0 ? 155 : 160));
    closeButton_->setGeometry(r.close);
    sizeButton_->setGeometry(r.size);
    minimiseButton_->setGeometry(r.minimise);
    for (QWidget* w : {static_cast<QWidget*>(closeButton_), static_cast<QWidget*>(sizeButton_),
                       static_cast<QWidget*>(minimiseButton_)}) {
        w->show();
    }
    Place(volumeSlider_, r.volume);
    progress_->setGeometry(r.progress);
    progress_->raise();
    // The map and the logo: in the main window, or in the detached frame of the panorama.
    QWidget* home = wide ? static_cast<QWidget*>(mapFrame_) : this;
    const QRect mapRect = wide ? QRect(0, 20, 386, 405) : ComputeLayout(0, false).mapOrLogo;
    for (QWidget* w : {static_cast<QWidget*>(map_), static_cast<QWidget*>(logo_)}) {
        if (w->parentWidget() != home) {
            const bool visible = w->isVisible();
            w->setParent(home);
            w->setVisible(visible);
        }
        w->setGeometry(mapRect);
    }
    if (wide && !state_.fullScreen) {
        mapFrame_->ShowAtRemembered();
    } else {
        mapFrame_->hide();
    }
    ApplyMapOrLogo();
    UpdateButtons();
}

bool CquovelDlg::MapWanted() const {
    if (state_.mapHidden || !state_.hasFix || !mapWrap_->connected() || ctx_.Ready == 0 ||
        currentIndex_ < 0) {
        return false;
    }
    bool fixes = false;
    engine::ReadTrack(ctx_, [&](const TrackReader& track) { fixes = !track.GpsSamples.empty(); });
    return fixes;
}

void CquovelDlg::ApplyMapOrLogo() {
    const bool connected = mapWrap_->connected();
    state_.mapConnected = connected;
    const bool inWindow = state_.layout == 0 && !state_.fullScreen;
    if (MapWanted()) {
        map_->setVisible(inWindow);
        logo_->RequestShow(false, !state_.fullScreen);
        return;
    }
    map_->hide();
    if (inWindow) {
        logo_->SetPicture(ChooseLogoPicture(state_.mapCheckActive, connected));
        logo_->RequestShow(true, true);
    } else {
        logo_->RequestShow(false, !state_.fullScreen);
    }
}

void CquovelDlg::SetProjection(int mode, bool wide) {
    state_.projection = state_.threeD ? mode : 2;
    state_.wide = state_.projection == 4 && wide;
    movie_->SetViewMode(state_.projection);
    ops_.SetViewType(&ctx_, state_.projection);
    if (state_.fullScreen) {
        videoContainer_->setGeometry(FullScreenVideoRect(rect(), state_.projection));
        SendViewAspect();
    } else {
        PlaceChildren();
    }
    ResetZoom();
    ApplyZoom();
    update();
}

QRect CquovelDlg::Monitor() const {
    const QScreen* screen = QGuiApplication::screenAt(frameGeometry().topLeft());
    if (screen == nullptr) {
        screen = this->screen();
    }
    return screen->geometry();
}

int CquovelDlg::FramesLeft() const {
    const int64_t frames = GetEngineOps().GetFrameCount(const_cast<EngineContext*>(&ctx_));
    const int32_t position = GetEngineOps().GetPosition(const_cast<EngineContext*>(&ctx_));
    return static_cast<int>(frames - std::max(position, 0));
}

bool CquovelDlg::EnterFullScreen() {
    if (state_.fullScreen || (ctx_.PlayState != MovieState::kClosed && FramesLeft() < 10)) {
        return false;
    }
    state_.resumeState = ctx_.PlayState;
    if (ctx_.PlayState == MovieState::kStopped || ctx_.PlayState == MovieState::kPlaying) {
        ops_.Pause(&ctx_);
    }
    state_.fullScreen = true;
    for (QWidget* w : std::initializer_list<QWidget*>{graph_, seek_, volumeSlider_, info_, files_,
                                                      pad_, closeButton_, sizeButton_,
                                                      minimiseButton_, map_, progress_}) {
        w->hide();
    }
    for (CSkinButton* b : bar_) {
        b->hide();
    }
    mapFrame_->hide();
    ApplyMapOrLogo();
    // The window covers the monitor. It is not made topmost: on X11 that recreates the native
    // windows, the video's surface included, under the presenter drawing into it.
    const QRect monitor = Monitor();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setGeometry(monitor);
    videoContainer_->setGeometry(
        FullScreenVideoRect(QRect(QPoint(0, 0), monitor.size()), state_.projection));
    SendViewAspect();
    state_.zoom.Reset(QPoint(monitor.width() / 2, monitor.height() / 2));
    if (state_.resumeState == MovieState::kStopped) {
        ops_.Stop(&ctx_);
    } else if (state_.resumeState == MovieState::kPlaying) {
        ops_.Play(&ctx_);
    }
    update();
    return true;
}

void CquovelDlg::LeaveFullScreen() {
    if (!state_.fullScreen) {
        return;
    }
    const MovieState was = ctx_.PlayState;
    if (was == MovieState::kStopped || was == MovieState::kPlaying) {
        ops_.Pause(&ctx_);
    }
    state_.fullScreen = false;
    state_.aspect = true;
    ops_.SetAspectMode(&ctx_, 1);
    SetLayout(state_.layout);
    if (was == MovieState::kStopped) {
        ops_.Stop(&ctx_);
    } else if (was == MovieState::kPlaying) {
        ops_.Play(&ctx_);
    }
}

void CquovelDlg::ResetZoom() {
    if (state_.fullScreen) {
        const QRect m = Monitor();
        state_.zoom.Reset(QPoint(m.width() / 2, m.height() / 2));
    } else {
        state_.zoom.Reset(ComputeLayout(state_.layout, false).zoomCentre);
    }
}

void CquovelDlg::SendViewAspect() {
    ops_.SetViewAspect(&ctx_, movie_->width(), movie_->height());
    // The flat views keep the recording's aspect when asked to; the sphere and the panorama are
    // camera views of the view's own aspect (handed over just above) and fill it.
    const bool flat = state_.projection == 1 || state_.projection == 2;
    ops_.SetAspectMode(&ctx_, flat && state_.aspect ? 1 : 0);
}

void CquovelDlg::UpdateButtons() {
    ButtonContext c;
    c.listSize = static_cast<int>(files_->rows().size());
    c.currentIndex = currentIndex_;
    c.loaded = ctx_.MovieLoaded != 0;
    c.playState = ctx_.PlayState;
    c.rateCode = ctx_.RateCode;
    c.sourceKind = files_->sourceKind();
    c.layout = state_.layout;
    c.threeD = state_.threeD;
    c.projection = state_.projection;
    c.busy = state_.busy || job_.running;
    c.csvAvailable = flow_.csvAvailable;
    const auto on = ComputeButtonStates(c);
    for (int slot = 0; slot < kButtonCount; ++slot) {
        bar_[static_cast<size_t>(slot)]->setEnabled(on[static_cast<size_t>(slot)]);
    }
    if (!c.busy) {
        SetPanelsEnabled(true, true);
    }
    // The pad turns only a recording on show, in the sphere and the panorama.
    pad_->SetButtonsEnabled(
        PadButtonStates(state_.projection, c.busy || c.listSize == 0 || !state_.loaded));
}

void CquovelDlg::PlacePicture() {
    if (ctx_.PlayState == MovieState::kClosed) {
        return;
    }
    const ZoomState& z = state_.zoom;
    ops_.SetZoom(&ctx_, z.centre.x(), z.centre.y(), z.offset.x(), z.offset.y(), z.factor, 1);
}

void CquovelDlg::ApplyZoom() {
    const ZoomState& z = state_.zoom;
    movie_->SetZoom(z.factor);
    moment_.zoom = moment_.zoom <= 0 ? 1.0f : moment_.zoom;
    if (state_.projection >= 3 || !state_.fullScreen) {
        SendViewAspect();
    }
    const bool vertical = !(state_.projection == 4 && static_cast<int>(z.factor) == 1);
    ViewZoomAt(moment_, movie_->width(), movie_->height(), *movie_, vertical, z.point.x(),
               z.point.y(), z.factor);
}

void CquovelDlg::SetBusy(bool on) {
    if (on == state_.busy) {
        return;
    }
    state_.busy = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CquovelDlg::SetPanelsEnabled(bool on, bool keepList) {
    for (CSkinButton* b : {closeButton_, sizeButton_, minimiseButton_}) {
        b->setEnabled(on);
    }
    info_->setEnabled(on);
    files_->tree()->setEnabled(on);
    files_->list()->setEnabled(on || keepList);
    for (int i = 0; i < kFilterButtons; ++i) {
        files_->filterButton(i)->setEnabled(on);
    }
    if (!on) {
        pad_->DisableAll();
    }
}

void CquovelDlg::UpdateRateLabel() {
    info_->RateText = RateText(ctx_.RateCode, ctx_.Ready != 0);
    info_->update();
}

void CquovelDlg::SetEnlarged(bool on) {
    flow_.enlarged = on;
    files_->SetBusyPicture(on);
    info_->update();
    if (!on) {
        ResetZoom();
        ApplyZoom();
    }
}

}  // namespace tavrilo
