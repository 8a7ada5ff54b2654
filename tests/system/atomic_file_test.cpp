#include "system/atomic_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "system/file_kind.h"

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

#ifndef _WIN32
// What is no regular file is never replaced: renaming over it would
// destroy a device, a FIFO or a folder's place. The writer refuses it before
// it creates anything, naming what it found.
void ExpectRefused(const fs::path& target, FileRefusal why) {
    const auto before = Names(target.parent_path());
    {
        AtomicFileWriter writer(target);
        EXPECT_FALSE(writer.opened());
        EXPECT_FALSE(writer.Write("abc", 3));
        EXPECT_FALSE(writer.Commit());
        EXPECT_EQ(writer.failed_step(), AtomicFileWriter::Step::Target);
        EXPECT_EQ(writer.error(), MakeErrorCode(why)) << writer.error().message();
        EXPECT_EQ(Names(target.parent_path()), before);
    }
    EXPECT_FALSE(WriteFileAtomically(target, "abc", 3));
    EXPECT_EQ(Names(target.parent_path()), before);
}

TEST(AtomicFileWriter, RefusesWhatIsNoRegularFileAndWritesNothing) {
    testing::TempDir dir;
    const fs::path folder = dir.path() / "busy";
    fs::create_directory(folder);
    std::ofstream(folder / "inside") << "kept";
    ExpectRefused(folder, FileRefusal::Folder);
    EXPECT_EQ(MakeErrorCode(FileRefusal::Folder).message(), "is a folder");
    EXPECT_EQ(ReadText(folder / "inside"), "kept");

    const fs::path fifo = dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    ExpectRefused(fifo, FileRefusal::Fifo);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(MakeErrorCode(FileRefusal::Fifo).message(), "is a FIFO");

    // Through a link too: the link is followed to what it names.
    fs::create_symlink(fifo, dir.path() / "to-pipe");
    ExpectRefused(dir.path() / "to-pipe", FileRefusal::Fifo);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(AtomicFileWriter, RefusesACharacterDeviceAndLeavesItANode) {
    testing::TempDir dir;
    // The null device's numbers, made in the test's own folder.
    const fs::path node = dir.path() / "null";
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here (" << std::strerror(errno)
                     << "; needs root)";
    ExpectRefused(node, FileRefusal::CharacterDevice);
    EXPECT_TRUE(fs::is_character_file(node));
    EXPECT_EQ(MakeErrorCode(FileRefusal::CharacterDevice).message(), "is a character device");
}

TEST(AtomicFileWriter, ALinkIsKeptAndTheFileItNamesReplaced) {
    testing::TempDir dir;
    fs::create_directory(dir.path() / "real");
    const fs::path target = dir.path() / "real" / "Para.dat";
    std::ofstream(target) << "old";
    // One link absolute, one relative to the link's own folder, one to a link.
    fs::create_symlink(target, dir.path() / "absolute");
    fs::create_symlink(fs::path("real") / "Para.dat", dir.path() / "relative");
    fs::create_symlink("relative", dir.path() / "chained");
    const std::set<std::string> names = {"absolute", "chained", "real", "relative"};
    for (const char* link : {"absolute", "relative", "chained"}) {
        const std::string text = std::string("through ") + link;
        ASSERT_TRUE(WriteFileAtomically(dir.path() / link, text.data(), text.size())) << link;
        EXPECT_TRUE(fs::is_symlink(dir.path() / link)) << link;
        EXPECT_EQ(ReadText(target), text);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
        EXPECT_EQ(Names(dir.path()), names);
        EXPECT_EQ(Names(dir.path() / "real"), std::set<std::string>{"Para.dat"});
    }
    EXPECT_EQ(fs::read_symlink(dir.path() / "chained"), fs::path("relative"));

    // A link to a file not there yet makes that file, the link kept.
    fs::create_symlink(dir.path() / "real" / "new.dat", dir.path() / "dangling");
    ASSERT_TRUE(WriteFileAtomically(dir.path() / "dangling", "n", 1));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling"));
    EXPECT_EQ(ReadText(dir.path() / "real" / "new.dat"), "n");
}

#endif  // _WIN32

}  // namespace
}  // namespace korvane
