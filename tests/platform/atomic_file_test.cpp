// Files that appear only when complete.

#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/mp4_bytes.h"
#include "tests/support/process.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;

TEST(AtomicFile, AppearsOnlyWhenCommittedAndNeverReplacesUnasked) {
    TempFile existing(Text("keep me"));
    std::string error;
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(existing.path(), &error));
        f.Write(std::string("new"));
        EXPECT_FALSE(f.Commit(false, &error));
        EXPECT_NE(error.find("already exists"), std::string::npos);
    }
    EXPECT_EQ(ReadAll(existing.path()), Text("keep me"));
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(existing.path(), &error));
        f.Write(std::string("abandoned"));
    }
    EXPECT_EQ(ReadAll(existing.path()), Text("keep me"));
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(existing.path(), &error));
        f.Write(std::string("replaced"));
        EXPECT_TRUE(f.Commit(true, &error));
    }
    EXPECT_EQ(ReadAll(existing.path()), Text("replaced"));
    // No temporary files are left beside it.
    const auto folder = std::filesystem::path(existing.path()).parent_path();
    const std::string stem = "." + std::filesystem::path(existing.path()).filename().string();
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(e.path().filename().string().rfind(stem, 0), 0u) << e.path();
    }
}

}  // namespace
}  // namespace tavrilo
