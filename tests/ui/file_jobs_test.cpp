// The file jobs from the window's buttons on generated cards: what they write, what they ask,
// and the recording taken up again when they are done.

#include <fstream>
#include <sstream>

#include "tests/ui/main_window_fixture.h"
#include "ui/skin/c_skin_progress_bar_ctrl.h"

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

class FileJobs : public MainWindow {
  protected:
    bool Wait(const std::function<bool()>& done) {
        return test::WaitUntil([&] {
            QApplication::processEvents();
            return done();
        });
    }
    bool WaitLoaded() {
        return Wait(
            [&] { return window->loaded() && GetEngineOps().GetPosition(&window->engine()) >= 0; });
    }
};

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

}  // namespace
}  // namespace tavrilo
