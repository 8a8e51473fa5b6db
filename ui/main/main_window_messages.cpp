// The main window's private messages, the video view's notices, the context menu and the
// commands this window carries out itself.

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <filesystem>

#include "files/c_source_open_dlg.h"
#include "maintenance/c_setting_dlg.h"
#include "ui/main/c_movie_menu.h"
#include "ui/main/c_quovel_dlg.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "widgets/app_message.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_progress_bar_ctrl.h"
#include "widgets/c_skin_slider_ctrl.h"

namespace tavrilo {

bool CquovelDlg::event(QEvent* e) {
    const AppMessage* m = AsAppMessage(e);
    if (m == nullptr) {
        return QDialog::event(e);
    }
    switch (m->message()) {
        case UWM_INIT_DONE:
            OnInitDone();
            return true;
        case UWM_SLIDER_PRESS:
        case UWM_SLIDER_TRACK:
        case UWM_SLIDER_RELEASE:
            OnSliderMessage(m->message(), static_cast<int>(m->wParam), static_cast<int>(m->lParam));
            return true;
        case UWM_OPEN_READY:
            OnOpenReady(m->wParam);
            return true;
        case UWM_SOURCE_LOST:
            OnSourceLost();
            return true;
        case UWM_GSENSOR_LCLICK:
        case UWM_GSENSOR_RCLICK:
            JumpToEvent(m->message() == UWM_GSENSOR_RCLICK);
            return true;
        case UWM_INFO_TOGGLE: {
            // The trip panel's three buttons switch event classes 0..2 in the graph and on the map.
            const auto cls = static_cast<size_t>(m->wParam);
            if (cls < 3) {
                graph_->classes().enabled[cls] = graph_->classes().onMap[cls] =
                    m->lParam != 0 ? 1 : 0;
                graph_->update();
                BuildEventPoints();
                SendTrackToMap();
            }
            return true;
        }
        case UWM_JOB_DONE:
            OnJobDone();
            return true;
        case UWM_MAP_READY:
            OnMapReady();
            return true;
        case UWM_MAP_SEEK:
            // A clicked event marker: to its frame.
            if (ctx_.MovieLoaded != 0) {
                SeekTo(m->lParam);
                mapWrap_->ExecuteScript(QStringLiteral("orbitgrplist.MoveMarker()"));
            }
            return true;
        case UWM_SETTING_CHANGED:
            // The settings' switch 0: the parking-impact class in the graph, the jumps and the map.
            if (m->wParam == 0) {
                graph_->classes().enabled[5] = graph_->classes().onMap[5] = m->lParam != 0 ? 1 : 0;
                graph_->update();
                BuildEventPoints();
                SendTrackToMap();
            }
            return true;
        case UWM_JOB_RELIST:
            OnJobRelist();
            return true;
        case UWM_JOB_PROGRESS: {
            const int total = static_cast<int>(m->lParam);
            progress_->SetPos(total > 0 ? static_cast<int>(m->wParam * 100 / total) : 100);
            progress_->raise();
            progress_->repaint();
            return true;
        }
        default:
            break;
    }
    return QDialog::event(e);
}

void CquovelDlg::OnSliderMessage(uint32_t message, int id, int position) {
    if (id == 38101) {
        // The volume follows drags and the release; a press alone does nothing.
        if (message != UWM_SLIDER_PRESS) {
            ApplyVolume(static_cast<uint16_t>(std::clamp(position, 0, 65535)));
        }
        return;
    }
    if (id != 38100 || !flow_.seekInput || state_.busy || !flow_.published) {
        return;
    }
    switch (message) {
        case UWM_SLIDER_PRESS:
            if (Ending()) {
                return;
            }
            seekDrag_ = {ctx_.PlayState, !seek_->pressOutsideThumb(), false};
            if (ctx_.PlayState == MovieState::kPlaying) {
                ops_.Pause(&ctx_);
            }
            if (!seekDrag_.thumb) {
                // A press on the track jumps there at once, and playback goes on.
                SeekTo(position);
                if (seekDrag_.before == MovieState::kPlaying) {
                    ops_.Play(&ctx_);
                }
                UpdateButtons();
            }
            break;
        case UWM_SLIDER_TRACK:
            if (seekDrag_.before != MovieState::kClosed) {
                // Dragging previews the views; the engine stays until the release.
                seekDrag_.moved = true;
                if (seekDrag_.before == MovieState::kPlaying && !seekDrag_.thumb) {
                    ops_.Pause(&ctx_);
                }
                RefreshViewsAt(position);
            }
            break;
        case UWM_SLIDER_RELEASE:
            if (seekDrag_.before != MovieState::kClosed && (seekDrag_.thumb || seekDrag_.moved)) {
                SeekTo(position);
                if (seekDrag_.before == MovieState::kPlaying) {
                    ops_.Play(&ctx_);
                }
                UpdateButtons();
            }
            seekDrag_ = {};
            break;
        default:
            break;
    }
}

void CquovelDlg::OnCommand(int id) {
    switch (id) {
        case kCommandClose:
            ShutDown();
            QDialog::done(0);
            break;
        case kCommandMinimise:
            showMinimized();
            break;
        case kCommandSize: {
            SetLayout(NextLayout(state_.layout));
            // Back onto the work area of the monitor when the window stuck out of it.
            const QScreen* screen = QGuiApplication::screenAt(frameGeometry().center());
            if (screen != nullptr && !state_.fullScreen) {
                const QPoint at = PlaceOnWorkArea(frameGeometry(), screen->availableGeometry());
                move(pos() + (at - frameGeometry().topLeft()));
                state_.windowPosition = pos();
            }
            break;
        }
        case kCommandBar + 0:
            GoToStart();
            break;
        case kCommandBar + 1:
            PreviousRecording();
            break;
        case kCommandBar + 5:
            NextRecording();
            break;
        case kCommandBar + 2:
            PlayOrPause();
            break;
        case kCommandBar + 3:
        case kCommandBar + 4:
            StepRate(id == kCommandBar + 4);
            break;
        case kCommandBar + 6:
            TakeSnapshot();
            break;
        case kCommandBar + 8:
            if (!Ending()) {
                SetEnlarged(!flow_.enlarged);
            }
            break;
        case kCommandBar + 10:
            // The picture upside down; the button stays pressed while it is.
            ops_.FlipView(&ctx_);
            state_.flipped = !state_.flipped;
            bar_[10]->SetHeld(state_.flipped);
            update();
            ops_.Repaint(&ctx_);
            break;
        case kCommandBar + 11:
            if (state_.layout == 0 && !state_.fullScreen) {
                state_.mapHidden = !state_.mapHidden;
                bar_[11]->SetHeld(state_.mapHidden);
                ApplyMapOrLogo();
            } else if (state_.projection == 3) {
                ResetView();
            }
            break;
        case 38201:
            if (state_.projection == 3) {
                ResetView();
            }
            break;
        case kCommandBar + 12:
            BrowseSource();
            break;
        case kCommandBar + 15:
            ExportCsvCommand();
            break;
        case kCommandBar + 7:
            JoinCommand();
            break;
        case kCommandBar + 14:
            settingsDlg_->show();
            settingsDlg_->raise();
            break;
        case kCommandBar + 13:
            DeleteCommand();
            break;
        case kCommandBar + 9: {
            // The next projection: 2 -> 3 -> 4 (wide) -> 2; 1 stays; without 3D always 2.
            const int mode = state_.projection;
            if (mode == 1) {
                SetProjection(1, false);
            } else if (!state_.threeD) {
                SetProjection(2, false);
            } else if (mode == 2) {
                SetProjection(3, false);
            } else if (mode == 3) {
                SetProjection(4, true);
            } else {
                SetProjection(2, false);
            }
            state_.savedProjection = state_.projection;
            break;
        }
        default:
            break;  // the playback commands arrive with the playback flow
    }
}

std::vector<MenuItem> CquovelDlg::ContextMenuItems() const {
    MenuContext c;
    c.fullScreen = state_.fullScreen;
    c.layoutMode = state_.layout;
    c.viewMode = state_.projection;
    c.rateCode = ctx_.RateCode;
    c.engineReady = ctx_.Ready != 0;
    c.aspectMode = ctx_.AspectMode;
    if (!state_.threeD || !ctx_.Ready) {
        return BrowseMenu(c);
    }
    switch (ctx_.PlayState) {
        case MovieState::kClosed:
            return BrowseMenu(c);
        case MovieState::kStopped:
            return BuildStoppedMenu(c);
        case MovieState::kPlaying:
            return BuildPlayingMenu(c);
        case MovieState::kPaused:
            c.paused = true;
            return BuildPlayingMenu(c);
    }
    return {};
}

void CquovelDlg::OnViewContextMenu(QPoint screen) {
    if (state_.busy || (ctx_.PlayState != MovieState::kClosed && FramesLeft() < 10)) {
        return;  // refused at the end of a recording and while an opening runs
    }
    const std::vector<MenuItem> items = ContextMenuItems();
    if (items.empty()) {
        return;
    }
    CMovieMenu menu(items, state_.fullScreen, this);
    const int id = menu.Track(screen);
    movie_->MenuShown();
    if (id != 0) {
        OnCommand(id);
    }
}

void CquovelDlg::OnViewZoomStep(QPoint click) {
    if (movie_->width() <= 0 || movie_->height() <= 0) {
        return;
    }
    const PictureRect& p = ctx_.VideoRect;
    const QRect picture(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1));
    const QPoint centre = state_.fullScreen ? QPoint(movie_->width() / 2, movie_->height() / 2)
                                            : ComputeLayout(state_.layout, false).zoomCentre;
    state_.zoom.Step(click, picture, QRect(0, 0, movie_->width(), movie_->height()), centre);
    ApplyZoom();
}

void CquovelDlg::OnViewDoubleClick() {
    if (state_.fullScreen) {
        LeaveFullScreen();
    } else {
        EnterFullScreen();
    }
}

void CquovelDlg::OnViewResized() {
    PlacePicture();
    SendViewAspect();
}

void CquovelDlg::BrowseSource() {
    if (ctx_.Ready && ctx_.PlayState == MovieState::kPlaying) {
        ops_.Pause(&ctx_);
    }
    StopPlayback();
    info_->StatusByte = 'R';
    SetEnlarged(false);
    flow_.csvAvailable = false;
    CloseRecordingViews();
    CSourceOpenDlg dialog(settings_, *options_.drives, this);
    if (dialog.exec() != QDialog::Accepted) {
        UpdateButtons();
        return;
    }
    const std::string path = SourcePathToOpen(dialog.ChosenText());
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec)) {
        return;
    }
    files_->LoadSource(path, static_cast<SourceKind>(dialog.kind()));
    flow_.csvAvailable =
        files_->sourceKind() == SourceKind::kCard && !files_->GetAllRecordings().empty();
    ListChosenFolder();
    UpdateButtons();
}

}  // namespace tavrilo
