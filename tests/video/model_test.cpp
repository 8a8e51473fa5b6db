// The projection model's view operations and pictures drawn through it with OpenGL.

#include "video/render/sphere_model.h"

#include <gtest/gtest.h>
#include <QGuiApplication>

#include <cmath>
#include <filesystem>

#include "tests/support/process.h"
#include "tools/gen/frame_strip.h"
#include "tools/gen/lens.h"
#include "video/input/frame_reader.h"
#include "video/render/model_view_target.h"
#include "video/render/present_engine.h"
#include "video/render/snapshot.h"
#include "video/render/view_control.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using tavrilo::test::Quote;
using tavrilo::test::RunCommand;

// An engine with a context; every test starts from the program's initial view state.
class Gl : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "OpenGL needs a display; the test script runs these under Xvfb";
        }
        ResetViewStateForTesting();
        ASSERT_TRUE(engine.Initialize()) << "no OpenGL 3.3 context";
        ASSERT_EQ(engine.SetVideoSize(256, 256), kOk);
        ASSERT_TRUE(engine.SetTargetSize(320, 180));
    }
    void TearDown() override { ResetViewStateForTesting(); }
    CSphereModel& model() { return engine.model(); }
    GLPresentEngine engine;
};

TEST_F(Gl, DrawingNeedsAViewMode) {
    GlCanvas* none = nullptr;
    EXPECT_EQ(model().DrawFrame(none, nullptr), kFail);
    model().SetViewMode(2);
    EXPECT_EQ(CurrentViewState().viewReady, 1);
    EXPECT_EQ(model().DrawFrame(none, nullptr), kOk);
    for (int bad : {0, 5}) {
        model().SetViewMode(bad);
        EXPECT_EQ(CurrentViewState().viewReady, 0) << bad;
        EXPECT_EQ(model().DrawFrame(none, nullptr), kFail);
    }
}

TEST_F(Gl, PanoramaPanWrapsAndIgnoresVerticalAtZoomOne) {
    model().SetViewMode(VIEW_PANORAMA);
    // From -0.1, one drag of 0.1 / pi: 0.0 (kept), 0.1 (to -4.0), then -3.9.
    model().Drag(-0.1f / static_cast<float>(M_PI), 0, 1.0f);  // -0.3 from 0: to -0.3
    ViewState s = CurrentViewState();
    EXPECT_NEAR(s.panoramaPanX, -0.3f, 1e-6);
    model().ResetView();
    model().Drag(-0.1f / static_cast<float>(M_PI) / 3.0f, 0, 1.0f);
    ASSERT_NEAR(CurrentViewState().panoramaPanX, -0.1f, 1e-6);
    model().Drag(0.1f / static_cast<float>(M_PI), 0.2f, 1.0f);
    s = CurrentViewState();
    EXPECT_NEAR(s.panoramaPanX, -3.9f, 1e-5);
    EXPECT_EQ(s.panoramaPanY, 0.0f);
    // At zoom 2 a vertical drag moves by 3 pi dy.
    model().Drag(0, 0.1f, 2.0f);
    EXPECT_NEAR(CurrentViewState().panoramaPanY, 0.3f * static_cast<float>(M_PI), 1e-5);
    EXPECT_EQ(CurrentViewState().panoramaZoom, 2.0f);
}

TEST_F(Gl, FlatPansOnlyWhenZoomed) {
    model().SetViewMode(VIEW_FLAT);
    model().Drag(0.5f, 0.5f, 1.0f);
    EXPECT_EQ(CurrentViewState().flatPanX, 0.0f);
    EXPECT_EQ(CurrentViewState().flatPanY, 0.0f);
    for (int i = 0; i < 3; ++i) {
        model().Drag(1.0f, -1.0f, 2.0f);
    }
    EXPECT_NEAR(CurrentViewState().flatPanX, 3 * 10.775663f, 1e-4);  // no limit
    EXPECT_NEAR(CurrentViewState().flatPanY, -3 * 10.775663f, 1e-4);
    model().ResetView();  // nothing in flat mode
    EXPECT_NEAR(CurrentViewState().flatPanX, 3 * 10.775663f, 1e-4);
}

TEST_F(Gl, FlipTwiceIsUpright) {
    model().SetViewMode(VIEW_SPHERE);
    EXPECT_EQ(model().Flip(), 1);
    ViewState s = CurrentViewState();
    EXPECT_EQ(s.sphereUp, -0.1f);
    EXPECT_EQ(s.panoramaUp, -0.1f);  // three toggles
    EXPECT_EQ(s.flatUp, -0.1f);
    EXPECT_EQ(model().Flip(), 0);
    s = CurrentViewState();
    EXPECT_EQ(s.sphereUp, 0.1f);
    EXPECT_EQ(s.panoramaUp, 0.1f);
    EXPECT_EQ(s.flatUp, 0.1f);
}

TEST_F(Gl, SphereDragsTurnTowardTheNearestAllowedDirection) {
    model().SetViewMode(VIEW_SPHERE);
    // No movement: orientation unchanged, only the zoom taken.
    EXPECT_EQ(model().Drag(0, 0, 2.0f), 1);
    EXPECT_EQ(CurrentViewState().sphereOrientation.current, (std::array<double, 4>{1, 0, 0, 0}));
    EXPECT_EQ(model().sphereZoom(), 2.0f);
    // An allowed drag is taken as asked.
    EXPECT_EQ(model().Drag(0.05f, 0, 1.0f), 1);
    const auto taken = CurrentViewState().sphereOrientation.current;
    EXPECT_NEAR(taken[2], std::sin(0.05 * M_PI), 1e-6);
    // A drag whose end is not allowed (a yaw putting a horizon diagonal straight behind) is
    // turned and shortened. Find such a drag near an eighth turn, in float as the model uses.
    model().ResetView();
    float refused = 0;
    for (int k = -2000; k <= 2000 && refused == 0; ++k) {
        const float rx = 0.125f + static_cast<float>(k) * 1e-7f;
        SphereOrientation probe;
        TrackballRotate(probe, rx, 0);
        if (!IsOrientationAllowed(probe)) {
            refused = rx;
        }
    }
    ASSERT_NE(refused, 0.0f);
    EXPECT_EQ(model().Drag(refused, 0, 1.0f), 0);
    const SphereOrientation turned = CurrentViewState().sphereOrientation;
    EXPECT_TRUE(IsOrientationAllowed(turned));
    EXPECT_NE(turned.current[1], 0.0);  // it tipped a little as well
    // Commit makes the current orientation the base of the next drag.
    model().CommitDrag();
    EXPECT_EQ(CurrentViewState().sphereOrientation.base, turned.current);
    // Switching to the panorama resets the sphere.
    model().SetViewMode(VIEW_PANORAMA);
    EXPECT_EQ(CurrentViewState().sphereOrientation.current, (std::array<double, 4>{1, 0, 0, 0}));
}

TEST_F(Gl, NewResourcesKeepTheView) {
    model().SetViewMode(VIEW_SPHERE);
    model().Drag(0.1f, 0, 1.0f);
    model().Flip();
    const ViewState before = CurrentViewState();
    ASSERT_EQ(engine.SetVideoSize(640, 480), kOk);
    const ViewState after = CurrentViewState();
    EXPECT_EQ(after.sphereOrientation.current, before.sphereOrientation.current);
    EXPECT_EQ(after.sphereUp, before.sphereUp);
    EXPECT_EQ(after.viewMode, VIEW_SPHERE);
}

TEST(SamplePoolTest, TwoSamplesInFlight) {
    SamplePool<int> pool;
    std::optional<int> s;
    EXPECT_EQ(pool.TakeSample(&s), kNotInitialized);
    EXPECT_EQ(pool.Fill({1, 2}), 0);
    EXPECT_EQ(pool.Fill({3}), kInvalidRequest);
    EXPECT_EQ(pool.TakeSample(&s), 0);
    EXPECT_EQ(s, 1);
    EXPECT_TRUE(pool.HasPending());
    pool.TakeSample(&s);
    EXPECT_EQ(pool.TakeSample(&s), 0);  // empty: no sample, no error
    EXPECT_FALSE(s.has_value());
    EXPECT_EQ(pool.GiveBack(2), 0);
    EXPECT_EQ(pool.GiveBack(1), 0);
    EXPECT_FALSE(pool.HasPending());
    pool.Empty();
    EXPECT_EQ(pool.GiveBack(1), kNotInitialized);
}

TEST(SnapshotName, FolderRecordingGroupSerialFrame) {
    RecordingEntry e;
    e.Name = "001_123456_A.MP4";
    e.GroupKey = 0;
    e.Serial = 7;
    EXPECT_EQ(BuildSnapshotPath("Shots", e, 1234), "Shots/Shots-001_123456_A-000_007_001234.jpg");
    EXPECT_EQ(BuildSnapshotPath("/media/card/Shots/", e, 1234),
              "/media/card/Shots/Shots-001_123456_A-000_007_001234.jpg");
    EXPECT_EQ(BuildSnapshotPath("E:\\", e, 5), "E:\\E-001_123456_A-000_007_000005.jpg");
    EXPECT_EQ(BuildSnapshotPath("/", e, 5), "/root-001_123456_A-000_007_000005.jpg");
    EXPECT_EQ(BuildSnapshotPath("/tmp/Shots", e, std::nullopt),
              "/tmp/Shots/Shots-001_123456_A-000_007_000000.jpg");
    EXPECT_EQ(BuildSnapshotPath("/tmp/Shots", e, -1), "/tmp/Shots");
    e.Name = "noext";
    e.GroupKey = 12;
    e.Serial = 3456;
    EXPECT_EQ(BuildSnapshotPath("/s", e, 1234567), "/s/s--012_3456_1234567.jpg");
    EXPECT_EQ(CaptureSize(VIEW_SPHERE, 100, 100), std::make_pair(1280, 720));
    EXPECT_EQ(CaptureSize(VIEW_PANORAMA, 100, 100), std::make_pair(2469, 720));
    EXPECT_EQ(CaptureSize(VIEW_FLAT, 1440, 1440), std::make_pair(1440, 1440));
    EXPECT_FALSE(CaptureSize(7, 1, 1).has_value());
}

// A fake engine for the drag functions.
class RecordingTarget : public ViewTarget {
  public:
    bool Ready() const override { return ready; }
    bool DragView(float dx, float dy, float zoom) override {
        drags.push_back({dx, dy, zoom});
        return accept;
    }
    void CommitDrag() override { ++commits; }
    void Repaint() override { ++repaints; }
    int32_t PlayState() const override { return state; }
    bool ready = true, accept = true;
    int32_t state = 2;
    int commits = 0, repaints = 0;
    std::vector<std::array<float, 3>> drags;
};

TEST(ViewDragTest, ScaleAxisLockRefusalAndRepaint) {
    CMoment m;
    RecordingTarget t;
    // A drag across the whole height turns one field of view: dx * 60 / zoom / 360 / height.
    EXPECT_TRUE(ViewDrag(m, 400, t, false, 400, 0, 1.0f));
    EXPECT_FLOAT_EQ(t.drags.back()[0], 60.0f / 360.0f);
    // At zoom 2 the same movement turns half as far.
    ViewDrag(m, 400, t, false, 400, 0, 2.0f);
    EXPECT_FLOAT_EQ(t.drags.back()[0], 30.0f / 360.0f);
    // With the axis lock a tie keeps the horizontal part.
    ViewDrag(m, 400, t, true, 10, -10, 1.0f);
    EXPECT_NE(t.drags.back()[0], 0.0f);
    EXPECT_EQ(t.drags.back()[1], 0.0f);
    ViewDrag(m, 400, t, true, 10, -11, 1.0f);
    EXPECT_EQ(t.drags.back()[0], 0.0f);
    // A refused vertical drag clears the record and commits.
    m.vx = 5;
    m.accX = 9;
    t.accept = false;
    EXPECT_FALSE(ViewDrag(m, 400, t, true, 1, 50, 1.0f));
    EXPECT_EQ(m.vx, 0);
    EXPECT_EQ(m.accX, 0);
    EXPECT_EQ(t.commits, 1);
    // A refused drag with a horizontal part still counts as taken.
    EXPECT_TRUE(ViewDrag(m, 400, t, true, 50, 1, 1.0f));
    // Paused: the picture is repainted after a real movement only.
    t.accept = true;
    t.state = 3;
    ViewDrag(m, 400, t, false, 3, 0, 1.0f);
    ViewDrag(m, 400, t, false, 0, 0, 1.0f);
    EXPECT_EQ(t.repaints, 1);
    // Not ready: nothing reaches the engine.
    t.ready = false;
    const size_t calls = t.drags.size();
    EXPECT_FALSE(ViewDrag(m, 400, t, false, 0, 9, 1.0f));
    EXPECT_EQ(t.drags.size(), calls);
}

TEST(ViewDragTest, ZoomAtKeepsThePointInPlace) {
    CMoment m;
    RecordingTarget t;
    ViewZoomAt(m, 800, 400, t, true, 600, 100, 2.0f);
    EXPECT_EQ(m.zoom, 2.0f);
    EXPECT_EQ(m.x, 600);
    ASSERT_EQ(t.drags.size(), 1u);
    // dx = (400 - 600) * 1 = -200 pixels at zoom 2; dy = (200 - 100) * 1 = 100.
    EXPECT_FLOAT_EQ(t.drags[0][0], -200 * 60.0f / 2.0f / 360.0f / 400.0f);
    EXPECT_FLOAT_EQ(t.drags[0][1], 100 * 60.0f / 2.0f / 360.0f / 400.0f);
    EXPECT_EQ(t.commits, 1);
}

// Pictures of a generated recording, read back from the rendered image.
class Pictures : public Gl {
  protected:
    static void SetUpTestSuite() {
        file_ = new fs::path(fs::temp_directory_path() /
                             ("tavrilo-pictures-" + std::to_string(getpid()) + ".MP4"));
        const auto r = RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(*file_) +
                                  " --size 512 --seconds 1 --crf 12");
        ASSERT_EQ(r.status, 0) << r.output;
    }
    static void TearDownTestSuite() {
        fs::remove(*file_);
        delete file_;
    }
    QImage Render(int mode, int64_t frameIndex, int width, int height) {
        FrameReader reader;
        std::string error;
        EXPECT_TRUE(reader.Open(file_->string(), &error)) << error;
        const auto frame = reader.ReadFrame(frameIndex, &error);
        EXPECT_TRUE(frame.has_value()) << error;
        if (!frame) {
            return {};
        }
        EXPECT_EQ(frame->index, frameIndex);
        engine.SetVideoSize(frame->width, frame->height);
        model().SetViewMode(mode);
        engine.SetTargetSize(width, height);
        engine.PresentFrame(&*frame);
        return engine.GrabImage();
    }
    // The panel colour nearest to a pixel: 'R'ed front, 'G'reen right, 'B'lue back, 'Y'ellow left.
    static char Panel(const QImage& img, int x, int y) {
        const QColor c = img.pixelColor(x, y);
        struct Known {
            char name;
            int r, g, b;
        };
        static const Known kPanels[] = {
            {'R', 200, 40, 40}, {'G', 40, 170, 60}, {'B', 40, 70, 210}, {'Y', 225, 205, 40}};
        for (const Known& k : kPanels) {
            if (std::abs(c.red() - k.r) < 40 && std::abs(c.green() - k.g) < 40 &&
                std::abs(c.blue() - k.b) < 40) {
                return k.name;
            }
        }
        return '?';
    }
    // The panel at a direction of the scene, in a flat picture `size` pixels square.
    static char Panel(const QImage& img, double azimuth, double elevation, int size) {
        const gen::TexCoord t = gen::TexelOfDirection(gen::DirectionFromAngles(azimuth, elevation));
        return Panel(img, static_cast<int>(t.u * size), static_cast<int>(t.v * size));
    }
    static fs::path* file_;
};
fs::path* Pictures::file_ = nullptr;

TEST_F(Pictures, SphereLooksFrontWithTheHorizonInTheMiddle) {
    const QImage img = Render(VIEW_SPHERE, 3, 1280, 720);
    ASSERT_EQ(img.size(), QSize(1280, 720));
    // The red front panel below the label, left and right of centre; sky above, ground below.
    EXPECT_EQ(Panel(img, 640 - 250, 400), 'R');
    EXPECT_EQ(Panel(img, 640 + 250, 400), 'R');
    const QColor sky = img.pixelColor(100, 200);
    const QColor ground = img.pixelColor(100, 600);
    EXPECT_GT(sky.blue(), sky.red() + 40);
    EXPECT_GT(ground.red(), ground.blue());
    // The horizon line (white) crosses the middle row band.
    int whiteRows = 0;
    for (int y = 340; y < 380; ++y) {
        const QColor c = img.pixelColor(100, y);
        whiteRows += c.red() > 220 && c.green() > 220 && c.blue() > 220;
    }
    EXPECT_GT(whiteRows, 0);
}

TEST_F(Pictures, AQuarterTurnDragBringsTheRightPanelToTheMiddle) {
    model().SetViewMode(VIEW_SPHERE);
    model().SetWindowAspect(722, 406);
    ModelViewTarget target(model());
    CMoment m;
    // 609 pixels of a 406-pixel-high view: 0.25 of a turn. Pulling the picture left brings
    // what is on the right into view.
    ViewDrag(m, 406, target, true, -609, 0, 1.0f);
    target.CommitDrag();
    const QImage img = Render(VIEW_SPHERE, 3, 1280, 720);
    EXPECT_EQ(Panel(img, 640 - 250, 400), 'G');
    EXPECT_EQ(Panel(img, 640 + 250, 400), 'G');
}

TEST_F(Pictures, PanoramaShowsTheFourSidesInOrderAndWraps) {
    const QImage img = Render(VIEW_PANORAMA, 3, 2469, 720);
    ASSERT_EQ(img.size(), QSize(2469, 720));
    // Along the panel band (just below the horizon): the sequence of panel colours.
    std::string seen;
    const int y = 720 * 28 / 100;
    for (int x = 0; x < img.width(); x += 4) {
        const char p = Panel(img, x, y);
        if (p != '?' && (seen.empty() || seen.back() != p)) {
            seen += p;
        }
    }
    // Left to right: back (cut by the edge), left, front, right, back again: it wraps.
    EXPECT_EQ(seen, "BYRGB");
}

TEST_F(Pictures, FlatShowsTheWholeFrameAndItsNumber) {
    for (int64_t n : {0, 7, 29}) {
        const QImage img = Render(VIEW_FLAT, n, 512, 512);
        const QImage grey = img.convertToFormat(QImage::Format_Grayscale8);
        EXPECT_EQ(
            gen::ReadFrameStrip(grey.constBits(), static_cast<int>(grey.bytesPerLine()), 512, 512),
            static_cast<uint32_t>(n));
        // The circle touches the edges: black corners; the front panel at the top, the left
        // one at the left, as the lens put them.
        EXPECT_LT(img.pixelColor(2, 2).value(), 30);
        EXPECT_EQ(Panel(img, 20, -5, 512), 'R');
        EXPECT_EQ(Panel(img, 290, -5, 512), 'Y');
    }
}

TEST_F(Pictures, TheRenderTargetFollowsEveryNewSize) {
    // The target's buffers are made as it is drawn into: each size, larger or smaller than
    // the last, gives a whole picture of that size.
    for (const int side : {256, 128, 512, 256}) {
        const QImage img = Render(VIEW_FLAT, 5, side, side);
        ASSERT_EQ(img.size(), QSize(side, side));
        EXPECT_EQ(Panel(img, 20, -5, side), 'R') << side;
        EXPECT_EQ(Panel(img, 290, -5, side), 'Y') << side;
    }
}

TEST_F(Pictures, LostContextPaintsBlackThenRecovers) {
    Render(VIEW_FLAT, 5, 256, 256);
    engine.SimulateContextLoss();
    engine.PresentFrame(nullptr);
    const QImage black = engine.GrabImage();
    EXPECT_LT(black.pixelColor(128, 60).value(), 10);
    engine.PresentFrame(nullptr);  // the same frame again, on a new context
    const QImage back = engine.GrabImage();
    EXPECT_EQ(Panel(back, 20, -5, 256), 'R');
}

TEST_F(Pictures, SnapshotIsAJpegOfThePicture) {
    const QImage img = Render(VIEW_SPHERE, 3, 1280, 720);
    const std::string path =
        (fs::temp_directory_path() / ("tavrilo-snap-" + std::to_string(getpid()) + ".jpg"))
            .string();
    ASSERT_TRUE(SaveSnapshot(img, path));
    QImage back(QString::fromStdString(path));
    fs::remove(path);
    ASSERT_EQ(back.size(), QSize(1280, 720));
    EXPECT_EQ(Panel(back, 640 - 250, 400), 'R');
    EXPECT_FALSE(SaveSnapshot(img, "/nonexistent/folder/x.jpg"));
}

TEST(FrameReaderTest, SeeksToEveryFrameExactly) {
    const fs::path file =
        fs::temp_directory_path() / ("tavrilo-seek-" + std::to_string(getpid()) + ".MP4");
    ASSERT_EQ(RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(file) +
                         " --size 128 --seconds 3 --fps 27.5 --codec h265")
                  .status,
              0);
    FrameReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(file.string(), &error)) << error;
    EXPECT_EQ(reader.frameCount(), 83);
    EXPECT_EQ(reader.width(), 128);
    for (int64_t n : {82, 0, 41, 27, 28, 1, 55, 54}) {
        const auto f = reader.ReadFrame(n, &error);
        ASSERT_TRUE(f.has_value()) << n << " " << error;
        EXPECT_EQ(f->index, n);
        EXPECT_EQ(gen::ReadFrameStrip(f->planes[0], f->strides[0], f->width, f->height),
                  static_cast<uint32_t>(n));
    }
    const auto next = reader.NextFrame(&error);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->index, 55);
    EXPECT_FALSE(reader.ReadFrame(83, &error).has_value());
    EXPECT_NE(error.find("past the end"), std::string::npos);
    fs::remove(file);
    EXPECT_FALSE(reader.Open("/nonexistent.MP4", &error));
}

}  // namespace
}  // namespace tavrilo

namespace tavrilo {
namespace {

TEST(RenderCommand, WritesWhatTheViewerShows) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "OpenGL needs a display";
    }
    const fs::path dir = fs::temp_directory_path() / ("tavrilo-render-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "001_120000_A.MP4";
    ASSERT_EQ(RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(file) +
                         " --size 384 --seconds 1")
                  .status,
              0);
    const std::string cli = std::string(TAVRILO_CLI) + " render " + Quote(file);

    auto r = RunCommand(cli + " --frame 7 --view flat -o " + Quote(dir / "flat.jpg"));
    ASSERT_EQ(r.status, 0) << r.output;
    QImage flat(QString::fromStdString((dir / "flat.jpg").string()));
    ASSERT_EQ(flat.size(), QSize(384, 384));  // the flat capture is the video's own size
    const QImage grey = flat.convertToFormat(QImage::Format_Grayscale8);
    EXPECT_EQ(
        gen::ReadFrameStrip(grey.constBits(), static_cast<int>(grey.bytesPerLine()), 384, 384), 7u);

    r = RunCommand(cli + " --frame 2 --view sphere --drag -609,0 -o " + Quote(dir / "right.jpg"));
    ASSERT_EQ(r.status, 0) << r.output;
    QImage right(QString::fromStdString((dir / "right.jpg").string()));
    ASSERT_EQ(right.size(), QSize(1280, 720));
    const QColor c = right.pixelColor(640 - 250, 400);
    EXPECT_GT(c.green(), c.red() + 60) << c.name().toStdString();

    r = RunCommand(cli + " --frame 2 --view panorama --drag -300,0 --reset -o " +
                   Quote(dir / "pano.jpg"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(QImage(QString::fromStdString((dir / "pano.jpg").string())).size(), QSize(2469, 720));

    for (const std::string& bad :
         {std::string(" --frame 99 -o x.jpg"), std::string(" --view cube --frame 1 -o x.jpg"),
          std::string(" --frame 1")}) {
        r = RunCommand(cli + bad);
        EXPECT_NE(r.status, 0) << bad;
        EXPECT_NE(r.output.find("tavrilo-cli render:"), std::string::npos) << r.output;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrilo
