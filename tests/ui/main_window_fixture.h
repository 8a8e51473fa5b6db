#pragma once
// The main window's test fixture: a window on a generated card or recording under the test
// display, and the helpers the window tests share (message answers, picture differences).

#include <gtest/gtest.h>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/c_file_select_dlg.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"
#include "texts/ui_texts.h"
#include "ui/main/c_quovel_dlg.h"
#include "ui/main/window_layout.h"
#include "views/c_info_dlg.h"
#include "widgets/c_msg_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_slider_ctrl.h"

namespace tavrilo::windowtest {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;

inline fs::path TempFolder(const std::string& name) {
    const fs::path p =
        fs::temp_directory_path() / ("tavrilo-window-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

inline fs::path Recording(const std::string& name, const std::string& options) {
    static const fs::path folder = TempFolder("recordings");
    const fs::path file = folder / name;
    if (!fs::exists(file)) {
        const auto r =
            RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(file) + " " + options);
        EXPECT_EQ(r.status, 0) << r.output;
    }
    return file;
}

// No removable drives: the window starts without a source unless the test gives one.
class NoDrives : public DriveSource {
  public:
    std::vector<Volume> Volumes() const override { return {}; }
};

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "the main window needs a display; the test script runs it under Xvfb";
        }
        folder = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        window.reset();
        fs::remove_all(folder);
    }
    void Make(bool threeD = true, const std::function<void(MainWindowOptions&)>& adjust = {}) {
        MainWindowOptions o;
        o.startFolder = folder.string();
        o.probe3d = [threeD] { return threeD; };
        o.showError = [this](const QString& text, const QString&) { errors.push_back(text); };
        o.drives = std::make_shared<NoDrives>();
        // No map server: the tests never reach out, and a test that wants a map brings its own.
        MapOptions offline;
        offline.tiles = QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png");
        offline.check = QStringLiteral("http://127.0.0.1:9/");
        o.map = offline;
        if (adjust) {
            adjust(o);
        }
        window = std::make_unique<CquovelDlg>(std::move(o));
        window->move(100, 80);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();  // the deferred steps of the start
    }
    // Runs the event loop until `done` holds; false when the limit passed first.
    static bool Wait(const std::function<bool()>& done,
                     std::chrono::milliseconds limit = test::kEventLimit) {
        return test::WaitUntil(
            [&] {
                QApplication::processEvents();
                return done();
            },
            limit);
    }
    // Generates a card into the test's folder and starts the window on it.
    void MakeOnCard(const std::string& generatorOptions,
                    const std::function<void(MainWindowOptions&)>& adjust = {}) {
        const fs::path card = folder / "card";
        const auto r =
            RunCommand(std::string(TAVRILO_GEN) + " card " + Quote(card) + " " + generatorOptions);
        ASSERT_EQ(r.status, 0) << r.output;
        Make(true, [&](MainWindowOptions& o) {
            o.source = card.string();
            o.sourceKind = SourceKind::kCard;
            if (adjust) {
                adjust(o);
            }
        });
    }
    // Waits until the recording being opened shows its first frame.
    bool WaitLoaded() {
        return Wait(
            [&] { return window->loaded() && GetEngineOps().GetPosition(&window->engine()) >= 0; });
    }
    // Opens a recording and waits until its first frame is shown.
    void Open(const fs::path& file) {
        ASSERT_TRUE(window->OpenRecording(file.string()));
        ASSERT_TRUE(WaitLoaded());
    }
    void ExpectChildrenOf(int layout) {
        const LayoutRects r = ComputeLayout(layout, false);
        EXPECT_EQ(window->videoContainer()->geometry(), r.video) << layout;
        EXPECT_EQ(window->seekSlider()->geometry(), r.seekSlider) << layout;
        EXPECT_EQ(window->panel("information panel")->isVisible(), !r.infoPanel.isEmpty());
        if (!r.infoPanel.isEmpty()) {
            EXPECT_EQ(window->panel("information panel")->geometry(), r.infoPanel) << layout;
        }
        EXPECT_EQ(window->panel("file manager")->isVisible(), !r.fileManager.isEmpty());
        EXPECT_EQ(window->panel("G-sensor graph")->isVisible(), !r.graph.isEmpty());
        EXPECT_EQ(window->panel("direction pad")->isVisible(), !r.pad.isEmpty());
        for (int slot = 0; slot < kButtonCount; ++slot) {
            const QRect want = r.buttons[static_cast<size_t>(slot)];
            EXPECT_EQ(window->barButton(slot)->isVisible(), !want.isEmpty()) << slot;
            if (!want.isEmpty()) {
                EXPECT_EQ(window->barButton(slot)->geometry(), want) << layout << " " << slot;
            }
        }
        EXPECT_EQ(window->volumeSlider()->geometry(), r.volume);
        EXPECT_EQ(window->sizeButton()->geometry(), r.size);
        EXPECT_EQ(window->sizeButton()->toolTip().toStdString(),
                  std::string(GetUiText(SizeTooltipSlot(layout))));
        EXPECT_EQ(window->barButton(11)->imageStrip(), layout == 0 ? 358 : 364);
    }
    void Shot(const std::string& name) {
        // With TAVRILO_SHOTS set, the screen (the video included) is kept for review.
        if (const char* dir = std::getenv("TAVRILO_SHOTS")) {
            QApplication::processEvents();
            QTest::qWait(300);
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                QString::fromStdString(std::string(dir) + "/" + name + ".png"));
        }
    }

    fs::path folder;
    std::unique_ptr<CquovelDlg> window;
    std::vector<QString> errors;
};

// The mean difference of two pictures of one size, per channel, 0..255.
inline double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size() || x.isNull()) {
        return 255.0;
    }
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            sum += std::abs(qRed(p[col]) - qRed(q[col])) +
                   std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// Answers the message dialogs as they appear, in order, and keeps their texts.
class MessageAnswers {
  public:
    explicit MessageAnswers(std::vector<int> answers) : answers_(std::move(answers)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<CMsgDlg*>(w);
                if (d == nullptr || !d->isVisible() || d == last_) {
                    continue;
                }
                last_ = d;
                texts.push_back(d->textLabel()->text());
                const bool ok = answers_.empty() || answers_.front() == kMsgOk;
                if (!answers_.empty()) {
                    answers_.erase(answers_.begin());
                }
                QTest::mouseClick(ok ? d->okButton() : d->cancelButton(), Qt::LeftButton);
                return;
            }
        });
        timer_.start();
    }
    std::vector<QString> texts;

  private:
    std::vector<int> answers_;
    QTimer timer_;
    QPointer<CMsgDlg> last_;
};

// Works the file selection dialog when it appears: `act` checks rows and presses a button.
class SelectionAnswer {
  public:
    explicit SelectionAnswer(std::function<void(CFileSelectDlg&)> act) : act_(std::move(act)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<CFileSelectDlg*>(w);
                if (d != nullptr && d->isVisible() && !done) {
                    done = true;
                    act_(*d);
                    return;
                }
            }
        });
        timer_.start();
    }
    bool done = false;

  private:
    std::function<void(CFileSelectDlg&)> act_;
    QTimer timer_;
};

// Every file under `dir`, recursively.
inline std::vector<fs::path> Tree(const fs::path& dir) {
    std::vector<fs::path> files;
    if (fs::exists(dir)) {
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            if (e.is_regular_file()) {
                files.push_back(e.path());
            }
        }
    }
    return files;
}

}  // namespace tavrilo::windowtest
