#include "system/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

TEST(AtomicFileWriter, ReplacesTheFileAndLeavesNothingElse) {
    testing::TempDir dir;
    const fs::path target = dir.path() / "Para.dat";
    std::ofstream(target) << "old contents, longer than the new";
    const std::string text = "new";
    ASSERT_TRUE(WriteFileAtomically(target, text.data(), text.size()));
    EXPECT_EQ(ReadText(target), "new");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"Para.dat"});
}

TEST(AtomicFileWriter, FailuresNameTheirStepAndKeepThePreviousFile) {
    testing::TempDir dir;
    {
        AtomicFileWriter writer(dir.path() / "missing" / "a.logo");
        EXPECT_FALSE(writer.opened());
        EXPECT_FALSE(writer.Write("x", 1));
        EXPECT_FALSE(writer.Commit());
        EXPECT_EQ(writer.failed_step(), AtomicFileWriter::Step::Create);
        EXPECT_EQ(writer.error(), std::errc::no_such_file_or_directory);
    }
    // A folder in the target's place cannot be replaced by a file.
    const fs::path target = dir.path() / "busy";
    fs::create_directory(target);
    std::ofstream(target / "inside") << "kept";
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.opened());
        EXPECT_TRUE(writer.Write("abc", 3));
        EXPECT_FALSE(writer.Commit());
        EXPECT_EQ(writer.failed_step(), AtomicFileWriter::Step::Replace);
        EXPECT_TRUE(writer.error());
    }
    EXPECT_EQ(ReadText(target / "inside"), "kept");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"busy"});
}

TEST(AtomicFileWriter, AWriterLeftUncommittedRemovesItsTemporaryFile) {
    testing::TempDir dir;
    const fs::path target = dir.path() / "a.logo";
    std::ofstream(target) << "previous";
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.opened());
        EXPECT_TRUE(writer.Write("half", 4));
        EXPECT_EQ(Names(dir.path()).size(), 2u);
    }
    EXPECT_EQ(ReadText(target), "previous");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"a.logo"});
}

// Writers racing for one file each use a temporary file of their own, so the
// file ends whole: one writer's bytes, never a mix.
TEST(AtomicFileWriter, ConcurrentWritersNeverMixTheirBytes) {
    testing::TempDir dir;
    const fs::path target = dir.path() / "shared.dat";
    constexpr int kWriters = 8;
    std::vector<std::string> texts;
    for (int i = 0; i < kWriters; ++i)
        texts.push_back(std::string(64 * 1024, static_cast<char>('a' + i)));
    std::vector<std::thread> threads;
    std::vector<int> ok(kWriters, 0);
    for (int i = 0; i < kWriters; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 10; ++round)
                ok[i] += WriteFileAtomically(target, texts[i].data(), texts[i].size());
        });
    }
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < kWriters; ++i)
        EXPECT_EQ(ok[i], 10) << i;
    const std::string result = ReadText(target);
    ASSERT_EQ(result.size(), texts[0].size());
    EXPECT_EQ(result.find_first_not_of(result[0]), std::string::npos);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"shared.dat"});
}

}  // namespace
}  // namespace korvane
