#include "recordings/names.h"

#include <gtest/gtest.h>

#include "texts/ui_texts.h"

namespace tavrilo {
namespace {

struct NameCase {
    const char* name;
    bool recording;
    int kind;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << '"' << c.name << '"';
}

class RecordingNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(RecordingNameTest, ClassifiesByPatternThenKind) {
    const NameCase& c = GetParam();
    EXPECT_EQ(IsRecordingName(c.name), c.recording) << c.name;
    EXPECT_EQ(GetEventKind(c.name), c.kind) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, RecordingNameTest,
    ::testing::Values(
        NameCase{"001_123456_A.MP4", true, kEventContinuous},
        NameCase{"001_123456_G.MP4", true, kEventImpact},
        NameCase{"001_123456_M.mp4", true, kEventManual},
        NameCase{"001_123456_P.MP4", true, kEventParking},
        NameCase{"001_123456_S.MP4", true, kEventParkingImpact},
        NameCase{"001_123456_O.MP4", true, kEventSpeedCamera},
        NameCase{"001_123456_R.MP4", true, kEventRadar},
        NameCase{"001_123456_T.MP4", true, kEventParkingT},
        NameCase{"001_123456_U.MP4", true, kEventParkingImpactU},
        // Lower-case letter: the search would accept it, the pattern does not.
        NameCase{"001_123456_a.MP4", false, kEventContinuous},
        // Mixed-case extension is neither pattern, though the search folds case.
        NameCase{"001_123456_A.Mp4", false, kEventContinuous},
        // Any character before the extension matches the pattern, but no kind is found.
        NameCase{"001_123456_AXMP4", false, kEventNone},
        NameCase{"1_123456_A.MP4", false, kEventContinuous},
        NameCase{"0001_123456_A.MP4", false, kEventContinuous},
        NameCase{"001_123456_A.MP4.bak", false, kEventContinuous},
        NameCase{"001_12345_A.MP4", false, kEventContinuous},
        NameCase{"001_123456_X.MP4", false, kEventNone}, NameCase{"", false, kEventNone},
        // A multi-byte character is still one "any character".
        NameCase{"001_123456_A\xC3\xA9MP4", false, kEventNone}));

TEST(RecordingName, TestsOnlyTheLastPathComponent) {
    EXPECT_TRUE(IsRecordingName("/media/card/20240101_001/001_123456_A.MP4"));
    EXPECT_TRUE(IsRecordingName("C:\\card\\20240101_001\\001_123456_G.MP4"));
    EXPECT_FALSE(IsRecordingName("/media/001_123456_A.MP4/notes.txt"));
}

TEST(RecordingName, FirstKindInSearchOrderWinsNotFirstInName) {
    // "_G.MP4" comes first in the name, but M is tried before G.
    EXPECT_EQ(GetEventKind("x_G.MP4_M.MP4"), kEventManual);
    // A comes before everything.
    EXPECT_EQ(GetEventKind("_R.mp4_A.mp4"), kEventContinuous);
    // The search itself ignores case.
    EXPECT_EQ(GetEventKind("001_123456_s.mp4"), kEventParkingImpact);
}

TEST(EventLabel, UsesTheKindsTextSlot) {
    EXPECT_EQ(GetEventLabel("001_123456_A.MP4"), "常時");
    EXPECT_EQ(GetEventLabel("001_123456_G.MP4"), "衝撃");
    EXPECT_EQ(GetEventLabel("001_123456_M.MP4"), "マニュアル");
    EXPECT_EQ(GetEventLabel("001_123456_S.MP4"), "駐車衝撃");
    EXPECT_EQ(GetEventLabel("001_123456_O.MP4"), "速度取締機");
    EXPECT_EQ(GetEventLabel("001_123456_R.MP4"), "レーダー");
    EXPECT_EQ(GetEventLabel("001_123456_T.MP4"), GetEventLabel("001_123456_P.MP4"));
    EXPECT_EQ(GetEventLabel("001_123456_U.MP4"), GetEventLabel("001_123456_S.MP4"));
}

TEST(EventLabel, ShortNamesAndKindlessNamesAreEmpty) {
    // 15 characters would have a kind substring but is too short to be looked at.
    EXPECT_EQ(GetEventLabel("01_123456_A.MP4"), "");
    EXPECT_EQ(GetEventLabel("001_123456_X.MP4"), "");
    // Length counts characters, not UTF-8 bytes: 15 characters in 17 bytes, then 16.
    EXPECT_EQ(GetEventLabel("\xC3\xA9\xC3\xA9_123456_A.MP4"), "");
    EXPECT_EQ(GetEventLabel("\xC3\xA9\xC3\xA9\xC3\xA9_123456_A.MP4"), "常時");
}

TEST(EventKindBit, OrsTheBitAndSharesItForTAndU) {
    int32_t kinds = 0;
    EXPECT_EQ(AddEventKindBit("001_000000_A.MP4", &kinds), 1);
    EXPECT_EQ(AddEventKindBit("002_000000_T.MP4", &kinds), 1);
    EXPECT_EQ(kinds, 0x01 | 0x08);
    AddEventKindBit("003_000000_P.MP4", &kinds);
    EXPECT_EQ(kinds, 0x09);
    AddEventKindBit("004_000000_U.MP4", &kinds);
    AddEventKindBit("005_000000_O.MP4", &kinds);
    AddEventKindBit("006_000000_R.MP4", &kinds);
    AddEventKindBit("007_000000_G.MP4", &kinds);
    AddEventKindBit("008_000000_M.MP4", &kinds);
    EXPECT_EQ(kinds, 0x7F);
    EXPECT_EQ(AddEventKindBit("notes.txt", &kinds), 1);
    EXPECT_EQ(kinds, 0x7F);
}

TEST(EventKindTable, ParkingFlagsAndBits) {
    const char letters[] = "AGMPSORTU";
    const int parking[] = {0, 0, 0, 1, 1, 0, 0, 1, 1};
    for (int code = 0; code <= 8; ++code) {
        const auto info = EventKindByCode(code);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->letter, letters[code]);
        EXPECT_EQ(info->parking, parking[code]) << letters[code];
        const std::string name = std::string("001_000000_") + letters[code] + ".MP4";
        EXPECT_EQ(ParkingFlag(name), parking[code]);
        EXPECT_EQ(GetEventKind(name), code);
    }
    EXPECT_FALSE(EventKindByCode(-1).has_value());
    EXPECT_FALSE(EventKindByCode(9).has_value());
    EXPECT_EQ(ParkingFlag("readme.txt"), 0);
}

TEST(FolderName, EightDigitsUnderscoreThreeDigits) {
    EXPECT_TRUE(IsRecordingFolderName("20240101_001"));
    EXPECT_FALSE(IsRecordingFolderName("2024010_001"));
    EXPECT_FALSE(IsRecordingFolderName("20240101_0011"));
    EXPECT_FALSE(IsRecordingFolderName("20240101-001"));
    EXPECT_FALSE(IsRecordingFolderName("x20240101_001"));
    EXPECT_FALSE(IsRecordingFolderName(""));
}

}  // namespace
}  // namespace tavrilo
