#include "texts/ui_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tavrilo {
namespace {

TEST(UiTexts, KnownSlotsHoldTheirTexts) {
    EXPECT_EQ(GetUiText(0, 0), "閉じる");
    EXPECT_EQ(GetUiText(2, 0), "CSV");
    EXPECT_EQ(GetUiText(37, 0), "%d個");
    EXPECT_EQ(GetUiText(98, 0), "フォルダパスの取得に失敗しました。");
    EXPECT_EQ(GetUiText(113, 0), "メイリオ");
    EXPECT_EQ(GetUiText(163, 0), "ラウンド");
    // Full-width characters are part of the text, not replaced by ASCII.
    EXPECT_EQ(GetUiText(25, 0), "衝撃＋マニュアル");
    EXPECT_EQ(GetUiText(68, 0), "ドライブサポート　急加速");
    EXPECT_EQ(GetUiText(91, 0), "フルスクリーン（縦横比を維持）");
}

TEST(UiTexts, LineBreakInTheUpdateNoticeIsCarriageReturnLineFeed) {
    const std::string text(GetUiText(107, 0));
    const size_t at = text.find("\r\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(0, at), "新しいバージョンのソフトを利用できます。");
    EXPECT_EQ(text.substr(at + 2), "ダウンロードする場合は下記URLをクリックしてください。");
}

TEST(UiTexts, SlotsUpTo163AreFilledTheRestEmpty) {
    for (int slot = 0; slot < kUiTextSlots; ++slot) {
        EXPECT_EQ(GetUiText(slot, 0).empty(), slot > 163) << slot;
    }
    EXPECT_EQ(GetUiText(200), "");
    EXPECT_EQ(GetUiText(-1, 0), "");
    EXPECT_EQ(GetUiText(260, 0), "");
    EXPECT_EQ(GetUiText(0, 2), "");
}

TEST(UiTexts, BothColumnsHoldTheSameTexts) {
    for (int slot = 0; slot < kUiTextSlots; ++slot) {
        EXPECT_EQ(GetUiText(slot, 0), GetUiText(slot, 1)) << slot;
    }
}

TEST(UiTexts, RepeatedTextsSitInTheirOwnSlots) {
    // The table repeats several words in different slots; a shifted row would break these.
    EXPECT_EQ(GetUiText(24, 0), GetUiText(29, 0));
    EXPECT_EQ(GetUiText(27, 0), GetUiText(30, 0));
    EXPECT_EQ(GetUiText(144, 0), GetUiText(146, 0));
    EXPECT_EQ(GetUiText(78, 0), GetUiText(125, 0));
    EXPECT_NE(GetUiText(28, 0), GetUiText(141, 0));
    std::set<std::string> distinct;
    for (int slot = 0; slot <= 163; ++slot) {
        distinct.insert(std::string(GetUiText(slot, 0)));
    }
    EXPECT_EQ(distinct.size(), 148u);
}

TEST(UiLanguage, UsEnglishSelectsColumnOne) {
    EXPECT_EQ(LanguageColumnForLanguageId(1033), 1);
    EXPECT_EQ(LanguageColumnForLanguageId(1041), 0);
    EXPECT_EQ(LanguageIdFromLocaleName("en_US.UTF-8"), 1033);
    EXPECT_EQ(LanguageIdFromLocaleName("en_US"), 1033);
    EXPECT_EQ(LanguageIdFromLocaleName("en_GB.UTF-8"), 0);
    EXPECT_EQ(LanguageIdFromLocaleName("ja_JP.UTF-8"), 0);
    EXPECT_EQ(LanguageIdFromLocaleName("C"), 0);
    EXPECT_EQ(LanguageIdFromLocaleName("en_USX"), 0);

    SetUiLanguageColumn(1);
    EXPECT_EQ(UiLanguageColumn(), 1);
    EXPECT_EQ(GetUiText(0), "閉じる");
    SetUiLanguageColumn(0);
    EXPECT_EQ(UiLanguageColumn(), 0);
}

}  // namespace
}  // namespace tavrilo
