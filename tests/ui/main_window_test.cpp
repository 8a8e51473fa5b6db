// The main window on a real display: its children in every layout, full screen, moving, the
// keys that must do nothing, first start, the missing-OpenGL message, and the 360 view's mouse
// handling on a generated recording.

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyleHints>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/track_access.h"
#include "files/c_source_open_dlg.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"
#include "tests/ui/main_window_fixture.h"
#include "tests/widgets/skin_support.h"
#include "texts/ui_texts.h"
#include "tools/gen/frame_strip.h"
#include "ui/main/c_movie_dialog.h"
#include "ui/main/c_movie_menu.h"
#include "ui/main/c_quovel_dlg.h"
#include "ui/main/movie_interaction.h"
#include "ui/main/window_layout.h"
#include "video/render/snapshot.h"
#include "video/render/sphere_model.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "widgets/app_message.h"
#include "widgets/c_msg_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_progress_bar_ctrl.h"
#include "widgets/c_skin_slider_ctrl.h"

#include <set>

namespace tavrilo {
namespace {

using namespace windowtest;
using test::Grab;

TEST(WindowLayout, EveryChildInEachLayout) {
    const LayoutRects l0 = ComputeLayout(0, false);
    EXPECT_EQ(l0.video, QRect(6, 26, 722, 406));
    EXPECT_EQ(l0.seekSlider, QRect(6, 432, 722, 10));
    EXPECT_EQ(l0.infoPanel, QRect(6, 442, 582, 120));
    EXPECT_EQ(l0.pad, QRect(588, 442, 140, 120));
    EXPECT_EQ(l0.graph, QRect(6, 562, 722, 98));
    EXPECT_EQ(l0.mapOrLogo, QRect(728, 26, 386, 405));
    EXPECT_EQ(l0.fileManager, QRect(728, 431, 386, 229));
    EXPECT_EQ(l0.buttons[0], QRect(20, 665, 32, 32));
    EXPECT_EQ(l0.buttons[11], QRect(20 + 43 * 11, 665, 32, 32));
    EXPECT_EQ(l0.buttons[12], QRect(50 + 43 * 12, 665, 32, 32));  // the gap before the last four
    EXPECT_EQ(l0.close, QRect(1064, 0, 46, 18));
    EXPECT_EQ(l0.size, QRect(1038, 0, 26, 18));
    EXPECT_EQ(l0.minimise, QRect(1012, 0, 26, 18));
    EXPECT_EQ(l0.volume, QRect(1000, 670, 100, 20));
    EXPECT_EQ(l0.progress, QRect(6, 410, 722, 22));
    EXPECT_EQ(l0.zoomCentre, QPoint(361, 203));
    const LayoutRects wide = ComputeLayout(0, true);
    EXPECT_EQ(wide.video, QRect(6, 67, 1108, 323));
    EXPECT_FALSE(wide.videoEdge);
    EXPECT_EQ(wide.seekSlider, QRect(6, 432, 722, 10));  // V stays the normal video area
    EXPECT_EQ(wide.barTop, QRect(QPoint(6, 26), QPoint(1113, 66)));
    const LayoutRects l1 = ComputeLayout(1, false);
    EXPECT_EQ(l1.video, QRect(6, 26, 868, 493));
    EXPECT_EQ(l1.seekSlider, QRect(6, 519, 868, 10));
    EXPECT_EQ(l1.infoPanel, QRect(6, 529, 868, 131));
    EXPECT_TRUE(l1.pad.isEmpty());
    EXPECT_TRUE(l1.graph.isEmpty());
    EXPECT_TRUE(l1.mapOrLogo.isEmpty());
    EXPECT_EQ(l1.fileManager, QRect(874, 26, 240, 634));
    EXPECT_EQ(l1.zoomCentre, QPoint(434, 246));
    const LayoutRects l2 = ComputeLayout(2, false);
    EXPECT_EQ(l2.video, QRect(6, 26, 1108, 628));
    EXPECT_EQ(l2.seekSlider, QRect(6, 654, 1108, 10));
    EXPECT_TRUE(l2.infoPanel.isEmpty());
    EXPECT_TRUE(l2.fileManager.isEmpty());
    EXPECT_EQ(l2.buttons[8], QRect(20 + 43 * 6, 665, 32, 32));  // packed after slots 0-5
    EXPECT_TRUE(l2.buttons[6].isEmpty());
    EXPECT_TRUE(l2.buttons[12].isEmpty());
    EXPECT_EQ(l2.zoomCentre, QPoint(554, 314));
    EXPECT_EQ(NextLayout(0), 1);
    EXPECT_EQ(NextLayout(2), 0);
    // Back onto the work area by what sticks out; a window inside stays.
    const QRect work(0, 0, 1920, 1040);
    EXPECT_EQ(PlaceOnWorkArea(QRect(100, 80, 1120, 700), work), QPoint(100, 80));
    EXPECT_EQ(PlaceOnWorkArea(QRect(1000, 600, 1120, 700), work), QPoint(800, 340));
    EXPECT_EQ(PlaceOnWorkArea(QRect(-50, -20, 1120, 700), work), QPoint(0, 0));
    EXPECT_EQ(PlaceOnWorkArea(QRect(10, 10, 2000, 1100), work), QPoint(0, 0));
    EXPECT_EQ(GetUiText(SizeTooltipSlot(0)), "中");
    EXPECT_EQ(GetUiText(SizeTooltipSlot(1)), "大");
    EXPECT_EQ(GetUiText(SizeTooltipSlot(2)), "小");
    EXPECT_EQ(FullScreenVideoRect(QRect(0, 0, 1920, 1080), 4), QRect(0, 260, 1920, 559));
    EXPECT_EQ(FullScreenVideoRect(QRect(0, 0, 1920, 1080), 3), QRect(0, 0, 1920, 1080));
}

TEST(ViewInteraction, MomentumRunsDownAndOnlyAlongTheDrag) {
    CMoment m;
    m.vx = 100;
    int steps = 0;
    while (MomentumStep(m, 3)) {
        ++steps;
    }
    EXPECT_EQ(steps, 97);  // each step lowers a speed of 1..100 by exactly 1
    EXPECT_EQ(m.vx, 3);
    CMoment p;
    p.vx = 10;
    p.vy = 50;
    ASSERT_TRUE(MomentumStep(p, 4));
    EXPECT_EQ(p.vy, 0);  // the panorama never coasts vertically
    EXPECT_EQ(p.accY, 0);
    EXPECT_TRUE(StartsMomentum({0, 0}, {100, 0}, 20, 5));    // 14 degrees off the drag
    EXPECT_FALSE(StartsMomentum({0, 0}, {100, 0}, 20, 20));  // 45 degrees
    EXPECT_FALSE(StartsMomentum({0, 0}, {100, 0}, 0, 0));    // no speed
}

TEST(ViewInteraction, ZoomStepsResetPastThree) {
    ZoomState z;
    z.Reset({361, 203});
    const QRect picture(0, 0, 722, 406), client(0, 0, 722, 406);
    z.Step({100, 50}, picture, client, {361, 203});
    EXPECT_FLOAT_EQ(z.factor, 2.0f);
    EXPECT_EQ(z.point, QPoint(100, 50));
    // x = 100 - trunc((100 x 0 + 722) / 1) + 722 = 100; y = 50 - trunc((50 x 0 + 0) / 1) + 0.
    EXPECT_EQ(z.centre, QPoint(100, 50));
    EXPECT_EQ(z.offset, QPoint(0, 0));
    // At factor 2 the click moves the centre: x = 300 - trunc((300 + 722) / 2) + 722 = 511.
    ZoomState twice = z;
    twice.Step({300, 100}, picture, client, {361, 203});
    EXPECT_EQ(twice.centre, QPoint(511, 50));
    EXPECT_EQ(twice.offset, QPoint(300 - 511, 50));
    z.Step({100, 50}, picture, client, {361, 203});
    EXPECT_FLOAT_EQ(z.factor, 3.0f);
    z.Step({100, 50}, picture, client, {361, 203});
    EXPECT_FLOAT_EQ(z.factor, 1.0f);  // past 3: back to no zoom at the layout's centre
    EXPECT_EQ(z.centre, QPoint(361, 203));
    EXPECT_EQ(z.offset, QPoint(0, 0));
}

TEST_F(MainWindow, FirstStartWritesExactlyTheThreeDisplayKeys) {
    Make();
    std::ifstream in(folder / "Default_Folder.ini");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "[DISPLAY]\r\nINFOCHECK=31\r\nASPECT=on\r\nVOLUME=65535\r\n");
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(window->volumeSlider()->pos(), 65535);
}

TEST_F(MainWindow, SizeButtonCyclesTheLayoutsAndKeepsThePlace) {
    Make();
    ExpectChildrenOf(0);
    const QPoint start = window->pos();
    for (int layout : {1, 2, 0}) {
        QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
        EXPECT_EQ(window->layoutMode(), layout);
        EXPECT_EQ(window->size(), QSize(1120, 700));
        ExpectChildrenOf(layout);
    }
    EXPECT_EQ(window->pos(), start);
}

TEST_F(MainWindow, MovedByItsTopStripButNotInFullScreenAndKeysChangeNothing) {
    Make();
    const QPoint start = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(500, 10));
    QTest::mouseMove(window.get(), QPoint(540, 30));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(540, 30));
    EXPECT_EQ(window->pos(), start + QPoint(40, 20));
    // Lower down the window stays.
    const QPoint moved = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(500, 30));
    QTest::mouseMove(window.get(), QPoint(560, 60));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(560, 60));
    EXPECT_EQ(window->pos(), moved);
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(window.get(), static_cast<Qt::Key>(key));
        EXPECT_TRUE(window->isVisible()) << key;
    }
    ASSERT_TRUE(window->EnterFullScreen());
    const QPoint full = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(500, 10));
    QTest::mouseMove(window.get(), QPoint(560, 60));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(560, 60));
    EXPECT_EQ(window->pos(), full);
}

TEST_F(MainWindow, FullScreenPanoramaIsABandAcrossTheMonitor) {
    Make();
    Open(Recording("pano.MP4", "--size 256 --seconds 2"));
    window->SetProjection(4, true);
    EXPECT_TRUE(window->wide());
    EXPECT_EQ(window->videoContainer()->geometry(), QRect(6, 67, 1108, 323));
    EXPECT_TRUE(window->mapFrame()->isVisible());  // the map moved to its own frame
    Shot("layout0-panorama-wide");
    ASSERT_TRUE(window->EnterFullScreen());
    const QRect monitor = window->screen()->geometry();
    EXPECT_EQ(window->geometry(), monitor);
    EXPECT_EQ(window->videoContainer()->geometry(),
              FullScreenVideoRect(QRect({0, 0}, monitor.size()), 4));
    if (monitor.size() == QSize(1920, 1080)) {
        EXPECT_EQ(window->videoContainer()->geometry(), QRect(0, 260, 1920, 559));
    }
    EXPECT_FALSE(window->barButton(2)->isVisible());
    EXPECT_FALSE(window->mapFrame()->isVisible());
    Shot("fullscreen-panorama");
    window->LeaveFullScreen();
    EXPECT_EQ(window->size(), QSize(1120, 700));
    EXPECT_TRUE(window->barButton(2)->isVisible());
}

TEST_F(MainWindow, WithoutOpenGl33TheMessageShowsOnceAndTheProjectionStaysFlat) {
    Make(false);
    QApplication::processEvents();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("OpenGL 3.3")));
    window->OnCommand(kCommandBar + 9);  // the display-mode switch
    window->SetProjection(3, false);
    EXPECT_EQ(window->projection(), 2);
    QApplication::processEvents();
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(MainWindow, ScreenshotsOfEachLayoutWithARecordingOpen) {
    Make();
    Open(Recording("shots.MP4", "--size 512 --seconds 2"));
    window->SetProjection(3, false);
    EXPECT_EQ(window->projection(), 3);
    Shot("layout0-sphere");
    for (const char* name : {"layout1", "layout2"}) {
        QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
        Shot(name);
    }
    QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
    window->SetProjection(2, false);
    ASSERT_TRUE(window->EnterFullScreen());
    Shot("fullscreen-flat");
    window->LeaveFullScreen();
    EXPECT_EQ(window->layoutMode(), 0);
}

TEST_F(MainWindow, DoubleClickNearTheEndDoesNotEnterFullScreen) {
    Make();
    const fs::path file = Recording("end.MP4", "--size 128 --seconds 2");
    Open(file);
    GetEngineOps().SeekFrame(&window->engine(), 55);  // 60 frames: 5 left
    CMovieStatic* view = window->movieView();
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_FALSE(window->fullScreen());
    GetEngineOps().SeekFrame(&window->engine(), 10);
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_TRUE(window->fullScreen());
    window->LeaveFullScreen();
}

TEST_F(MainWindow, DragsTurnOnlyTheSphereAndThePanoramaSideways) {
    Make();
    Open(Recording("drag.MP4", "--size 256 --seconds 2"));
    CMovieStatic* view = window->movieView();
    auto drag = [&](QPoint from, QPoint to) {
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 5; ++i) {
            QTest::mouseMove(view, from + (to - from) * i / 5);
        }
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        window->movieView()->StopTimers();
    };
    struct Case {
        int mode;
        QPoint from, to;
        bool turns;
    };
    for (const Case& c :
         {Case{1, {300, 200}, {400, 260}, false}, Case{2, {300, 200}, {400, 260}, false},
          Case{3, {300, 200}, {400, 200}, true}, Case{4, {300, 150}, {300, 250}, false},
          Case{4, {300, 200}, {400, 200}, true}}) {
        window->SetProjection(c.mode, c.mode == 4);
        const ViewState before = CurrentViewState();
        drag(c.from, c.to);
        const ViewState after = CurrentViewState();
        const bool turned = before.sphereOrientation.current != after.sphereOrientation.current ||
                            before.panoramaPanX != after.panoramaPanX ||
                            before.panoramaPanY != after.panoramaPanY ||
                            before.flatPanX != after.flatPanX || before.flatPanY != after.flatPanY;
        EXPECT_EQ(turned, c.turns) << "mode " << c.mode;
    }
}

TEST_F(MainWindow, AFastDragCoastsAndComesToRest) {
    Make();
    Open(Recording("coast.MP4", "--size 256 --seconds 2"));
    window->SetProjection(3, false);
    CMovieStatic* view = window->movieView();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(100, 200));
    for (int x = 150; x <= 400; x += 50) {
        QTest::mouseMove(view, QPoint(x, 200));  // 50 pixels per move
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(400, 200));
    EXPECT_TRUE(view->coasting());
    const ViewState released = CurrentViewState();
    // A speed of 50 runs down by one a step: 47 steps until it is 3.
    EXPECT_TRUE(test::WaitUntil([&] { return !view->coasting(); }));
    EXPECT_EQ(view->momentumSteps(), 47);
    EXPECT_NE(CurrentViewState().sphereOrientation.current, released.sphereOrientation.current);
    // A slow release (2 pixels a move) takes no momentum step.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(100, 200));
    QTest::mouseMove(view, QPoint(102, 200));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(102, 200));
    EXPECT_TRUE(test::WaitUntil([&] { return !view->coasting(); }));
    EXPECT_EQ(view->momentumSteps(), 0);
}

TEST_F(MainWindow, TheJobProgressBarShowsAboveTheVideo) {
    Make();
    Open(Recording("job.MP4", "--size 256 --seconds 2"));
    const QRect video = window->videoContainer()->geometry();
    // A job that reports half its work and waits.
    std::atomic<bool> release{false};
    ASSERT_TRUE(window->StartFileJob([&](JobReporter& r) {
        r.Progress(50, 100);
        while (!release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return JobEnd::kDone;
    }));
    EXPECT_EQ(window->progressBar()->geometry().topLeft(), QPoint(6, 410));
    // The video gives way to the bar, read back from the screen.
    EXPECT_LT(window->videoContainer()->geometry().bottom(), 410);
    const QPoint at = window->mapToGlobal(QPoint(6 + 100, 410 + 11));
    const QPoint right = window->mapToGlobal(QPoint(6 + 700, 410 + 11));
    QImage screen;
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return screen.pixel(at) == qRgb(0, 0, 255);
    }));
    EXPECT_EQ(screen.pixel(right), qRgb(255, 255, 255));
    release = true;
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return !window->jobRunning();
    }));
    EXPECT_FALSE(window->progressBar()->isVisible());
    EXPECT_EQ(window->videoContainer()->geometry(), video);
}

TEST_F(MainWindow, SensorPanelsOnARecordingWithEveryMark) {
    const fs::path file =
        Recording("marks.MP4",
                  "--size 256 --seconds 8 --kind G --event 1:X --event 2:Y "
                  "--event 3:Z --event 4:D1 --event 5:D2 --event 6:F9 --event 7:F8");
    Make();
    Open(file);
    // The track is published when the player's ready notice has been handled.
    EngineContext& engine = window->engine();
    ASSERT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        size_t frames = 0;
        engine::ReadTrack(engine, [&](const TrackReader& t) { frames = t.FrameIndex.size(); });
        return frames > 120;
    }));
    CGSensorDlg* graph = window->graph();
    graph->SetCursor(120, 240);
    QApplication::processEvents();
    const QImage shot = Grab(*graph);
    EXPECT_FALSE(graph->lastMarks().empty());
    std::set<int> codes;
    for (const auto& m : graph->lastMarks()) {
        codes.insert(m.code);
    }
    EXPECT_TRUE(codes.count(0) && codes.count(2) && codes.count(3)) << codes.size();
    // The trip panel at frame 120 from the published track, as the playback flow will feed it.
    CInfoDlg* info = window->infoPanel();
    {
        EngineContext& ctx = window->engine();
        engine::ReadTrack(ctx, [&](const TrackReader& track) {
            const int32_t sample = track.FrameIndex[120];
            ASSERT_GE(sample, 0);
            const GSample& g = track.GSamples[static_cast<size_t>(sample)];
            info->GFrontBack = g.Gx;
            info->GLeftRight = g.Gy;
            info->GUpDown = g.Gz;
            ASSERT_GE(g.GpsLink, 0);
            const GpsSample& gps = track.GpsSamples[static_cast<size_t>(g.GpsLink)];
            info->GpsValid = gps.Valid;
            info->SpeedKmh = gps.Speed;
            info->StartTime = track.GpsSamples.front().Time;
            info->HasStartTime = 1;
            info->FrameIndex = 120;
            info->FrameDuration = ctx.FrameDurationMs;
            info->StatusByte = g.Status;
            info->update();
        });
    }
    Shot("panels-layout0");
    QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
    Shot("panels-layout1");
    QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
    Shot("panels-layout2");
    EXPECT_EQ(info->layout(), 2);
}

TEST_F(MainWindow, TheFileManagerListsTheSourceAndARowOpensItsRecording) {
    MakeOnCard("--size 128 --seconds 2 --folders 2 --per-folder 6");
    CFilerContainerDlg* files = window->fileManager();
    EXPECT_EQ(files->geometry(), ComputeLayout(0, false).fileManager);
    ASSERT_EQ(files->tree()->topLevelItemCount(), 2);
    ASSERT_FALSE(files->rows().empty());
    // A row chosen in the list opens its recording; the caption buttons wait for it.
    files->SelectRow(1);
    EXPECT_FALSE(window->sizeButton()->isEnabled());
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return window->loaded();
    }));
    EXPECT_TRUE(window->sizeButton()->isEnabled());
    Shot("filemanager-layout0");
    QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
    EXPECT_EQ(files->geometry(), ComputeLayout(1, false).fileManager);
    EXPECT_TRUE(files->tree()->isVisible());
    Shot("filemanager-layout1");
    QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
    EXPECT_FALSE(files->isVisible());
    // The source dialog, as the browse button shows it.
    CSourceOpenDlg dialog(window->settings(), NoDrives(), window.get());
    dialog.show();
    if (const char* dir = std::getenv("TAVRILO_SHOTS")) {
        QApplication::processEvents();
        dialog.grab().save(QString::fromStdString(std::string(dir) + "/source-dialog.png"));
    }
}

TEST_F(MainWindow, OneQuickClickZoomsOnceAndADoubleClickNever) {
    Make();
    Open(Recording("zoom.MP4", "--size 256 --seconds 2"));
    window->SetProjection(3, false);
    CMovieStatic* view = window->movieView();
    const int doubleClick = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_TRUE(view->singleClickPending());
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return !view->singleClickPending();
    }));
    EXPECT_FLOAT_EQ(window->zoom().factor, 2.0f);
    // A double click: no zoom step, however long we wait.
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::qWait(doubleClick + 100);
    EXPECT_FLOAT_EQ(window->zoom().factor, window->fullScreen() ? 1.0f : 2.0f);
    window->LeaveFullScreen();
}

TEST_F(MainWindow, ContextMenuItemsFollowThePlayState) {
    Make();
    auto ids = [](const std::vector<MenuItem>& items) {
        std::vector<int> out;
        for (const MenuItem& i : items) {
            out.push_back(i.id);
        }
        return out;
    };
    EXPECT_EQ(ids(window->ContextMenuItems()), (std::vector<int>{38012}));  // nothing open
    Open(Recording("menu.MP4", "--size 128 --seconds 2"));
    window->SetProjection(3, false);
    EngineContext& ctx = window->engine();
    EXPECT_EQ(ctx.PlayState, MovieState::kStopped);
    EXPECT_EQ(ids(window->ContextMenuItems()),
              (std::vector<int>{38002, 0, 38009, 38010, 38201, 0, 38006, 38014, 0, 38012}));
    GetEngineOps().Play(&ctx);
    auto playing = window->ContextMenuItems();
    EXPECT_EQ(ids(playing), (std::vector<int>{38002, 38000, 38004, 38003, 0, 38009, 38010, 38201, 0,
                                              38006, 38014, 0, 38012}));
    EXPECT_EQ(playing[0].text.toStdString(), "一時停止");
    EXPECT_FALSE(playing[2].grayed);
    EXPECT_FALSE(playing[6].grayed);  // reset works in the sphere
    GetEngineOps().Pause(&ctx);
    auto paused = window->ContextMenuItems();
    EXPECT_EQ(paused[0].text.toStdString(), "再生");
    EXPECT_TRUE(paused[2].grayed);
    EXPECT_TRUE(paused[3].grayed);
    ASSERT_TRUE(window->EnterFullScreen());
    auto full = window->ContextMenuItems();
    EXPECT_EQ(full.back().id, 38200);  // the aspect item instead of still/settings/browse
    EXPECT_TRUE(full.back().grayed);   // only in view mode 1
    window->LeaveFullScreen();
}

TEST_F(MainWindow, AVideoNoDecoderTakesIsReportedWithTheCodecText) {
    Make();
    const fs::path good = Recording("codec.MP4", "--size 128 --seconds 2");
    auto bytes = test::ReadAll(good);
    std::string text(bytes.begin(), bytes.end());
    // The video's sample entry (the file type box names "avc1" too, as a brand).
    const size_t at = text.find("avc1", text.find("stsd"));
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 4, "zzzz");
    const fs::path broken = folder / "broken.MP4";
    std::ofstream(broken, std::ios::binary) << text;
    EXPECT_FALSE(window->OpenRecording(broken.string()));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].toStdString(), std::string(GetUiText(114)));
}

}  // namespace
}  // namespace tavrilo
