// A card pulled during each thing the window does with it: the work in hand ends, nothing it
// was writing stays behind, the views close and the window stays. The pull is a rename of the
// card's folder, which the source watcher sees as a pulled card.

#include <QFile>
#include <chrono>
#include <thread>

#include "tests/ui/main_window_fixture.h"
#include "widgets/c_skin_progress_bar_ctrl.h"

namespace tavrilo {
namespace {

using namespace windowtest;

class PulledCard : public MainWindow {
  protected:
    void Pull() { fs::rename(folder / "card", folder / "pulled"); }
    // The recording files on the card (the generator's stray one included).
    size_t RecordingsOn(const std::string& card) {
        size_t n = 0;
        for (const fs::path& f : Tree(folder / card)) {
            n += f.extension() == ".MP4";
        }
        return n;
    }
    // From the job's thread: pulls the card and holds the job until the window has seen it, so
    // that the job's next look at its stop flag finds it cleared.
    void PullUnderTheJob() {
        Pull();
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!window->jobSourceLost() && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // What the user sees once the loss was handled: no recording, the play button off, the
    // controls back from the job, the window still there.
    void ExpectClosedAndUsable() {
        EngineContext& ctx = window->engine();
        EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
        EXPECT_EQ(window->currentIndex(), -1);
        EXPECT_FALSE(window->loaded());
        EXPECT_FALSE(window->jobRunning());
        EXPECT_FALSE(window->barButton(2)->isEnabled());
        EXPECT_FALSE(window->progressBar()->isVisible());
        EXPECT_TRUE(window->fileManager()->list()->isEnabled());
        EXPECT_TRUE(window->isVisible());
    }
    // Lets the timers of an opening that might still start run out.
    static void Settle() { QTest::qWait(1200); }
};

TEST_F(PulledCard, WhileARecordingIsSelectedAndOpening) {
    MakeOnCard("--size 128 --seconds 4 --folders 1 --per-folder 3");
    MessageAnswers answers({});
    for (int settle : {0, 520}) {  // during the settle delay, then in the player's opening
        if (settle > 0) {
            window.reset();
            fs::rename(folder / "pulled", folder / "card");
            Make(true, [&](MainWindowOptions& o) {
                o.source = (folder / "card").string();
                o.sourceKind = SourceKind::kCard;
            });
        }
        ASSERT_TRUE(WaitLoaded());
        auto* list = window->fileManager()->list();
        list->setCurrentItem(list->topLevelItem(list->topLevelItemCount() - 1));
        QTest::qWait(settle);
        Pull();
        ASSERT_TRUE(Wait([&] { return window->engine().PlayState == MovieState::kClosed; }));
        Settle();
        ExpectClosedAndUsable();
    }
    // At most the opening that found its file gone said so; nothing else was asked.
    for (const QString& text : answers.texts) {
        EXPECT_EQ(text, QStringLiteral("動画のオープンに失敗しました。")) << text.toStdString();
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(PulledCard, WhileTheNextRecordingIsPrefetched) {
    MakeOnCard("--size 128 --seconds 4 --folders 1 --per-folder 3");
    // The first frame is shown as the prefetch of the next recording starts.
    ASSERT_TRUE(WaitLoaded());
    QTest::keyClick(window.get(), Qt::Key_Space);
    Pull();
    ASSERT_TRUE(Wait([&] { return window->engine().PlayState == MovieState::kClosed; }));
    Settle();
    ExpectClosedAndUsable();
    EXPECT_TRUE(errors.empty());
}

TEST_F(PulledCard, WhilePlayingARecordingThatShrinks) {
    // A recording cut short under the player (the recorder's file truncated, a card failing):
    // playback goes on to where the data ends and the next recording takes over.
    MakeOnCard("--size 128 --seconds 4 --folders 1 --per-folder 2");
    ASSERT_TRUE(WaitLoaded());
    const RecordingList rows = window->fileManager()->rows();
    const std::string playing = window->engine().Track.Path;
    ASSERT_EQ(playing, rows[0].Path);
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_EQ(window->engine().PlayState, MovieState::kPlaying);
    QTest::qWait(300);
    fs::resize_file(playing, fs::file_size(playing) / 3);
    ASSERT_TRUE(Wait([&] { return window->currentIndex() == 1 && window->loaded(); },
                     std::chrono::seconds(30)));
    EXPECT_EQ(window->engine().Track.Path, rows[1].Path);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(PulledCard, DuringTheCsvExport) {
    const fs::path out = folder / "csv";
    fs::create_directories(out);
    MakeOnCard("--size 128 --seconds 2 --folders 2 --per-folder 3", [&](MainWindowOptions& o) {
        o.pickFolder = [&](QWidget*, const QString&, const QString&) {
            return QString::fromStdString(out.string());
        };
        o.jobProgressSeen = [this](int64_t done, int64_t) {
            if (done == 1) {
                PullUnderTheJob();
            }
        };
    });
    ASSERT_TRUE(WaitLoaded());
    MessageAnswers answers({kMsgOk});
    QTest::mouseClick(window->barButton(15), Qt::LeftButton);
    ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
    ASSERT_EQ(answers.texts.size(), 1u);
    EXPECT_EQ(answers.texts[0], QStringLiteral("CSVファイルが作成できません。"));
    EXPECT_TRUE(Tree(out).empty());  // neither the file nor its temporary
    EXPECT_EQ(window->settings().ReadSetting("FOLDERPATH", "CSV_FOLDER"), "");
    Settle();
    ExpectClosedAndUsable();
    EXPECT_FALSE(window->barButton(15)->isEnabled());
}

TEST_F(PulledCard, DuringAJoin) {
    const fs::path out = folder / "joined";
    fs::create_directories(out);
    MakeOnCard("--size 128 --seconds 2 --folders 1 --per-folder 3", [&](MainWindowOptions& o) {
        o.pickSaveFile = [&](QWidget*, const QString&) {
            return QString::fromStdString((out / "trip.mp4").string());
        };
        o.jobProgressSeen = [this](int64_t done, int64_t total) {
            if (done > 0 && done < total) {
                PullUnderTheJob();
            }
        };
    });
    ASSERT_TRUE(WaitLoaded());
    const size_t before = RecordingsOn("card");
    SelectionAnswer select([](CFileSelectDlg& d) {
        d.ClickRow(0);
        d.ClickRow(2);
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
    });
    MessageAnswers answers({kMsgOk});
    QTest::mouseClick(window->barButton(7), Qt::LeftButton);
    ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
    ASSERT_EQ(answers.texts.size(), 1u);
    EXPECT_EQ(answers.texts[0], QStringLiteral("動画の連結に失敗しました。"));
    EXPECT_TRUE(Tree(out).empty());
    EXPECT_EQ(window->settings().ReadSetting("FOLDERPATH", "CONNECT_FOLDER"), "");
    Settle();
    ExpectClosedAndUsable();
    // The recordings themselves are untouched.
    EXPECT_EQ(RecordingsOn("pulled"), before);
}

TEST_F(PulledCard, DuringADeletion) {
    std::vector<std::string> trashed;
    MakeOnCard("--size 128 --seconds 2 --folders 1 --per-folder 3", [&](MainWindowOptions& o) {
        o.moveToTrash = [&](const std::string& path) {
            if (!trashed.empty()) {
                PullUnderTheJob();
            }
            trashed.push_back(path);
            return fs::remove(path);
        };
    });
    ASSERT_TRUE(WaitLoaded());
    const size_t before = RecordingsOn("card");
    SelectionAnswer select([](CFileSelectDlg& d) {
        QTest::mouseClick(d.selectAllSwitch(), Qt::LeftButton);
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
    });
    MessageAnswers answers({kMsgOk});
    QTest::mouseClick(window->barButton(13), Qt::LeftButton);
    ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
    ASSERT_EQ(answers.texts.size(), 1u);
    EXPECT_EQ(answers.texts[0], QStringLiteral("動画ファイルの削除に失敗しました。"));
    // The last went before the pull; the second was asked for as the card went (and was not
    // there to remove); the first was not asked for.
    ASSERT_EQ(trashed.size(), 2u);
    EXPECT_EQ(RecordingsOn("pulled"), before - 1);
    Settle();
    ExpectClosedAndUsable();
}

}  // namespace
}  // namespace tavrilo
