#include "widgets/ui_fonts.h"

#include <gtest/gtest.h>

namespace tavrilo {
namespace {

TEST(UiFonts, HeightStaysTheSameAtEveryScaling) {
    EXPECT_EQ(UiFontPixelHeight(9, 96, 96), 12);
    // 144 dpi: trunc(9 / 1.5) = 6 points, MulDiv(6, 144, 72) = 12.
    EXPECT_EQ(UiFontPixelHeight(9, 144, 144), 12);
    EXPECT_EQ(UiFontPixelHeight(10, 96, 96), 13);  // 13.33 rounds down
    EXPECT_EQ(UiFontPixelHeight(22, 96, 96), 29);  // 29.33
    EXPECT_EQ(UiFontPixelHeight(15, 96, 96), 20);
    // 120 dpi: trunc(13 / 1.25) = 10 points, MulDiv(10, 120, 72) = 16.67 -> 17.
    EXPECT_EQ(UiFontPixelHeight(13, 120, 120), 17);
}

TEST(UiFonts, SetUsesTheTableFaceThenTheCjkFallback) {
    const UiFonts fonts = UiFonts::Create(96, 96);
    EXPECT_EQ(fonts.f9.pixelSize(), 12);
    EXPECT_EQ(fonts.f12.pixelSize(), 16);
    EXPECT_EQ(fonts.f17.pixelSize(), 23);
    const QStringList families = fonts.f10.families();
    ASSERT_EQ(families.size(), 2);
    EXPECT_EQ(families[0], QString::fromUtf8("メイリオ"));
    EXPECT_EQ(families[1], QStringLiteral("Noto Sans CJK JP"));
}

}  // namespace
}  // namespace tavrilo
