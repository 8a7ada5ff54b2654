// Files to be read and sent are regular files, looked at without blocking.
#include "system/file_read_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

#include "support/temp_dir.h"
#include "system/file_kind.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#endif

namespace korvane {
namespace {

namespace fs = std::filesystem;

TEST(FileReadCheck, ARegularFileOrAnEmptyOneIsReadable) {
    testing::TempDir dir;
    std::ofstream(dir.path() / "image.bin") << "bytes";
    std::ofstream(dir.path() / "empty.bin");
    for (const char* name : {"image.bin", "empty.bin"}) {
        EXPECT_FALSE(CheckReadable(dir.path() / name)) << name;
        EXPECT_FALSE(CheckMeasurable(dir.path() / name)) << name;
    }
    EXPECT_EQ(CheckMeasurable(dir.path()), std::errc::is_a_directory);
    EXPECT_EQ(CheckMeasurable(dir.path() / "missing"), std::errc::no_such_file_or_directory);
}

#ifndef _WIN32
// Runs `check` on another thread and gives up after a while, so that a check
// that blocks fails the test instead of hanging it.
std::optional<std::error_code> WithinSeconds(std::function<std::error_code()> check) {
    auto task = std::make_shared<std::packaged_task<std::error_code()>>(std::move(check));
    std::future<std::error_code> done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        return std::nullopt;
    return done.get();
}

TEST(FileReadCheck, AFifoIsRefusedAtOnce) {
    testing::TempDir dir;
    const fs::path fifo = dir.path() / "image.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    for (auto check : {&CheckReadable, &CheckMeasurable}) {
        const auto ec = WithinSeconds([&] { return check(fifo); });
        if (!ec) {
            // Free the blocked open (a FIFO opened for writing releases its
            // reader) before failing.
            const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::close(fd);
            FAIL() << "the check blocked on a FIFO";
        }
        EXPECT_EQ(*ec, MakeErrorCode(FileRefusal::Fifo));
        EXPECT_EQ(ec->message(), "is a FIFO");
    }
}

TEST(FileReadCheck, AFileWhoseSizeReadsZeroButHasBytesCannotBeMeasured) {
    const fs::path status = "/proc/self/status";
    std::error_code ec;
    if (fs::file_size(status, ec) != 0 || ec)
        GTEST_SKIP() << status << " does not read as empty here";
    EXPECT_FALSE(CheckReadable(status));
    EXPECT_EQ(CheckMeasurable(status), MakeErrorCode(FileRefusal::SizeUnknown));
    EXPECT_EQ(CheckMeasurable(status).message(),
              "its size cannot be known (it reads as empty yet has content)");
}
#endif

}  // namespace
}  // namespace korvane
