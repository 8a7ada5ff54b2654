#include "system/program_files.h"
#include "system/file_read_check.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "system/file_read_check.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Only the executable's file name counts, in any letter case; its folders
// keep their case in the result.
TEST(ProgramFiles, OnlyTheProgramsOwnNameHasFilesBesideIt) {
    struct Case {
        const char* executable;
        const char* file;  // nullptr: none
    };
    const Case cases[] = {
#ifdef _WIN32
        {"/opt/tools/Korvane.EXE", "/opt/tools/Para.dat"},
        {"C:\\My Tools\\KORVANE.exe", "C:\\My Tools\\Para.dat"},
        {"korvane.exe", "Para.dat"},
        {"/opt/Tools/KORVANE", nullptr},
#else
        {"/opt/Tools/KORVANE", "/opt/Tools/Para.dat"},
        {"/opt/korvane/bin/Korvane", "/opt/korvane/bin/Para.dat"},
        {"/Opt/My Tools/korvane", "/Opt/My Tools/Para.dat"},
        {"korvane", "Para.dat"},
        {"/opt/tools/korvane.exe", nullptr},
#endif
        {"/opt/korvane/other", nullptr},
        {"/opt/tools/korvane-cli", nullptr},
        {"/opt/tools/korvane2", nullptr},
        {"/opt/korvane/", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const auto file = ProgramFiles::ForExecutable(c.executable).Beside("Para.dat");
        if (c.file == nullptr) {
            EXPECT_FALSE(file.has_value()) << c.executable;
        } else {
            ASSERT_TRUE(file.has_value()) << c.executable;
            // Compared as paths: Windows joins with its own separator.
            EXPECT_EQ(*file, fs::path(c.file)) << c.executable;
        }
    }
}

TEST(ProgramFiles, ANamedFolderServesWhateverTheProgramIsCalled) {
    EXPECT_EQ(ProgramFiles::InFolder("/opt/tools").Beside("XMLName.dat"),
              fs::path("/opt/tools/XMLName.dat"));
    EXPECT_EQ(ProgramFiles::InFolder("").Beside("XMLName.dat"), fs::path("XMLName.dat"));
}

// This test program is not the program itself.
TEST(ProgramFiles, TheTestProgramIsRunningButIsNotTheProgram) {
    const fs::path self = RunningExecutable();
    ASSERT_FALSE(self.empty());
#ifdef _WIN32
    EXPECT_EQ(self.filename(), "korvane_system_tests.exe");
    EXPECT_TRUE(self.is_absolute()) << self;
#else
    EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe"));
#endif
    EXPECT_FALSE(ProgramFiles::ForRunningProgram().folder().has_value());
}

using testing::ScopedEnv;

// Folder modes and XDG_CONFIG_HOME are POSIX; Windows folders have access lists.
#ifndef _WIN32
TEST(ProgramFiles, AFolderThatCannotBeWrittenSendsWritableFilesToTheUsersFolder) {
    testing::TempDir dir;
    const ScopedEnv config("XDG_CONFIG_HOME", (dir.path() / "config").string());
    EXPECT_EQ(UserConfigFolder(), dir.path() / "config" / "korvane");

    const fs::path writable = dir.path() / "portable";
    fs::create_directory(writable);
    EXPECT_EQ(ProgramFiles::InFolder(writable).WritableBeside("Para.dat"), writable / "Para.dat");

    const fs::path installed = dir.path() / "installed";
    fs::create_directory(installed);
    ::chmod(installed.c_str(), 0555);
    if (::access(installed.c_str(), W_OK) == 0)
        GTEST_SKIP() << "this user may write any folder";
    EXPECT_EQ(ProgramFiles::InFolder(installed).WritableBeside("Para.dat"),
              dir.path() / "config" / "korvane" / "Para.dat");
    EXPECT_FALSE(ProgramFiles::ForExecutable(installed / "other").WritableBeside("Para.dat"));
}
#endif

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(CheckReadable, GivesTheSystemsReason) {
    testing::TempDir dir;
    const fs::path file = dir.path() / "file.bin";
    std::ofstream(file) << "x";
    EXPECT_FALSE(CheckReadable(file));
    EXPECT_EQ(CheckReadable(dir.path() / "missing.bin"), std::errc::no_such_file_or_directory);
    EXPECT_EQ(CheckReadable(dir.path()), std::errc::is_a_directory);
    EXPECT_EQ(CheckReadable(file / "inside.bmp"), std::errc::not_a_directory);
}

TEST(CanWriteFolder, APathThatNamesAFileIsNoFolderToWriteInto) {
    testing::TempDir dir;
    const fs::path file = dir.path() / "file.bin";
    std::ofstream(file) << "x";
    EXPECT_TRUE(CanWriteFolder(dir.path()));
    EXPECT_FALSE(CanWriteFolder(file));
    EXPECT_FALSE(CanWriteFolder(dir.path() / "missing"));
}

}  // namespace
}  // namespace korvane
