// The main window's commands on a real display: stills of each projection (and the question
// before one is overwritten), and the playback buttons and their keys.

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

TEST_F(MainWindow, SnapshotsOfEachProjectionShowTheViewAndAskBeforeOverwriting) {
    const fs::path shots = folder / "Shots";
    fs::create_directories(shots);
    QString pickerTitle;
    MakeOnCard("--size 256 --seconds 2 --folders 1 --per-folder 2", [&](MainWindowOptions& o) {
        o.pickFolder = [&](QWidget*, const QString& title, const QString&) {
            pickerTitle = title;
            return QString::fromStdString(shots.string());
        };
    });
    CFilerContainerDlg* files = window->fileManager();
    ASSERT_EQ(files->rows().size(), 2u);
    files->SelectRow(1);
    ASSERT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return window->loaded() && GetEngineOps().GetPosition(&window->engine()) >= 0;
    }));
    EngineContext& ctx = window->engine();
    ASSERT_EQ(GetEngineOps().SeekFrame(&ctx, 17), 1);
    ASSERT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return GetEngineOps().GetPosition(&ctx) == 17;
    }));
    const std::string path =
        BuildSnapshotPath(shots.string(), files->rows()[1], GetEngineOps().GetPosition(&ctx));
    EXPECT_EQ(fs::path(path).filename().string().rfind("Shots-", 0), 0u) << path;

    struct Case {
        int projection;
        bool wide;
        QSize size;
    };
    for (const Case& c : {Case{2, false, QSize(256, 256)}, Case{3, false, QSize(1280, 720)},
                          Case{4, true, QSize(2469, 720)}}) {
        SCOPED_TRACE(c.projection);
        window->SetProjection(c.projection, c.wide);
        const QRect shown = window->videoContainer()->geometry();
        // The picture as the view shows it, at the view's size (other windows of tests run
        // alongside may cover the screen, so it is taken from the engine, not the screen).
        ASSERT_EQ(GetEngineOps().Repaint(&ctx), 1);
        const std::string viewPath = (folder / "view.jpg").string();
        ASSERT_EQ(GetEngineOps().SaveSnapshot(&ctx, viewPath.c_str()), 1);
        const QImage view(QString::fromStdString(viewPath));
        EXPECT_EQ(view.size(), shown.size());
        fs::remove(path);
        {
            MessageAnswers answers({kMsgOk});
            QTest::mouseClick(window->barButton(6), Qt::LeftButton);
            ASSERT_EQ(answers.texts.size(), 1u);
            EXPECT_EQ(answers.texts[0], QStringLiteral("完了しました。"));
        }
        EXPECT_EQ(pickerTitle, QStringLiteral("バックアップフォルダーを選択してください。"));
        const QImage still(QString::fromStdString(path));
        ASSERT_FALSE(still.isNull()) << path;
        EXPECT_EQ(still.size(), c.size);
        // The view is back where the layout put it, shown, the buttons usable again.
        EXPECT_EQ(window->videoContainer()->geometry(), shown);
        EXPECT_TRUE(window->videoContainer()->isVisible());
        EXPECT_TRUE(window->barButton(6)->isEnabled());
        if (const char* dir = std::getenv("TAVRILO_SHOTS")) {
            const QString base = QString::fromStdString(std::string(dir)) +
                                 QStringLiteral("/snapshot-%1").arg(c.projection);
            view.save(base + QStringLiteral("-view.png"));
            still.save(base + QStringLiteral("-still.jpg"));
        }
        if (c.projection != 2) {
            // The camera views: the still is what the view showed, at another size.
            EXPECT_LT(MeanDifference(still.scaled(view.size()), view), 16.0);
        } else {
            // The flat view keeps the aspect on screen; the still is stretched. The frame it
            // shows is the one the engine is at (a seek lands within a frame of its target).
            const QImage grey = still.convertToFormat(QImage::Format_Grayscale8);
            const auto shownFrame =
                gen::ReadFrameStrip(grey.constBits(), static_cast<int>(grey.bytesPerLine()),
                                    grey.width(), grey.height());
            ASSERT_TRUE(shownFrame.has_value());
            EXPECT_LE(std::abs(static_cast<int>(*shownFrame) - 17), 1);
        }
    }
    EXPECT_EQ(window->settings().ReadSetting("FOLDERPATH", "SNAPSHOT_FOLDER"), shots.string());

    // A second still of the same frame asks first; declining leaves the file and says nothing.
    const auto written = fs::last_write_time(path);
    {
        MessageAnswers answers({kMsgCancel});
        QTest::mouseClick(window->barButton(6), Qt::LeftButton);
        ASSERT_EQ(answers.texts.size(), 1u);
        EXPECT_EQ(answers.texts[0], QStringLiteral("同名のファイルが存在します。続行しますか？"));
    }
    EXPECT_EQ(fs::last_write_time(path), written);
    {
        MessageAnswers answers({kMsgOk, kMsgOk});
        QTest::mouseClick(window->barButton(6), Qt::LeftButton);
        ASSERT_EQ(answers.texts.size(), 2u);
        EXPECT_EQ(answers.texts[1], QStringLiteral("完了しました。"));
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindow, PlaybackCommandsByButtonAndKey) {
    MakeOnCard("--size 128 --seconds 40 --folders 1 --per-folder 2");
    window->fileManager()->SelectRow(0);
    EngineContext& ctx = window->engine();
    const EngineOps& ops = GetEngineOps();
    ASSERT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return window->loaded() && ops.GetPosition(&ctx) >= 0;
    }));
    CSkinButton* play = window->barButton(2);
    CSkinButton* faster = window->barButton(4);
    auto expectPlayFace = [&](bool playing) {
        EXPECT_EQ(play->imageStrip(), playing ? 147 : 148);
        EXPECT_EQ(play->toolTip(), playing ? QStringLiteral("一時停止") : QStringLiteral("再生"));
    };
    // Stopped at the first frame: play, but neither the start nor the speeds.
    EXPECT_TRUE(play->isEnabled());
    EXPECT_FALSE(window->barButton(0)->isEnabled());
    EXPECT_FALSE(faster->isEnabled());
    expectPlayFace(false);

    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(ctx.PlayState, MovieState::kPlaying);
    expectPlayFace(true);
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return ops.GetPosition(&ctx) > 5;
    }));
    Shot("playing");
    // The seek slider, the trip panel and the graph's cursor follow the picture.
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return window->seekSlider()->pos() > 5;
    }));
    {
        const int panelFrame = window->infoPanel()->FrameIndex;
        const int32_t engineFrame = ops.GetPosition(&ctx);
        EXPECT_EQ(window->graph()->cursor(), window->seekSlider()->pos());
        EXPECT_EQ(panelFrame, window->seekSlider()->pos());
        // The refresh runs every 50 ms: the panel lags the frame shown by a frame or two.
        EXPECT_LE(std::abs(engineFrame - panelFrame), 3) << engineFrame;
    }
    // Faster twice reaches x4, where the button gives up; the key does nothing more. (The
    // recording is long enough not to reach its end margin at x4 on a loaded machine.)
    QTest::mouseClick(faster, Qt::LeftButton);
    EXPECT_EQ(ctx.RateCode, 2);
    QTest::keyClick(window.get(), Qt::Key_Plus);
    EXPECT_EQ(ctx.RateCode, 4);
    EXPECT_FALSE(faster->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_Plus);
    EXPECT_EQ(ctx.RateCode, 4);
    QTest::keyClick(window.get(), Qt::Key_Minus);
    EXPECT_EQ(ctx.RateCode, 2);
    // Pausing at x2 returns to x1 first.
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(ctx.PlayState, MovieState::kPaused);
    EXPECT_EQ(ctx.RateCode, 1);
    expectPlayFace(false);
    const int32_t paused = ops.GetPosition(&ctx);
    QTest::qWait(300);
    QApplication::processEvents();
    EXPECT_EQ(ops.GetPosition(&ctx), paused);
    EXPECT_TRUE(window->barButton(0)->isEnabled());
    EXPECT_FALSE(faster->isEnabled());
    // To the start: the first frame, stopped.
    QTest::keyClick(window.get(), Qt::Key_Home);
    EXPECT_EQ(ctx.PlayState, MovieState::kStopped);
    EXPECT_EQ(window->seekSlider()->pos(), 0);
    EXPECT_EQ(window->graph()->cursor(), 0);
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return ops.GetPosition(&ctx) == 0;
    }));
    EXPECT_FALSE(window->barButton(0)->isEnabled());
    expectPlayFace(false);

    // Left and Right step a frame while not playing, and not past either end.
    auto waitForFrame = [&](int32_t frame) {
        return test::WaitUntil([&] {
            QApplication::processEvents();
            return ops.GetPosition(&ctx) == frame;
        });
    };
    QTest::keyClick(window.get(), Qt::Key_Right);
    QTest::keyClick(window.get(), Qt::Key_Right);
    EXPECT_TRUE(waitForFrame(2));
    QTest::keyClick(window.get(), Qt::Key_Left);
    EXPECT_TRUE(waitForFrame(1));
    QTest::keyClick(window.get(), Qt::Key_Left);
    QTest::keyClick(window.get(), Qt::Key_Left);
    EXPECT_TRUE(waitForFrame(0));

    // Page Down and Page Up walk the list; "次" gives up on the last recording.
    const std::string second = window->fileManager()->rows()[1].Path;
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(window->currentIndex(), 1);
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return window->loaded() && ctx.Track.Path == second;
    }));
    EXPECT_FALSE(window->barButton(5)->isEnabled());
    EXPECT_TRUE(window->barButton(1)->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_PageUp);
    EXPECT_EQ(window->currentIndex(), 0);
    EXPECT_FALSE(window->barButton(1)->isEnabled());
    // "前" on the first recording (from the view's menu, the button being disabled) rewinds it.
    ASSERT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return window->loaded() && ops.GetPosition(&ctx) >= 0;
    }));
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_TRUE(test::WaitUntil([&] {
        QApplication::processEvents();
        return ops.GetPosition(&ctx) > 5;
    }));
    window->OnCommand(kCommandBar + 1);
    EXPECT_EQ(window->currentIndex(), 0);
    EXPECT_EQ(ctx.PlayState, MovieState::kStopped);
    EXPECT_TRUE(waitForFrame(0));
    expectPlayFace(false);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tavrilo
