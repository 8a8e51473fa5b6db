// The file jobs from the window's buttons on generated cards: what they write, what they ask,
// and the recording taken up again when they are done.

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/track_access.h"
#include "files/c_file_select_dlg.h"
#include "files/file_selection.h"
#include "tests/ui/main_window_fixture.h"
#include "widgets/c_skin_list_ctrl.h"
#include "widgets/c_skin_progress_bar_ctrl.h"

namespace tavrilo {
namespace {

using namespace windowtest;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir)) {
        files.push_back(e.path());
    }
    return files;
}

using FileJobs = MainWindow;

TEST_F(FileJobs, TheCsvOfACardWithADamagedRecordingNamesItInTheMessage) {
    const fs::path out = folder / "csv";
    fs::create_directories(out);
    MakeOnCard("--size 64 --seconds 2 --folders 1 --per-folder 3", [&](MainWindowOptions& o) {
        o.pickFolder = [&](QWidget*, const QString&, const QString&) {
            return QString::fromStdString(out.string());
        };
    });
    ASSERT_TRUE(WaitLoaded());
    // The second recording's movie header is damaged (its type overwritten): the file is still
    // listed, but there is nothing in it to summarise.
    const RecordingEntry damaged = window->fileManager()->rows()[1];
    {
        std::fstream f(damaged.Path, std::ios::in | std::ios::out | std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(f)), {});
        const size_t at = bytes.find("moov");
        ASSERT_NE(at, std::string::npos);
        f.seekp(static_cast<std::streamoff>(at));
        f.write("mooX", 4);
    }
    MessageAnswers answers({kMsgOk});
    QTest::mouseClick(window->barButton(15), Qt::LeftButton);
    ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
    EXPECT_EQ(answers.texts[0],
              QStringLiteral("完了しました。\n読み込めない録画（ファイル名のみ出力）: ") +
                  QString::fromStdString(damaged.Name));
    const std::vector<fs::path> written = FilesIn(out);
    ASSERT_EQ(written.size(), 1u);
    const std::string text = ReadAll(written[0]);
    // Every recording has its line; the damaged one its name alone.
    EXPECT_NE(text.find(damaged.Name + ",-,-,-,-,-,-,-,fps,0MB"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
}

TEST_F(FileJobs, TheCsvButtonWritesWhatTheCliWritesAndAsksBeforeOverwriting) {
    const fs::path out = folder / "csv", cli = folder / "cli";
    fs::create_directories(out);
    fs::create_directories(cli);
    QString prompt;
    MakeOnCard("--size 128 --seconds 2 --folders 2 --per-folder 3", [&](MainWindowOptions& o) {
        o.pickFolder = [&](QWidget*, const QString& title, const QString&) {
            prompt = title;
            return QString::fromStdString(out.string());
        };
    });
    ASSERT_TRUE(WaitLoaded());
    CSkinButton* csv = window->barButton(15);
    ASSERT_TRUE(csv->isEnabled());  // a card with recordings
    {
        MessageAnswers answers({kMsgOk});
        QTest::mouseClick(csv, Qt::LeftButton);
        EXPECT_TRUE(window->jobRunning() || !answers.texts.empty());
        ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
        EXPECT_EQ(answers.texts[0], QStringLiteral("完了しました。"));
    }
    EXPECT_EQ(prompt, QStringLiteral("出力先フォルダーを選択してください。"));
    EXPECT_EQ(window->settings().ReadSetting("FOLDERPATH", "CSV_FOLDER"), out.string());
    const std::vector<fs::path> written = FilesIn(out);
    ASSERT_EQ(written.size(), 1u);  // the file alone: nothing temporary is left
    const auto r =
        RunCommand(std::string(TAVRILO_CLI) + " csv " + Quote(folder / "card") + " " + Quote(cli));
    ASSERT_EQ(r.status, 0) << r.output;
    const fs::path expected = cli / written[0].filename();
    ASSERT_TRUE(fs::exists(expected)) << r.output;
    EXPECT_EQ(ReadAll(written[0]), ReadAll(expected));
    // The recording is taken up again, the controls with it.
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(window->barButton(2)->isEnabled());
    EXPECT_FALSE(window->progressBar()->isVisible());

    // A second export into the same folder asks; declining writes nothing.
    const auto before = fs::last_write_time(written[0]);
    {
        MessageAnswers answers({kMsgCancel});
        QTest::mouseClick(csv, Qt::LeftButton);
        ASSERT_EQ(answers.texts.size(), 1u);
        EXPECT_EQ(answers.texts[0], QStringLiteral("同名のファイルが存在します。続行しますか？"));
    }
    EXPECT_FALSE(window->jobRunning());
    EXPECT_EQ(fs::last_write_time(written[0]), before);
    EXPECT_TRUE(errors.empty());
}

// Rows of the given sizes, named R0, R1, ...
RecordingList Rows(const std::vector<uint64_t>& sizes) {
    RecordingList list;
    for (size_t i = 0; i < sizes.size(); ++i) {
        RecordingEntry e;
        e.Name = "R" + std::to_string(i);
        e.Path = "/card/" + e.Name + ".MP4";
        e.ListIndex = static_cast<int32_t>(i);
        e.FileSize = sizes[i];
        list.push_back(e);
    }
    return list;
}

std::vector<int> CheckedRows(const CFileSelectDlg& d) {
    std::vector<int> rows;
    for (int i = 0; i < d.list()->count(); ++i) {
        if (CSkinListCtrl::StateImage(d.list()->item(i)) == 3) {
            rows.push_back(i);
        }
    }
    return rows;
}

TEST(FileSelection, TheRulesOfTheListAndTheTotal) {
    // Join mode keeps one run: rows 2 and 6 give 2 to 6; unchecking 4 leaves 2 and 3.
    std::vector<bool> c(10, false);
    c[2] = true;
    KeepRunContiguous(c, 2, true);
    c[6] = true;
    KeepRunContiguous(c, 6, true);
    EXPECT_EQ(c, (std::vector<bool>{0, 0, 1, 1, 1, 1, 1, 0, 0, 0}));
    c[4] = false;
    KeepRunContiguous(c, 4, false);
    EXPECT_EQ(c, (std::vector<bool>{0, 0, 1, 1, 0, 0, 0, 0, 0, 0}));
    // Checking before the run fills up to it; unchecking its first row leaves the rest.
    c[0] = true;
    KeepRunContiguous(c, 0, true);
    EXPECT_EQ(c, (std::vector<bool>{1, 1, 1, 1, 0, 0, 0, 0, 0, 0}));
    c[0] = false;
    KeepRunContiguous(c, 0, false);
    EXPECT_EQ(c, (std::vector<bool>{0, 1, 1, 1, 0, 0, 0, 0, 0, 0}));

    const uint64_t mb = 1048576;
    const RecordingList three = Rows({400 * mb, 400 * mb, 400 * mb});
    SelectionTotal t = TotalOf(three, {true, true, true}, SelectMode::kJoin);
    EXPECT_EQ(MegabytesText(t.bytes), "1200 MB");
    EXPECT_TRUE(t.sizeOver);
    t = TotalOf(Rows({512 * mb, 512 * mb}), {true, true}, SelectMode::kJoin);
    EXPECT_FALSE(t.sizeOver);  // exactly 1024 MB is allowed
    EXPECT_TRUE(t.okEnabled);
    EXPECT_FALSE(TotalOf(three, {true, false, false}, SelectMode::kJoin).okEnabled);
    EXPECT_TRUE(TotalOf(three, {true, false, false}, SelectMode::kDelete).okEnabled);
    EXPECT_FALSE(TotalOf(three, {false, false, false}, SelectMode::kDelete).okEnabled);
    EXPECT_TRUE(TotalOf(Rows(std::vector<uint64_t>(100, 1)), std::vector<bool>(100, true),
                        SelectMode::kJoin)
                    .tooMany);
    EXPECT_FALSE(
        TotalOf(Rows(std::vector<uint64_t>(99, 1)), std::vector<bool>(99, true), SelectMode::kJoin)
            .tooMany);
    EXPECT_EQ(MegabytesText(1048575), "0 MB");
    EXPECT_EQ(MegabytesText(1572864), "1 MB");

    bool complete = true;
    EXPECT_EQ(CapSelection(Rows(std::vector<uint64_t>(1600, 1)), &complete).size(), 1500u);
    EXPECT_FALSE(complete);
    // Join lists MP4 files only; show-all is the delete mode's.
    RecordingList mixed = Rows({1, 2, 3});
    mixed[1].Path = "/card/R1.AVI";
    EXPECT_EQ(DisplayList(mixed, {}, false, SelectMode::kJoin).size(), 2u);
    EXPECT_EQ(DisplayList(mixed, Rows({1}), true, SelectMode::kDelete).size(), 1u);
    EXPECT_EQ(DisplayList(mixed, Rows({1}), true, SelectMode::kJoin).size(), 2u);
}

TEST_F(FileJobs, TheSelectionDialogInBothModes) {
    Make();
    const uint64_t mb = 1048576;
    {
        CFileSelectDlg join(SelectMode::kJoin, window.get());
        RecordingList rows = Rows({400 * mb, 400 * mb, 400 * mb, 10, 10, 10, 10, 10, 10, 10});
        rows[8].Joined = 1;
        join.SetShownList(rows);
        EXPECT_EQ(join.windowTitle(), QStringLiteral("動画連結"));
        EXPECT_EQ(join.okButton()->text(), QStringLiteral("次へ"));
        EXPECT_FALSE(join.showAllSwitch()->isVisible() && join.isVisible());
        join.show();
        EXPECT_FALSE(join.showAllSwitch()->isVisible());
        EXPECT_EQ(join.list()->item(8)->background().color(), QColor(255, 255, 0));
        join.ClickRow(0);
        EXPECT_FALSE(join.okButton()->isEnabled());  // join needs two
        join.ClickRow(2);
        EXPECT_EQ(CheckedRows(join), (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(join.totalLabel()->text(), QStringLiteral("1200 MB"));
        EXPECT_TRUE(join.totalLabel()->styleSheet().contains(QStringLiteral("255, 0, 0")));
        Shot("file-select-join");
        if (const char* dir = std::getenv("TAVRILO_SHOTS")) {
            join.grab().save(QString::fromStdString(std::string(dir) + "/file-select-join.png"));
        }
        {
            MessageAnswers answers({kMsgOk});
            QTest::mouseClick(join.okButton(), Qt::LeftButton);
            ASSERT_EQ(answers.texts.size(), 1u);
            EXPECT_EQ(answers.texts[0], QStringLiteral("サイズオーバーです。"));
        }
        EXPECT_TRUE(join.isVisible());  // it stays open
        join.ClickRow(1);               // inside the run: 1 and 2 go, 0 stays
        EXPECT_EQ(CheckedRows(join), (std::vector<int>{0}));
    }
    {
        CFileSelectDlg remove(SelectMode::kDelete, window.get());
        remove.SetShownList(Rows({mb, 2 * mb}));
        EXPECT_TRUE(remove.SetFullList(Rows({mb, 2 * mb, 3 * mb, 1048575})));
        remove.show();
        EXPECT_EQ(remove.windowTitle(), QStringLiteral("削除"));
        EXPECT_EQ(remove.list()->count(), 2);
        EXPECT_FALSE(remove.okButton()->isEnabled());
        QTest::mouseClick(remove.showAllSwitch(), Qt::LeftButton);
        ASSERT_EQ(remove.list()->count(), 4);
        QTest::mouseClick(remove.selectAllSwitch(), Qt::LeftButton);
        EXPECT_EQ(CheckedRows(remove), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(remove.totalLabel()->text(), QStringLiteral("6 MB"));
        if (const char* dir = std::getenv("TAVRILO_SHOTS")) {
            remove.grab().save(
                QString::fromStdString(std::string(dir) + "/file-select-delete.png"));
        }
        // A click on a row's box unchecks it.
        const QRect box = remove.list()->visualItemRect(remove.list()->item(3));
        QTest::mouseClick(remove.list()->viewport(), Qt::LeftButton, {}, box.center());
        EXPECT_EQ(CheckedRows(remove), (std::vector<int>{0, 1, 2}));
        QTest::mouseClick(remove.okButton(), Qt::LeftButton);
        ASSERT_EQ(remove.result().size(), 3u);
        EXPECT_EQ(remove.result()[2].Name, "R2");
    }
    {
        CFileSelectDlg many(SelectMode::kDelete, window.get());
        MessageAnswers answers({kMsgOk});
        many.SetShownList(Rows(std::vector<uint64_t>(1600, 1)));
        ASSERT_EQ(answers.texts.size(), 1u);
        EXPECT_EQ(answers.texts[0],
                  QStringLiteral("表示数が1500を超えています。1500項目表示します。"));
        EXPECT_EQ(many.list()->count(), 1500);
    }
}

TEST_F(FileJobs, DeletingThePlayingRecordingClosesItAndPutsItInTheTrash) {
    const fs::path xdg = folder / "xdg";
    fs::create_directories(xdg);
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(xdg.string()));
    MakeOnCard("--size 128 --seconds 4 --folders 1 --per-folder 3");
    ASSERT_TRUE(WaitLoaded());
    const RecordingList before = window->fileManager()->rows();
    ASSERT_EQ(before.size(), 3u);
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_EQ(window->engine().PlayState, MovieState::kPlaying);
    const std::string playing = window->engine().Track.Path;
    ASSERT_EQ(playing, before[0].Path);
    bool closedFirst = false;
    {
        SelectionAnswer select([&](CFileSelectDlg& d) {
            d.ClickRow(0);
            QTest::mouseClick(d.okButton(), Qt::LeftButton);
        });
        MessageAnswers answers({kMsgOk});
        QTest::mouseClick(window->barButton(13), Qt::LeftButton);
        closedFirst = window->engine().PlayState == MovieState::kClosed || window->jobRunning();
        ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
        EXPECT_EQ(answers.texts[0], QStringLiteral("完了しました。"));
    }
    EXPECT_TRUE(closedFirst);
    EXPECT_FALSE(fs::exists(playing));
    const std::vector<fs::path> trashed = Tree(xdg / "Trash" / "files");
    ASSERT_EQ(trashed.size(), 1u);
    EXPECT_EQ(trashed[0].filename(), fs::path(playing).filename());
    // The source is listed again without it, and its first recording is opened.
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(window->fileManager()->rows().size(), 2u);
    EXPECT_EQ(window->engine().Track.Path, before[1].Path);
    qunsetenv("XDG_DATA_HOME");
}

TEST_F(FileJobs, AFailedDeletionStopsTheRestAndSaysSo) {
    std::vector<std::string> trashed;
    std::string refuse;
    MakeOnCard("--size 128 --seconds 2 --folders 1 --per-folder 3", [&](MainWindowOptions& o) {
        o.moveToTrash = [&](const std::string& path) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));  // time to look at it
            if (path == refuse) {
                return false;
            }
            trashed.push_back(path);
            return fs::remove(path);
        };
    });
    ASSERT_TRUE(WaitLoaded());
    const RecordingList rows = window->fileManager()->rows();
    ASSERT_EQ(rows.size(), 3u);
    refuse = rows[1].Path;
    {
        SelectionAnswer select([&](CFileSelectDlg& d) {
            QTest::mouseClick(d.selectAllSwitch(), Qt::LeftButton);
            QTest::mouseClick(d.okButton(), Qt::LeftButton);
        });
        MessageAnswers answers({kMsgOk});
        QTest::mouseClick(window->barButton(13), Qt::LeftButton);
        EXPECT_TRUE(window->jobRunning());
        EXPECT_TRUE(window->progressBar()->isVisible());
        EXPECT_FALSE(window->barButton(2)->isEnabled());
        EXPECT_FALSE(window->fileManager()->list()->isEnabled());
        Shot("job-in-progress");
        ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
        ASSERT_EQ(answers.texts.size(), 1u);
        EXPECT_EQ(answers.texts[0], QStringLiteral("動画ファイルの削除に失敗しました。"));
    }
    // From the last to the first: the third went, the second could not, the first stays.
    EXPECT_EQ(trashed, (std::vector<std::string>{rows[2].Path}));
    EXPECT_TRUE(fs::exists(rows[1].Path));
    EXPECT_TRUE(fs::exists(rows[0].Path));
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(window->fileManager()->rows().size(), 2u);
}

TEST_F(FileJobs, AJoinPlaysAsOneRecordingAndIsHighlightedNextTime) {
    const fs::path out = folder / "joined";
    fs::create_directories(out);
    uint64_t free = UINT64_MAX;
    MakeOnCard("--size 128 --seconds 2 --folders 1 --per-folder 3", [&](MainWindowOptions& o) {
        o.pickSaveFile = [&](QWidget*, const QString& proposed) {
            EXPECT_TRUE(proposed.endsWith(QStringLiteral("_A.MP4"))) << proposed.toStdString();
            return QString::fromStdString((out / "trip.mp4").string());
        };
        o.freeSpace = [&](const std::string&) { return free; };
    });
    ASSERT_TRUE(WaitLoaded());
    const RecordingList rows = window->fileManager()->rows();
    ASSERT_EQ(rows.size(), 3u);
    auto joinAll = [&](const std::vector<int>& expectedHighlight) {
        return SelectionAnswer([expectedHighlight](CFileSelectDlg& d) {
            std::vector<int> highlighted;
            for (int i = 0; i < d.list()->count(); ++i) {
                if (d.list()->item(i)->background().color() == QColor(255, 255, 0)) {
                    highlighted.push_back(i);
                }
            }
            EXPECT_EQ(highlighted, expectedHighlight);
            d.ClickRow(0);
            d.ClickRow(2);
            QTest::mouseClick(d.okButton(), Qt::LeftButton);
        });
    };
    // Too little room: refused before anything is written.
    free = 1000;
    {
        SelectionAnswer select = joinAll({});
        MessageAnswers answers({kMsgOk});
        QTest::mouseClick(window->barButton(7), Qt::LeftButton);
        ASSERT_EQ(answers.texts.size(), 1u);
        EXPECT_EQ(answers.texts[0], QStringLiteral("動画の連結に失敗しました。"));
        EXPECT_FALSE(window->jobRunning());
    }
    EXPECT_TRUE(Tree(out).empty());
    // With room: one file of the three, whose track holds the whole drive.
    free = UINT64_MAX;
    {
        SelectionAnswer select = joinAll({});
        MessageAnswers answers({kMsgOk});
        QTest::mouseClick(window->barButton(7), Qt::LeftButton);
        ASSERT_TRUE(Wait([&] { return !window->jobRunning() && !answers.texts.empty(); }));
        EXPECT_EQ(answers.texts[0], QStringLiteral("完了しました。"));
    }
    ASSERT_EQ(Tree(out), (std::vector<fs::path>{out / "trip.mp4"}));
    EXPECT_EQ(window->settings().ReadSetting("FOLDERPATH", "CONNECT_FOLDER"), out.string());
    ASSERT_TRUE(WaitLoaded());
    // The next join shows the three highlighted.
    {
        SelectionAnswer select([](CFileSelectDlg& d) {
            int highlighted = 0;
            for (int i = 0; i < d.list()->count(); ++i) {
                highlighted += d.list()->item(i)->background().color() == QColor(255, 255, 0);
            }
            EXPECT_EQ(highlighted, 3);
            d.reject();
        });
        QTest::mouseClick(window->barButton(7), Qt::LeftButton);
        EXPECT_TRUE(select.done);
    }
    // The joined file plays in the viewer as one recording of the three's length.
    int64_t single = 0;
    engine::ReadTrack(window->engine(), [&](const TrackReader& t) {
        single = static_cast<int64_t>(t.GSamples.size());
    });
    ASSERT_TRUE(window->OpenRecording((out / "trip.mp4").string()));
    ASSERT_TRUE(WaitLoaded());
    EngineContext& ctx = window->engine();
    EXPECT_NEAR(static_cast<double>(GetEngineOps().GetFrameCount(&ctx)), 3 * 2 * 30.3, 6);
    int64_t joined = 0;
    engine::ReadTrack(
        ctx, [&](const TrackReader& t) { joined = static_cast<int64_t>(t.GSamples.size()); });
    EXPECT_EQ(joined, 3 * single);
}

}  // namespace
}  // namespace tavrilo
