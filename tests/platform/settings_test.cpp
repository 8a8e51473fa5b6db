#include "platform/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ini_file.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;

class SettingsFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("tavrilo-settings-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string Contents(const Settings& s) const {
        std::ifstream in(s.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path folder;
};

TEST_F(SettingsFolder, FirstStartWritesTheDisplayDefaultsInOrder) {
    Settings s(folder.string());
    EXPECT_EQ(s.path(), (folder / "Default_Folder.ini").string());
    EXPECT_TRUE(s.WriteFirstStartDefaults());
    EXPECT_EQ(Contents(s), "[DISPLAY]\r\nINFOCHECK=31\r\nASPECT=on\r\nVOLUME=65535\r\n");
    // Not again once the file exists.
    s.WriteVolume(300);
    EXPECT_FALSE(s.WriteFirstStartDefaults());
    EXPECT_EQ(s.ReadVolume(), 300);
    EXPECT_EQ(Contents(s), "[DISPLAY]\r\nINFOCHECK=31\r\nASPECT=on\r\nVOLUME=300\r\n");
}

TEST_F(SettingsFolder, ReadRules) {
    Settings s(folder.string());
    EXPECT_EQ(s.ReadSetting("SOURCE", "SELECT"), "");  // no file
    EXPECT_EQ(s.ReadVolume(), 65535);
    s.WriteSetting("DISPLAY", "VOLUME", "");
    EXPECT_EQ(s.ReadVolume(), 65535);
    s.WriteSetting("DISPLAY", "VOLUME", "loud");
    EXPECT_EQ(s.ReadVolume(), 0);
    s.WriteSetting("DISPLAY", "VOLUME", "1234abc");
    EXPECT_EQ(s.ReadVolume(), 1234);
    s.WriteSetting("DISPLAY", "VOLUME", "99999");
    EXPECT_EQ(s.ReadVolume(), 65535);
    EXPECT_FALSE(s.ReadHardwareDecode());
    s.WriteSetting("DECODE", "HW", "ON");
    EXPECT_FALSE(s.ReadHardwareDecode());
    s.WriteSetting("DECODE", "HW", "on");
    EXPECT_TRUE(s.ReadHardwareDecode());
}

TEST_F(SettingsFolder, OneKeyPerWriteKeepsEverythingElse) {
    Settings s(folder.string());
    s.WriteFirstStartDefaults();
    s.WriteSetting("SOURCE", "SELECT", "FOLDER");
    s.WriteSetting("SOURCE", "FOLDER", "/media/カード/DCIM");
    s.WriteSetting("DISPLAY", "ASPECT", "off");
    s.WriteSetting("FOLDERPATH", "CSV_FOLDER", std::string(600, 'x'));  // longer than 260
    EXPECT_EQ(s.ReadSetting("SOURCE", "FOLDER"), "/media/カード/DCIM");
    EXPECT_EQ(s.ReadSetting("display", "aspect"), "off");  // names ignore case
    EXPECT_EQ(s.ReadSetting("DISPLAY", "INFOCHECK"), "31");
    EXPECT_EQ(s.ReadSetting("FOLDERPATH", "CSV_FOLDER").size(), 600u);
    EXPECT_EQ(Contents(s),
              "[DISPLAY]\r\nINFOCHECK=31\r\nASPECT=off\r\nVOLUME=65535\r\n"
              "[SOURCE]\r\nSELECT=FOLDER\r\nFOLDER=/media/カード/DCIM\r\n"
              "[FOLDERPATH]\r\nCSV_FOLDER=" +
                  std::string(600, 'x') + "\r\n");
}

TEST_F(SettingsFolder, ForeignFilesReadAsOtherIniReadersWrite) {
    const std::string path = (folder / "x.ini").string();
    std::ofstream(path)
        << "; comment\n[DISPLAY]\n  VOLUME = 42  \nASPECT=\"on\"\n\n[OTHER]\nVOLUME=7\n";
    EXPECT_EQ(ReadIniValue(path, "DISPLAY", "VOLUME"), "42");
    EXPECT_EQ(ReadIniValue(path, "DISPLAY", "ASPECT"), "on");
    EXPECT_EQ(ReadIniValue(path, "OTHER", "VOLUME"), "7");
    // A new key goes to the end of its own section, not the file's.
    ASSERT_TRUE(WriteIniValue(path, "DISPLAY", "NEW", "1"));
    EXPECT_EQ(ReadIniValue(path, "DISPLAY", "NEW"), "1");
    EXPECT_EQ(ReadIniValue(path, "OTHER", "NEW"), "");
    EXPECT_EQ(ReadIniValue(path, "OTHER", "VOLUME"), "7");
}

TEST_F(SettingsFolder, AFailedWriteChangesNothing) {
    Settings s((folder / "missing-folder").string());
    EXPECT_FALSE(s.WriteSetting("DISPLAY", "VOLUME", "1"));
    EXPECT_FALSE(fs::exists(s.path()));
}

}  // namespace
}  // namespace tavrilo
