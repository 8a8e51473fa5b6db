// render: the picture the viewer would show for one frame, written as a JPEG at the snapshot
// capture size of its view.

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "tools/cli/commands.h"
#include "video/input/frame_reader.h"
#include "video/render/model_view_target.h"
#include "video/render/present_engine.h"
#include "video/render/snapshot.h"
#include "video/render/view_control.h"

namespace tavrilo::cli {
namespace {

// The size of the video view the drags are measured in.
constexpr int kViewWidth = 722;
constexpr int kViewHeight = 406;

struct RenderArgs {
    std::string file, output;
    int64_t frame = 0;
    int view = VIEW_SPHERE;
    std::vector<std::pair<int, int>> drags;
    float zoom = 1.0f;
    bool flip = false, reset = false;
};

bool ParseRender(const Args& args, RenderArgs* r, std::string* error) {
    bool frameGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (a == "--flip") {
            r->flip = true;
        } else if (a == "--reset") {
            r->reset = true;
        } else if (a == "--frame" || a == "--view" || a == "--drag" || a == "--zoom" || a == "-o") {
            const std::string* v = value();
            if (v == nullptr) {
                *error = a + " needs a value";
                return false;
            }
            char* end = nullptr;
            if (a == "--frame") {
                r->frame = std::strtoll(v->c_str(), &end, 10);
                frameGiven = *end == '\0' && r->frame >= 0;
                if (!frameGiven) {
                    *error = "--frame needs a frame number";
                    return false;
                }
            } else if (a == "--view") {
                if (*v == "flat") {
                    r->view = VIEW_FLAT;
                } else if (*v == "sphere") {
                    r->view = VIEW_SPHERE;
                } else if (*v == "panorama") {
                    r->view = VIEW_PANORAMA;
                } else {
                    *error = "--view is flat, sphere or panorama";
                    return false;
                }
            } else if (a == "--drag") {
                int dx = 0, dy = 0;
                char tail = 0;
                if (std::sscanf(v->c_str(), "%d,%d%c", &dx, &dy, &tail) != 2) {
                    *error = "--drag needs DX,DY in pixels";
                    return false;
                }
                r->drags.emplace_back(dx, dy);
            } else if (a == "--zoom") {
                r->zoom = std::strtof(v->c_str(), &end);
                if (*end != '\0' || !(r->zoom >= 1.0f && r->zoom <= 16.0f)) {
                    *error = "--zoom is between 1 and 16";
                    return false;
                }
            } else {
                r->output = *v;
            }
        } else if (r->file.empty()) {
            r->file = a;
        } else {
            *error = "unexpected argument " + a;
            return false;
        }
    }
    if (r->file.empty() || r->output.empty() || !frameGiven) {
        *error =
            "usage: tavrilo-cli render FILE --frame N [--view flat|sphere|panorama] "
            "[--drag DX,DY ...] [--zoom Z] [--flip] [--reset] -o OUT.jpg";
        return false;
    }
    return true;
}

}  // namespace

int Render(const Args& args) {
    RenderArgs r;
    std::string error;
    if (!ParseRender(args, &r, &error)) {
        return Fail("render", error);
    }
    // What is wrong with the file is said first, display or not.
    FrameReader reader;
    if (!reader.Open(r.file, &error)) {
        return Fail("render", error);
    }
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        return Fail("render", "drawing needs a display for OpenGL; run under xvfb-run");
    }
    int argc = 1;
    char name[] = "tavrilo-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    const auto frame = reader.ReadFrame(r.frame, &error);
    if (!frame) {
        return Fail("render", error);
    }
    GLPresentEngine engine;
    if (!engine.Initialize()) {
        return Fail("render", "no OpenGL 3.3 context");
    }
    engine.SetVideoSize(reader.width(), reader.height());
    CSphereModel& model = engine.model();
    model.SetViewMode(r.view);
    // Drags as a mouse would make them in the viewer's video view, each committed.
    model.SetWindowAspect(kViewWidth, kViewHeight);
    ModelViewTarget target(model);
    CMoment moment;
    moment.zoom = r.zoom;
    ViewZoomAt(moment, kViewWidth, kViewHeight, target, r.view != VIEW_PANORAMA, kViewWidth / 2,
               kViewHeight / 2, r.zoom);
    for (auto [dx, dy] : r.drags) {
        ViewDrag(moment, kViewHeight, target, true, dx, r.view == VIEW_PANORAMA ? 0 : dy,
                 moment.zoom);
        target.CommitDrag();
    }
    if (r.flip) {
        model.Flip();
    }
    if (r.reset) {
        model.ResetView();
    }
    const auto size = CaptureSize(r.view, reader.width(), reader.height());
    engine.SetTargetSize(size->first, size->second);
    engine.PresentFrame(&*frame);
    const QImage picture = engine.GrabImage();
    if (!SaveSnapshot(picture, r.output)) {
        return Fail("render", "cannot write " + r.output);
    }
    std::puts(nlohmann::ordered_json{{"file", r.output},
                                     {"frame", frame->index},
                                     {"width", picture.width()},
                                     {"height", picture.height()}}
                  .dump(2)
                  .c_str());
    return 0;
}

}  // namespace tavrilo::cli
