// Sources and the file manager panel on generated cards: drives, the source dialog and its
// settings, opening each kind of source, the filters, the firmware version, and the same lists
// as the command-line scan.

#include <gtest/gtest.h>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/engine.h"
#include "files/c_filer_container_dlg.h"
#include "files/c_source_open_dlg.h"
#include "files/file_manager_rules.h"
#include "recordings/content_test.h"
#include "recordings/names.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"
#include "tests/widgets/skin_support.h"
#include "widgets/c_skin_button.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;

class FakeDrives : public DriveSource {
  public:
    std::vector<Volume> volumes;
    std::vector<Volume> Volumes() const override { return volumes; }
};

fs::path Temp(const std::string& name) {
    const fs::path p =
        fs::temp_directory_path() / ("tavrilo-files-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

std::string FileText(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Drives, RemovableOnesWithoutDriveAAndTheLastProposed) {
    FakeDrives d;
    d.volumes = {{"A:\\", true}, {"C:\\", false}, {"E:\\", true}, {"F:\\", true}};
    std::vector<std::string> roots;
    EXPECT_EQ(EnumRemovableDrives(d, &roots), 1);
    EXPECT_EQ(roots, (std::vector<std::string>{"E:\\", "F:\\"}));
    d.volumes = {{"/", false}};
    EXPECT_EQ(EnumRemovableDrives(d, &roots), -1);
    EXPECT_TRUE(roots.empty());
    EXPECT_EQ(SourcePathToOpen("D:\\"), "D:");
    EXPECT_EQ(SourcePathToOpen("/media/card/"), "/media/card");
    EXPECT_EQ(SourcePathToOpen("/"), "/");
}

TEST(FileManagerRules, FiltersRowsAndFirmware) {
    std::array<int32_t, kFilterButtons> flags{1, 1, 1, 0, 1};  // button 3 ("駐車") off
    EXPECT_FALSE(PassesFilters("001_000000_P.MP4", flags));
    EXPECT_FALSE(PassesFilters("001_000000_T.MP4", flags));
    EXPECT_TRUE(PassesFilters("001_000000_S.MP4", flags));
    EXPECT_TRUE(PassesFilters("001_000000_O.MP4", flags));  // no button for kind 5
    EXPECT_EQ(RowFill(1, false), QColor(255, 255, 204));
    EXPECT_EQ(RowFill(3, false), QColor(255, 255, 255));
    EXPECT_EQ(RowFill(1, true), QColor(178, 178, 142));
    EXPECT_EQ(RowFill(0, true), QColor(178, 178, 178));
    CameraInfo c;
    c.Tag = {'x', '1', '0', '2'};
    c.Tag2 = {'0', '5'};
    EXPECT_EQ(FirmwareVersionText(c), "1.2.5");
    c.Tag[2] = '?';
    EXPECT_FALSE(FirmwareVersionText(c).has_value());
    // The newest folder holds no recording name any more: no version.
    const fs::path card = Temp("firmware");
    fs::create_directories(card / "20260601_001");
    std::ofstream(card / "20260601_001" / "notes.txt") << "x";
    RecordingEntry gone;
    gone.Path = (card / "20260601_001" / "001_100000_A.MP4").string();
    gone.Name = "001_100000_A.MP4";
    EXPECT_EQ(FirmwareRecordingOf({gone}), "");
    fs::remove_all(card);
}

class SourceDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = Temp("dialog");
        settings = std::make_unique<Settings>(folder.string());
        drives.volumes = {{"A:\\", true}, {"E:\\", true}, {"F:\\", true}};
    }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder;
    std::unique_ptr<Settings> settings;
    FakeDrives drives;
};

TEST_F(SourceDialog, DrivesRowsAndTheStoredChoice) {
    settings->WriteSetting("SOURCE", "SELECT", "FILE");
    CSourceOpenDlg dialog(*settings, drives, nullptr);
    EXPECT_EQ(dialog.drives()->count(), 2);
    EXPECT_EQ(dialog.drives()->currentText(), QStringLiteral("F:\\"));
    EXPECT_EQ(dialog.kind(), 3);
    EXPECT_TRUE(dialog.row(2)->isChecked());
    EXPECT_FALSE(dialog.row(0)->isChecked());
    EXPECT_FALSE(dialog.okButton()->isEnabled());  // no file stored
    dialog.fileEdit()->setText("/x/001_000000_A.MP4");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(dialog.size(), QSize(540, 250));
    EXPECT_EQ(dialog.okButton()->geometry(), QRect(410, 200, 100, 26));
}

TEST_F(SourceDialog, ACancelledFolderBrowserChangesNothing) {
    settings->WriteSetting("SOURCE", "FOLDER", "/kept");
    CSourceOpenDlg dialog(*settings, drives, nullptr,
                          [](QWidget*, const QString&, const QString&) { return QString(); });
    dialog.ChooseRow(0);
    QTest::mouseClick(dialog.folderBrowse(), Qt::LeftButton);
    EXPECT_EQ(dialog.folderEdit()->text(), QStringLiteral("/kept"));
    EXPECT_EQ(dialog.kind(), 1);
    // A folder the browser returns goes in and chooses the folder row.
    const QString chosen = QString::fromStdString(folder.string());
    CSourceOpenDlg picking(*settings, drives, nullptr,
                           [chosen](QWidget*, const QString&, const QString& start) {
                               EXPECT_EQ(start, QStringLiteral("/kept"));  // starts where it was
                               return chosen;
                           });
    QTest::mouseClick(picking.folderBrowse(), Qt::LeftButton);
    EXPECT_EQ(picking.folderEdit()->text(), chosen);
    EXPECT_EQ(picking.kind(), 2);
}

TEST_F(SourceDialog, ConfirmingTheCardRowWritesOnlySelectAndSd) {
    CSourceOpenDlg dialog(*settings, drives, nullptr);
    dialog.ChooseRow(0);
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenText(), "F:\\");
    EXPECT_EQ(FileText(folder / "Default_Folder.ini"), "[SOURCE]\r\nSELECT=SD\r\nSD=F:\\\r\n");
}

// A host that remembers what the panel told it and lists a chosen folder as the main window does.
class Host : public FileManagerHost {
  public:
    CFilerContainerDlg* panel = nullptr;
    int folders = 0, rows = 0;
    void OnFolderSelected(QTreeWidgetItem* item) override {
        ++folders;
        panel->ListFolder(item);
    }
    void OnRecordingSelected(int) override { ++rows; }
};

std::vector<std::string> Paths(const RecordingList& list) {
    std::vector<std::string> out;
    for (const RecordingEntry& e : list) {
        out.push_back(e.Path);
    }
    return out;
}

std::vector<std::string> CliScan(const fs::path& source) {
    const auto r = RunCommand(std::string(TAVRILO_CLI) + " scan " + Quote(source) + " 2>/dev/null");
    EXPECT_EQ(r.status, 0) << r.output;
    const nlohmann::json scan = nlohmann::json::parse(r.output);
    std::vector<std::string> out;
    for (const auto& e : scan["recordings"]) {
        out.push_back(e["path"].get<std::string>());
    }
    return out;
}

class FilePanel : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        card_ = new fs::path(Temp("card"));
        const auto r = RunCommand(std::string(TAVRILO_GEN) + " card " + Quote(*card_ / "card") +
                                  " --size 64 --seconds 1 --folders 2 --per-folder 8");
        ASSERT_EQ(r.status, 0) << r.output;
    }
    static void TearDownTestSuite() {
        fs::remove_all(*card_);
        delete card_;
    }
    void SetUp() override {
        folder = Temp("panel");
        settings = std::make_unique<Settings>(folder.string());
        GetEngineOps().Init(&ctx, nullptr);
        ctx.Ready = 1;
        panel = std::make_unique<CFilerContainerDlg>(ctx, *settings, drives, host, &host_window,
                                                     nullptr);
        host.panel = panel.get();
        panel->resize(386, 229);
    }
    void TearDown() override {
        panel.reset();
        GetEngineOps().Shutdown(&ctx);
        fs::remove_all(folder);
    }
    static fs::path Card() { return *card_ / "card"; }

    static fs::path* card_;
    fs::path folder;
    std::unique_ptr<Settings> settings;
    FakeDrives drives;
    Host host;
    test::RecordingParent host_window;
    EngineContext ctx;
    std::unique_ptr<CFilerContainerDlg> panel;
};
fs::path* FilePanel::card_ = nullptr;

TEST_F(FilePanel, ListsWhatTheScanListsForACardAFolderAndAFile) {
    panel->LoadSource(Card().string(), SourceKind::kCard);
    ASSERT_EQ(panel->tree()->topLevelItemCount(), 2);
    EXPECT_EQ(panel->tree()->topLevelItem(0)->text(0).toStdString(), "20260601_001");
    EXPECT_EQ(panel->watchedPath(), Card().string());
    EXPECT_EQ(Paths(panel->GetAllRecordings()), CliScan(Card()));
    // The first date folder is chosen and listed as the scan lists that folder.
    const fs::path first = Card() / "20260601_001";
    EXPECT_EQ(Paths(panel->listed()), CliScan(first));
    EXPECT_EQ(panel->pathEdit()->text().toStdString(), first.string());
    EXPECT_EQ(panel->CountText().toStdString(), std::to_string(panel->rows().size()) + "個");
    // Choosing the other folder in the tree lists it.
    panel->tree()->setCurrentItem(panel->tree()->topLevelItem(1));
    EXPECT_EQ(host.folders, 1);
    EXPECT_EQ(Paths(panel->listed()), CliScan(Card() / "20260601_002"));
    // One file.
    const std::string file = CliScan(first).front();
    panel->LoadSource(file, SourceKind::kFile);
    EXPECT_EQ(Paths(panel->rows()), (std::vector<std::string>{file}));
    EXPECT_EQ(panel->watchedPath(), file);
    EXPECT_EQ(panel->list()->topLevelItem(0)->text(0).toStdString() + ".MP4",
              fs::path(file).filename().string());
}

TEST_F(FilePanel, AFolderSourceIsOneItemNamedAfterIt) {
    settings->WriteSetting("SOURCE", "FOLDER", Card().string() + "/");
    ASSERT_TRUE(panel->RestoreSource());
    EXPECT_EQ(panel->sourceKind(), SourceKind::kFolder);
    ASSERT_EQ(panel->tree()->topLevelItemCount(), 1);
    EXPECT_EQ(panel->tree()->topLevelItem(0)->text(0).toStdString(), "card");
    EXPECT_EQ(panel->tree()->topLevelItem(0)->childCount(), 2);  // its date folders
    EXPECT_EQ(panel->watchedPath(), Card().parent_path().string());
}

TEST_F(FilePanel, AtStartADriveWithoutMediaIsSkipped) {
    drives.volumes = {{Card().string(), true}, {(folder / "no-media").string(), true}};
    ASSERT_TRUE(panel->RestoreSource());
    EXPECT_EQ(panel->sourceKind(), SourceKind::kCard);
    EXPECT_EQ(panel->sourcePath(), Card().string());
    EXPECT_EQ(panel->GetFirmwareVersion(), "1.4.5");  // the generator's firmware 10405
    drives.volumes.clear();
    panel->tree()->clear();
    EXPECT_FALSE(panel->RestoreSource());  // nothing stored, no drive: nothing opened
}

TEST_F(FilePanel, APulledCardReachesTheMainWindowOnce) {
    const fs::path card = folder / "pulled";
    fs::create_directories(card);
    fs::copy(Card() / "20260601_001", card / "20260601_001");
    panel->LoadSource(card.string(), SourceKind::kCard);
    EXPECT_EQ(panel->watchedPath(), card.string());
    fs::remove_all(card);
    EXPECT_TRUE(test::WaitUntil([&] { return !host_window.posted().empty(); }));
    EXPECT_EQ(host_window.posted(), (std::vector<test::Posted>{{UWM_SOURCE_LOST, 0, 0}}));
    EXPECT_EQ(panel->watchedPath(), "");
}

TEST_F(FilePanel, FilterThreeOffHidesKindsThreeAndSeven) {
    panel->LoadSource(Card().string(), SourceKind::kCard);
    // The whole first folder as the list, to have every kind the card writes.
    const size_t before = panel->rows().size();
    int parked = 0;
    for (const RecordingEntry& e : panel->rows()) {
        const int kind = GetEventKind(e.Name);
        parked += kind == 3 || kind == 7;
    }
    ASSERT_GT(parked, 0) << "the generated folder holds parking recordings";
    QTest::mouseClick(panel->filterButton(3), Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_FALSE(panel->filterButton(3)->isChecked());
    EXPECT_EQ(panel->rows().size(), before - static_cast<size_t>(parked));
    for (const RecordingEntry& e : panel->rows()) {
        EXPECT_NE(GetEventKind(e.Name), 3);
        EXPECT_NE(GetEventKind(e.Name), 7);
    }
    EXPECT_EQ(panel->CountText().toStdString(), std::to_string(panel->rows().size()) + "個");
    panel->ToggleFilter(3);  // the command from the main window inverts it back
    EXPECT_EQ(panel->rows().size(), before);
}

}  // namespace
}  // namespace tavrilo
