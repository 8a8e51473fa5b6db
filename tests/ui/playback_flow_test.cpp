// The working loop on the real window and generated cards: selections that settle, the end of a
// recording and of a folder, seeking near the end, the seek slider's press, drag and release,
// the event jumps, the direction pad and a pulled card. The frame the view shows is read from
// the frame strip the generator draws into every frame.

#include <QTreeWidget>
#include <chrono>
#include <fstream>

#include "files/c_filer_container_dlg.h"
#include "tests/ui/main_window_fixture.h"
#include "tools/gen/frame_strip.h"
#include "ui/main/c_controller_dlg.h"
#include "video/present/ffmpeg_backend.h"
#include "video/present/frame_presenter.h"
#include "views/c_g_sensor_dlg.h"
#include "widgets/messages.h"
#include "widgets/slider_geometry.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

using namespace windowtest;

class PlaybackFlow : public MainWindow {
  protected:
    EngineContext& ctx() { return window->engine(); }
    const EngineOps& ops = GetEngineOps();
    // The frame the flat view shows, from the strip in the engine's own picture of it.
    std::optional<uint32_t> ShownFrame() {
        const fs::path file = folder / "shown.jpg";
        fs::remove(file);
        ops.Repaint(&ctx());
        if (ops.SaveSnapshot(&ctx(), file.string().c_str()) != 1) {
            return std::nullopt;
        }
        // Back at the recording's own size, where the strip's cells lie on whole pixels.
        int32_t width = 0, height = 0;
        ops.GetVideoSize(&ctx(), &width, &height);
        const QImage grey =
            QImage(QString::fromStdString(file.string()))
                .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_Grayscale8);
        return gen::ReadFrameStrip(grey.constBits(), static_cast<int>(grey.bytesPerLine()),
                                   grey.width(), grey.height());
    }
    // The x inside the seek slider that points at `position`.
    int SliderX(int position) {
        const CSkinSliderCtrl* s = window->seekSlider();
        const double step = static_cast<double>(s->width()) / (s->maximum() - s->minimum() + 1);
        return static_cast<int>((position + 0.5) * step);
    }
    int ThumbCentre() {
        const CSkinSliderCtrl* s = window->seekSlider();
        SliderGeometry g{s->width(), s->minimum(), s->maximum(), 25};
        return g.ThumbX(s->pos()) + 12;
    }
    void Click(CSkinButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
};

TEST_F(PlaybackFlow, QuickSelectionsOpenOnlyTheRecordingTheyRestOn) {
    MakeOnCard("--size 256 --seconds 2 --folders 1 --per-folder 6");
    CFilerContainerDlg* files = window->fileManager();
    // The card's first recording is chosen and opened by itself.
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(window->currentIndex(), 0);
    EXPECT_EQ(ctx().Track.Path, files->rows()[0].Path);
    const int before = window->openingsStarted();
    const auto start = std::chrono::steady_clock::now();
    for (int row = 1; row <= 5; ++row) {
        files->SelectRow(row);
        QApplication::processEvents();
        // While a selection settles the bar waits, and the list can still be moved through.
        EXPECT_TRUE(window->busy());
        EXPECT_FALSE(window->barButton(2)->isEnabled());
        EXPECT_FALSE(window->sizeButton()->isEnabled());
        EXPECT_TRUE(files->list()->isEnabled());
    }
    const auto selecting = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(WaitLoaded());
    if (selecting < std::chrono::milliseconds(450)) {
        EXPECT_EQ(window->openingsStarted(), before + 1);
    }
    EXPECT_EQ(window->currentIndex(), 5);
    EXPECT_EQ(ctx().Track.Path, files->rows()[5].Path);
    EXPECT_FALSE(window->busy());
    EXPECT_TRUE(window->barButton(2)->isEnabled());
    EXPECT_EQ(ShownFrame(), std::optional<uint32_t>(0));
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlaybackFlow, TheNextRecordingWaitsButTheNextFolderPlaysOnItsOwn) {
    MakeOnCard("--size 256 --seconds 2 --folders 2 --per-folder 2");
    CFilerContainerDlg* files = window->fileManager();
    QTreeWidget* tree = files->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    ASSERT_TRUE(WaitLoaded());
    ASSERT_EQ(tree->currentItem(), tree->topLevelItem(0));
    const std::string second = files->rows()[1].Path;

    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_EQ(ctx().PlayState, MovieState::kPlaying);
    // Within the folder the next recording opens and rests at its first frame.
    ASSERT_TRUE(Wait([&] { return window->currentIndex() == 1 && window->loaded(); }));
    EXPECT_EQ(ctx().Track.Path, second);
    QTest::qWait(300);
    EXPECT_NE(ctx().PlayState, MovieState::kPlaying);
    EXPECT_EQ(ops.GetPosition(&ctx()), 0);
    EXPECT_EQ(window->barButton(2)->toolTip(), QStringLiteral("再生"));
    EXPECT_EQ(ShownFrame(), std::optional<uint32_t>(0));

    // At the end of the folder's last recording the next folder is listed and its first
    // recording plays without being asked.
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_TRUE(Wait([&] { return tree->currentItem() == tree->topLevelItem(1); }));
    ASSERT_TRUE(Wait([&] { return window->loaded() && ctx().PlayState == MovieState::kPlaying; }));
    EXPECT_EQ(window->currentIndex(), 0);
    EXPECT_EQ(ctx().Track.Path, files->rows()[0].Path);
    EXPECT_NE(ctx().Track.Path, second);
    EXPECT_EQ(window->barButton(2)->toolTip(), QStringLiteral("一時停止"));
    EXPECT_TRUE(Wait([&] { return ops.GetPosition(&ctx()) > 5; }));
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlaybackFlow, TheLastRecordingOfTheCardOpensAgainAtItsStart) {
    MakeOnCard("--size 256 --seconds 2 --folders 1 --per-folder 1");
    ASSERT_TRUE(WaitLoaded());
    const std::string only = ctx().Track.Path;
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_TRUE(Wait([&] { return ops.GetPosition(&ctx()) > 30; }));
    // The end: the recording is opened again and rests at its start.
    ASSERT_TRUE(Wait([&] { return !window->loaded(); }));
    ASSERT_TRUE(WaitLoaded());
    QTest::qWait(300);
    EXPECT_EQ(ctx().Track.Path, only);
    EXPECT_NE(ctx().PlayState, MovieState::kPlaying);
    EXPECT_EQ(ops.GetPosition(&ctx()), 0);
    EXPECT_EQ(ShownFrame(), std::optional<uint32_t>(0));
}

TEST_F(PlaybackFlow, WhilePlayingThePanelsFollowWithoutTheVideoDrawnAgain) {
    MakeOnCard("--size 256 --seconds 4 --folders 1 --per-folder 1");
    ASSERT_TRUE(WaitLoaded());
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx().Player.get());
    ASSERT_NE(access, nullptr);
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_TRUE(Wait([&] { return ops.GetPosition(&ctx()) > 10; }));
    // Half a second of position ticks: the seek bar and the panels move, the presenter draws
    // each frame once, and nothing draws the video again on top.
    const int64_t repaints = access->presenter().repaints();
    const int slider = window->seekSlider()->pos();
    QTest::qWait(500);
    ASSERT_EQ(ctx().PlayState, MovieState::kPlaying);
    EXPECT_GT(window->seekSlider()->pos(), slider);
    EXPECT_EQ(access->presenter().repaints(), repaints);
    // A paint of the window over the video (uncovered, say) still draws it again.
    window->update(window->videoContainer()->geometry());
    EXPECT_TRUE(Wait([&] { return access->presenter().repaints() > repaints; }));
}

TEST_F(PlaybackFlow, ASeekNearTheEndStopsShortByTheMarginWhileTheViewsShowTheFrameAskedFor) {
    MakeOnCard("--size 128 --seconds 40 --folders 1 --per-folder 2");
    ASSERT_TRUE(WaitLoaded());
    const int frames = static_cast<int>(ops.GetFrameCount(&ctx()));
    ASSERT_GT(frames, 1100);
    QTest::keyClick(window.get(), Qt::Key_Space);
    QTest::keyClick(window.get(), Qt::Key_Plus);
    QTest::keyClick(window.get(), Qt::Key_Plus);
    ASSERT_EQ(ctx().RateCode, 4);
    const int asked = frames - 10;
    window->SeekTo(asked);
    // The engine went to 80 frames before the end; the slider and the panel show the frame
    // asked for and do not follow the engine back while it is outside the seek tolerance.
    const int engineAt = ops.GetPosition(&ctx());
    EXPECT_LE(std::abs(engineAt - (frames - 80)), 2) << engineAt;
    EXPECT_EQ(window->seekSlider()->pos(), asked);
    EXPECT_EQ(window->infoPanel()->FrameIndex, asked);
    const int tolerance = frames / 1000 + 30;
    int checked = 0;
    Wait([&] {
        const int at = ops.GetPosition(&ctx());
        if (at >= 0 && at <= asked - tolerance && ctx().PlayState == MovieState::kPlaying) {
            EXPECT_EQ(window->seekSlider()->pos(), asked) << at;
            EXPECT_EQ(window->graph()->cursor(), asked) << at;
            ++checked;
        }
        return at > asked - tolerance || ctx().PlayState != MovieState::kPlaying;
    });
    EXPECT_GT(checked, 0);
    // Near the end the controls wait for it, and the next recording takes over.
    EXPECT_TRUE(Wait([&] { return window->currentIndex() == 1 && window->loaded(); }));
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlaybackFlow, TheSeekTrackJumpsAtOnceAndTheThumbSeeksOnItsRelease) {
    MakeOnCard("--size 256 --seconds 40 --folders 1 --per-folder 1");
    ASSERT_TRUE(WaitLoaded());
    CSkinSliderCtrl* slider = window->seekSlider();
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_TRUE(Wait([&] { return ops.GetPosition(&ctx()) > 5; }));
    // A click on the track away from the thumb: there at once, and playing on.
    const int target = 600;
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(SliderX(target), 5));
    // Playing on from there: a busy machine may sample the thumb a few frames later, but not
    // a page step away.
    ASSERT_TRUE(Wait([&] { return slider->pos() >= target - 2; }));
    EXPECT_LE(slider->pos(), target + 60);
    EXPECT_EQ(ctx().PlayState, MovieState::kPlaying);
    EXPECT_TRUE(Wait([&] { return ops.GetPosition(&ctx()) > target + 5; }));
    EXPECT_LT(ops.GetPosition(&ctx()), target + 200);

    // Pause, then drag the thumb: the views preview, the engine stays until the release.
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_EQ(ctx().PlayState, MovieState::kPaused);
    // The last frames queued before the pause may still be drawn: wait for the picture to rest.
    std::optional<uint32_t> pausedOn = ShownFrame();
    for (int i = 0; i < 50; ++i) {
        QTest::qWait(100);
        const auto now = ShownFrame();
        if (now == pausedOn) {
            break;
        }
        pausedOn = now;
    }
    const int from = ops.GetPosition(&ctx());
    ASSERT_TRUE(pausedOn.has_value());
    EXPECT_LE(std::abs(static_cast<int>(*pausedOn) - from), 2);
    const QPoint thumb(ThumbCentre(), 5);
    QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
    QApplication::processEvents();
    const int preview = 300;
    QMouseEvent move(QEvent::MouseMove, QPointF(SliderX(preview), 5),
                     slider->mapToGlobal(QPointF(SliderX(preview), 5)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &move);
    ASSERT_TRUE(Wait([&] { return std::abs(window->infoPanel()->FrameIndex - preview) <= 2; }));
    QTest::qWait(200);
    EXPECT_EQ(ops.GetPosition(&ctx()), from);
    EXPECT_EQ(ShownFrame(), pausedOn);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(SliderX(preview), 5));
    ASSERT_TRUE(Wait([&] { return std::abs(ops.GetPosition(&ctx()) - preview) <= 2; }));
    EXPECT_EQ(ctx().PlayState, MovieState::kPaused);
    // The picture, the slider and the trip panel agree on the frame.
    const auto shown = ShownFrame();
    ASSERT_TRUE(shown.has_value());
    EXPECT_LE(std::abs(static_cast<int>(*shown) - slider->pos()), 1);
    EXPECT_LE(std::abs(window->infoPanel()->FrameIndex - static_cast<int>(*shown)), 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlaybackFlow, GraphClicksJumpBetweenTheEventsAndWrapAround) {
    // Impacts at 3 s and 6 s of a 10-s recording, opened as a file.
    const fs::path file =
        Recording("001_100000_G.MP4", "--size 256 --seconds 10 --kind G --event 3:X --event 6:X");
    Make(true, [&](MainWindowOptions& o) {
        o.source = file.string();
        o.sourceKind = SourceKind::kFile;
    });
    ASSERT_TRUE(WaitLoaded());
    std::vector<int> frames;
    for (const EventPoint& e : window->eventPoints()) {
        frames.push_back(e.index);
    }
    std::sort(frames.begin(), frames.end());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NEAR(frames[0], 90, 6);
    EXPECT_NEAR(frames[1], 180, 6);
    CGSensorDlg* graph = window->graph();
    const QPoint inside(graph->width() / 2, graph->height() / 2);
    auto jump = [&](Qt::MouseButton button, int expected) {
        QTest::mouseClick(graph, button, {}, inside);
        EXPECT_TRUE(Wait([&] { return graph->cursor() == expected; })) << graph->cursor();
        EXPECT_TRUE(Wait([&] { return ops.GetPosition(&ctx()) == expected; }));
        EXPECT_EQ(ctx().PlayState, MovieState::kPaused);
    };
    jump(Qt::RightButton, frames[0]);
    jump(Qt::RightButton, frames[1]);
    jump(Qt::RightButton, frames[0]);  // past the last: round to the first
    jump(Qt::LeftButton, frames[1]);   // before the first: round to the last
    EXPECT_EQ(ShownFrame(), std::optional<uint32_t>(frames[1]));
    // Paused on an event in each layout, for the record.
    for (int layout = 0; layout < 3; ++layout) {
        Shot("paused-on-event-layout" + std::to_string(window->layoutMode()));
        Click(window->sizeButton());
    }
    QTest::keyClick(window.get(), Qt::Key_Space);
    for (int layout = 0; layout < 3; ++layout) {
        Shot("playing-layout" + std::to_string(window->layoutMode()));
        Click(window->sizeButton());
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlaybackFlow, ThePadWorksByProjectionAndTurnsTheSphereWhileHeld) {
    MakeOnCard("--size 256 --seconds 10 --folders 1 --per-folder 1");
    ASSERT_TRUE(WaitLoaded());
    CControllerDlg* pad = window->pad();
    auto enabled = [&] {
        std::vector<bool> on;
        for (int id : {kPadUp, kPadLeft, kPadRight, kPadDown, kPadReset}) {
            on.push_back(pad->button(id)->isEnabled());
        }
        return on;
    };
    window->SetProjection(2, false);
    EXPECT_EQ(enabled(), std::vector<bool>(5, false));
    window->SetProjection(4, true);
    EXPECT_EQ(enabled(), (std::vector<bool>{false, true, true, false, false}));
    window->SetProjection(3, false);
    EXPECT_EQ(enabled(), std::vector<bool>(5, true));

    const fs::path a = folder / "a.jpg", b = folder / "b.jpg";
    ops.ResetView(&ctx());
    ops.Repaint(&ctx());
    ASSERT_EQ(ops.SaveSnapshot(&ctx(), a.string().c_str()), 1);
    QTest::mousePress(pad->button(kPadLeft), Qt::LeftButton);
    ASSERT_TRUE(Wait([&] { return pad->steps() >= 5; }));
    QTest::mouseRelease(pad->button(kPadLeft), Qt::LeftButton);
    QApplication::processEvents();
    QTest::qWait(100);
    const int afterRelease = pad->steps();
    QTest::qWait(200);
    EXPECT_LE(pad->steps(), afterRelease + 1);  // the turn ends with the release
    ops.Repaint(&ctx());
    ASSERT_EQ(ops.SaveSnapshot(&ctx(), b.string().c_str()), 1);
    EXPECT_GT(MeanDifference(QImage(QString::fromStdString(a.string())),
                             QImage(QString::fromStdString(b.string()))),
              2.0);
    // The reset brings the start view back.
    QTest::mouseClick(pad->button(kPadReset), Qt::LeftButton);
    QTest::qWait(200);
    const fs::path c = folder / "c.jpg";
    ops.Repaint(&ctx());
    ASSERT_EQ(ops.SaveSnapshot(&ctx(), c.string().c_str()), 1);
    EXPECT_LT(MeanDifference(QImage(QString::fromStdString(a.string())),
                             QImage(QString::fromStdString(c.string()))),
              2.0);
}

TEST_F(PlaybackFlow, APulledCardClosesEverythingAndEndsTheProgramThatRanFromIt) {
    const fs::path card = folder / "card";
    MakeOnCard("--size 128 --seconds 10 --folders 1 --per-folder 2");
    ASSERT_TRUE(WaitLoaded());
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_EQ(ctx().PlayState, MovieState::kPlaying);
    fs::rename(card, folder / "pulled");
    ASSERT_TRUE(Wait([&] { return ctx().PlayState == MovieState::kClosed; }));
    EXPECT_EQ(window->currentIndex(), -1);
    EXPECT_FALSE(window->loaded());
    EXPECT_EQ(window->seekSlider()->maximum(), 0);
    EXPECT_EQ(window->barButton(2)->toolTip(), QStringLiteral("再生"));
    EXPECT_FALSE(window->barButton(2)->isEnabled());
    EXPECT_TRUE(window->isVisible());  // the program lives elsewhere

    // The same with the program itself on the card: it ends.
    window.reset();
    fs::rename(folder / "pulled", card);
    fs::create_directories(card / "tools");
    std::ofstream(card / "tools" / "tavrilo").put('x');
    Make(true, [&](MainWindowOptions& o) {
        o.source = card.string();
        o.sourceKind = SourceKind::kCard;
        o.executablePath = (card / "tools" / "tavrilo").string();
    });
    ASSERT_TRUE(WaitLoaded());
    fs::rename(card, folder / "pulled");
    EXPECT_TRUE(Wait([&] { return !window->isVisible(); }));
    EXPECT_EQ(window->engine().Ready, 0);
}

TEST_F(PlaybackFlow, AClipOfAnotherProgramPlaysAsOneFileWithoutSensorData) {
    // Pictures with their number, written by FFmpeg as other programs write them: x264 with
    // B-frames at 29.97 pictures a second in 90 kHz ticks, no sensor box, any name.
    const fs::path source = folder / "source.MP4";
    const fs::path clip = folder / "holiday clip.mp4";
    ASSERT_EQ(RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(source) +
                         " --size 256 --seconds 3 --fps 29.97 --qp 0")
                  .status,
              0);
    ASSERT_EQ(
        RunCommand("ffmpeg -v error -y -i " + Quote(source) +
                   " -map 0:v -c:v libx264 -bf 3 -r 30000/1001 -video_track_timescale 90000 " +
                   Quote(clip))
            .status,
        0);
    Make(true, [&](MainWindowOptions& o) {
        o.source = clip.string();
        o.sourceKind = SourceKind::kFile;
    });
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(window->fileManager()->rows().size(), 1u);
    EXPECT_EQ(ops.GetFrameCount(&ctx()), 90);
    EXPECT_EQ(window->seekSlider()->maximum(), 90);
    EXPECT_EQ(ShownFrame(), std::optional<uint32_t>(0));
    // No records: the panel has no time to show, the graph no samples.
    EXPECT_EQ(window->infoPanel()->HasStartTime, 0);
    EXPECT_TRUE(ctx().Track.GpsSamples.empty());
    // The keys step picture by picture, B-frames or not.
    const auto waitForFrame = [&](int32_t frame) {
        return Wait([&] { return ops.GetPosition(&ctx()) == frame; });
    };
    for (int step = 1; step <= 3; ++step) {
        QTest::keyClick(window.get(), Qt::Key_Right);
        ASSERT_TRUE(waitForFrame(step));
        EXPECT_EQ(ShownFrame(), std::optional<uint32_t>(step));
    }
    QTest::keyClick(window.get(), Qt::Key_Left);
    ASSERT_TRUE(waitForFrame(2));
    EXPECT_EQ(ShownFrame(), std::optional<uint32_t>(2));
    Shot("clip-of-another-program");
}

TEST_F(PlaybackFlow, AFileThatCannotBePlayedSaysWhyInTheMessage) {
    // Sound only, and an MP4 cut before its movie header: chosen as the one file, each is
    // listed, its opening fails and the message says what is wrong, instead of nothing at all.
    const fs::path sound = folder / "sound.m4a";
    ASSERT_EQ(
        RunCommand("ffmpeg -v error -y -f lavfi -i sine -t 1 -c:a aac " + Quote(sound)).status, 0);
    const fs::path cut = folder / "001_100000_A.MP4";
    ASSERT_EQ(
        RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(cut) + " --size 64 --seconds 2")
            .status,
        0);
    // The recorder writes the movie header after the media: half the file has none.
    fs::resize_file(cut, fs::file_size(cut) / 2);
    for (const auto& [file, reason] :
         {std::pair{sound, VideoProblem::kNoVideo}, std::pair{cut, VideoProblem::kCut}}) {
        MessageAnswers answers({kMsgOk});
        Make(true, [&](MainWindowOptions& o) {
            o.source = file.string();
            o.sourceKind = SourceKind::kFile;
        });
        ASSERT_TRUE(Wait([&] { return !answers.texts.empty(); })) << file;
        EXPECT_EQ(answers.texts.front(), UiText(99) + "\n" + VideoProblemText(reason));
        EXPECT_FALSE(VideoProblemText(reason).isEmpty());
        EXPECT_EQ(window->fileManager()->rows().size(), 1u);
        EXPECT_FALSE(window->loaded());
        EXPECT_FALSE(window->barButton(2)->isEnabled());  // nothing to play
        window.reset();
    }
}

}  // namespace
}  // namespace tavrilo
