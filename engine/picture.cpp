// Where the picture goes in the video window (zoom, pan, aspect), the view slots that reach
// the projection model, the repaint and the still picture.

#include "engine/engine_internal.h"

namespace tavrilo::engine {
namespace {

// Places the picture from the stored zoom, pan and aspect mode.
int ApplyPicture(EngineContext* ctx, int32_t aspectMode) {
    PlayerBackend* player = Display(ctx);
    int32_t w = 0, h = 0, vw = 0, vh = 0;
    if (player == nullptr || ctx->VideoWindow == nullptr || !ctx->VideoWindow->ClientSize(&w, &h)) {
        return 0;
    }
    player->NativeVideoSize(&vw, &vh);
    const auto rect = ComputePictureRect(w, h, ctx->ZoomCenterX, ctx->ZoomCenterY, ctx->ZoomScale,
                                         ctx->PanX, ctx->PanY, aspectMode == 1, vw, vh);
    if (!rect) {
        return 0;
    }
    ctx->VideoRect = *rect;
    if (!player->SetVideoRect(*rect, aspectMode == 1)) {
        return 0;
    }
    if (ctx->PlayState == MovieState::kClosed) {
        player->SetVolume(ctx->RateCode == 1 ? ctx->Volume : 0);
    }
    return 1;
}

}  // namespace

int SetZoom(EngineContext* ctx, int32_t cx, int32_t cy, int32_t panX, int32_t panY, float scale,
            int32_t repaint) {
    Lock lock = LockFile(ctx);
    ctx->ZoomCenterX = cx;
    ctx->ZoomCenterY = cy;
    ctx->PanX = panX;
    ctx->PanY = panY;
    ctx->ZoomScale = scale;
    const int ok = ApplyPicture(ctx, ctx->AspectMode);
    if (ok && repaint && ctx->Player) {
        ctx->Player->Repaint();
    }
    return ok;
}

int SetAspectMode(EngineContext* ctx, int32_t keep) {
    Lock lock = LockFile(ctx);
    if (!ApplyPicture(ctx, keep)) {
        return 0;
    }
    ctx->AspectMode = keep;
    return 1;
}

int GetVideoSize(EngineContext* ctx, int32_t* width, int32_t* height) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    return player != nullptr && width != nullptr && height != nullptr &&
                   player->NativeVideoSize(width, height)
               ? 1
               : 0;
}

int Repaint(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    return player != nullptr && player->Repaint() ? 1 : 0;
}

// The view slots forward to the projection model under the file lock; without a presenter
// they do nothing and report their failure value.
int DragView(EngineContext* ctx, float dx, float dy, float zoom) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    return player != nullptr ? player->DragView(dx, dy, zoom) : 0;
}
int CommitDrag(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->CommitDrag();
    }
    return 0;
}
int FlipView(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    return player != nullptr ? player->FlipView() : 0;
}
int SetViewType(EngineContext* ctx, int32_t mode) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->SetViewType(mode);
    }
    return 0;
}
int SetViewAspect(EngineContext* ctx, int32_t width, int32_t height) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->SetViewAspect(width, height);
    }
    return 0;
}
int ResetView(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->ResetView();
    }
    return 0;
}

int SaveSnapshot(EngineContext* ctx, const char* path) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    int32_t vw = 0, vh = 0, w = 0, h = 0;
    if (player == nullptr || path == nullptr || !player->NativeVideoSize(&vw, &vh)) {
        return 0;
    }
    if (ctx->VideoWindow == nullptr || !ctx->VideoWindow->ClientSize(&w, &h)) {
        w = vw;
        h = vh;
    }
    return player->SaveCurrentImage(path, w, h) ? 1 : 0;
}

std::optional<PictureRect> ComputePictureRect(int32_t clientWidth, int32_t clientHeight,
                                              int32_t centerX, int32_t centerY, float scale,
                                              int32_t panX, int32_t panY, bool keepAspect,
                                              int32_t videoWidth, int32_t videoHeight) {
    if (scale == 0.0f || clientWidth <= 0 || clientHeight <= 0) {
        return std::nullopt;
    }
    PictureRect r{0, 0, clientWidth, clientHeight};
    const float g = scale - 1.0f;
    const float w = static_cast<float>(clientWidth);
    const float h = static_cast<float>(clientHeight);
    const float cx = static_cast<float>(centerX);
    const float cy = static_cast<float>(centerY);
    // The point at (centerX, centerY) stays where it is while the picture grows.
    r.right += static_cast<int32_t>((1.0f - cx / w) * w * g);
    r.left -= static_cast<int32_t>(cx / w * w * g);
    if (r.right < r.left) {
        return std::nullopt;
    }
    r.bottom += static_cast<int32_t>((1.0f - cy / h) * h * g);
    r.top -= static_cast<int32_t>(cy / h * h * g);
    r.left += panX;
    r.right += panX;
    r.top += panY;
    r.bottom += panY;
    if (keepAspect && videoWidth > 0 && videoHeight > 0) {
        const float x = static_cast<float>(videoWidth) / static_cast<float>(videoHeight);
        int32_t width = r.right - r.left;
        int32_t height = r.bottom - r.top;
        if (w / h > x) {
            width = static_cast<int32_t>(static_cast<float>(height) * x);
        } else {
            height = static_cast<int32_t>(static_cast<float>(width) / x);
        }
        r = {(r.left + r.right - width) / 2, (r.top + r.bottom - height) / 2,
             (r.left + r.right + width) / 2 + 2, (r.top + r.bottom + height) / 2 + 2};
    }
    return r;
}

}  // namespace tavrilo::engine
