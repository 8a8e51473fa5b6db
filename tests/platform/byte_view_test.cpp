// The bounds-checked views every parser reads through, and the sources they come from.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/byte_view.h"
#include "platform/mapped_file.h"
#include "platform/mapping_guard.h"
#include "tests/support/mp4_bytes.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;

const std::vector<uint8_t> kBytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};

ByteView View(size_t n = kBytes.size()) {
    return ByteView(std::span<const uint8_t>(kBytes.data(), n));
}

TEST(ByteView, ReadsInsideAndNothingPastTheEnd) {
    struct Case {
        const char* what;
        std::optional<uint64_t> got, expected;
    };
    const ByteView v = View();
    const std::vector<Case> cases = {
        {"U8 first", v.U8(0), 0x01},
        {"U8 last", v.U8(8), 0x09},
        {"U8 past", v.U8(9), std::nullopt},
        {"Be16 last", v.Be16(7), 0x0809},
        {"Be16 straddling", v.Be16(8), std::nullopt},
        {"Be32", v.Be32(1), 0x02030405},
        {"Be32 last", v.Be32(5), 0x06070809},
        {"Be32 straddling", v.Be32(6), std::nullopt},
        {"Be64", v.Be64(1), 0x0203040506070809},
        {"Be64 straddling", v.Be64(2), std::nullopt},
        {"offset near the top of size_t", v.Be32(SIZE_MAX - 1), std::nullopt},
        {"offset at the top of size_t", v.U8(SIZE_MAX), std::nullopt},
        {"empty view", ByteView().U8(0), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.expected) << c.what;
    }
}

TEST(ByteView, HasSubAndEqualsStayInside) {
    const ByteView v = View();
    EXPECT_TRUE(v.Has(0, 9));
    EXPECT_TRUE(v.Has(9, 0));
    EXPECT_FALSE(v.Has(9, 1));
    EXPECT_FALSE(v.Has(1, SIZE_MAX));  // a length that would wrap the sum
    EXPECT_FALSE(v.Has(SIZE_MAX, 2));
    EXPECT_EQ(v.Sub(7).size(), 2u);
    EXPECT_EQ(*v.Sub(7).U8(0), 0x08);
    EXPECT_EQ(v.Sub(2, 3).size(), 3u);
    EXPECT_FALSE(v.Sub(2, 3).U8(3).has_value());  // the sub-view's own end holds
    EXPECT_EQ(v.Sub(5, SIZE_MAX).size(), 4u);
    EXPECT_TRUE(v.Sub(9).empty());
    EXPECT_TRUE(v.Sub(SIZE_MAX, 4).empty());
    const std::vector<uint8_t> text = {'m', 'o', 'o', 'v'};
    const ByteView t(std::span<const uint8_t>(text.data(), text.size()));
    EXPECT_TRUE(t.Equals(0, "moov"));
    EXPECT_TRUE(t.Equals(1, "oov"));
    EXPECT_FALSE(t.Equals(1, "oovx"));  // would read past the end
    EXPECT_FALSE(t.Equals(0, "mdat"));
}

TEST(MemorySource, ViewsAreClippedLikeMappedOnes) {
    const MemorySource source(kBytes);
    EXPECT_EQ(source.size(), 9u);
    EXPECT_EQ(source.View(2, 100, UINT64_MAX)->bytes().size(), 7u);
    EXPECT_EQ(source.View(2, 100, 4)->bytes().size(), 2u);
    EXPECT_EQ(*source.View(2, 1, UINT64_MAX)->bytes().U8(0), 0x03);
    EXPECT_FALSE(source.View(9, 1, UINT64_MAX).has_value());
    EXPECT_FALSE(source.View(0, 0, UINT64_MAX).has_value());
    EXPECT_FALSE(source.View(5, 1, 5).has_value());
}

TEST(MapRange, RoundsTheViewDownAndClipsAtTheLimit) {
    Bytes content(10000);
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<uint8_t>(i * 7);
    }
    TempFile temp(content);
    MappedFile file;
    ASSERT_TRUE(file.Open(temp.path()));
    // An offset that is no multiple of the page size still addresses the offset itself.
    auto view = file.MapRange(5001, 100, file.size());
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->bytes().size(), 100u);
    EXPECT_EQ(*view->bytes().U8(0), static_cast<uint8_t>(5001 * 7));
    // Clipped at the limit and at the end of the file.
    EXPECT_EQ(file.MapRange(9990, 100, 9995)->bytes().size(), 5u);
    EXPECT_EQ(file.MapRange(9990, 100, UINT64_MAX)->bytes().size(), 10u);
    // Nothing to map.
    EXPECT_FALSE(file.MapRange(10000, 1, UINT64_MAX).has_value());
    EXPECT_FALSE(file.MapRange(100, 0, UINT64_MAX).has_value());
    EXPECT_FALSE(view->bytes().Be32(97).has_value());
    EXPECT_TRUE(view->bytes().Be32(96).has_value());
}

TEST(MapRange, AFileThatShrinksAfterOpeningGivesShortViewsNeverASignal) {
    Bytes content(1 << 20, 0x5a);
    TempFile temp(content);
    MappedFile file;
    ASSERT_TRUE(file.Open(temp.path()));
    // Another program cuts the file (or the card goes): the size known at opening is stale.
    std::filesystem::resize_file(temp.path(), 5000);
    EXPECT_FALSE(file.MapRange(8192, 4096, file.size()).has_value());
    const auto view = file.MapRange(4096, 200000, file.size());  // small: read
    ASSERT_TRUE(view.has_value());
    ASSERT_EQ(view->bytes().size(), 904u);
    uint64_t sum = 0;
    for (size_t i = 0; i < view->bytes().size(); ++i) {
        sum += *view->bytes().U8(i);
    }
    EXPECT_EQ(sum, 904u * 0x5a);
}

TEST(MapRange, APageOfALargeViewPastTheNewEndReadsAsZeros) {
    Bytes content(1 << 20, 0x5a);
    TempFile temp(content);
    MappedFile file;
    ASSERT_TRUE(file.Open(temp.path()));
    const auto view = file.MapRange(0, 1 << 20, file.size());  // large: mapped, not read
    ASSERT_TRUE(view.has_value());
    std::filesystem::resize_file(temp.path(), 5000);
    // Without the guard the first page past the end would end the process with SIGBUS.
    uint64_t sum = 0;
    for (size_t i = 0; i < view->bytes().size(); ++i) {
        sum += *view->bytes().U8(i);
    }
    EXPECT_EQ(sum, 5000u * 0x5a);
    EXPECT_TRUE(MappingShrankSeen());
}

TEST(MappedFile, OnlyRegularFilesOpen) {
    MappedFile file;
    EXPECT_FALSE(file.Open("/nonexistent/tavrilo/001_000000_A.MP4"));
    EXPECT_FALSE(file.Open("/tmp"));
    EXPECT_FALSE(file.IsOpen());
}

}  // namespace
}  // namespace tavrilo
