// Frames drawn per second in each view, uploading a new decoded frame for every draw, at the
// snapshot capture sizes. Prints figures; decides nothing. Needs a display (Xvfb will do; under
// Mesa's software renderer the figures are a floor, not the goal).

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "video/input/frame_reader.h"
#include "video/render/present_engine.h"
#include "video/render/snapshot.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: draw_bench RECORDING...\n");
        return 1;
    }
    using namespace tavrilo;
    for (int a = 1; a < argc; ++a) {
        FrameReader reader;
        std::string error;
        if (!reader.Open(argv[a], &error)) {
            std::fprintf(stderr, "draw_bench: %s\n", error.c_str());
            return 1;
        }
        std::vector<VideoFrame> frames;
        for (int i = 0; i < 4; ++i) {
            if (auto f = reader.NextFrame(&error)) {
                frames.push_back(*f);
            }
        }
        if (frames.empty()) {
            std::fprintf(stderr, "draw_bench: no frames in %s\n", argv[a]);
            return 1;
        }
        GLPresentEngine engine;
        if (!engine.Initialize()) {
            std::fprintf(stderr, "draw_bench: no OpenGL 3.3 context\n");
            return 1;
        }
        engine.SetVideoSize(reader.width(), reader.height());
        std::printf("%s (%d x %d):\n", argv[a], reader.width(), reader.height());
        for (int mode : {VIEW_SPHERE, VIEW_PANORAMA, VIEW_FLAT}) {
            engine.model().SetViewMode(mode);
            const auto size = CaptureSize(mode, reader.width(), reader.height());
            engine.SetTargetSize(size->first, size->second);
            engine.PresentFrame(&frames[0]);  // warm up
            engine.Finish();
            const int n = 30;
            const auto t0 = std::chrono::steady_clock::now();
            for (int i = 0; i < n; ++i) {
                engine.PresentFrame(&frames[static_cast<size_t>(i) % frames.size()]);
            }
            engine.Finish();
            const double s =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            const char* name = mode == VIEW_SPHERE     ? "sphere"
                               : mode == VIEW_PANORAMA ? "panorama"
                                                       : "flat";
            std::printf("  %-9s at %4d x %-4d  %7.1f frames/s\n", name, size->first, size->second,
                        n / s);
        }
    }
    return 0;
}
