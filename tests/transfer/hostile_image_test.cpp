// Images that are not what a run can trust: no regular file, a size that
// cannot be known, an empty image whose burn fails, a file that changes
// while it is sent.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "link/frame.h"
#include "link/texts.h"
#include "protocol/command_codes.h"
#include "transfer/transfer_fixture.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::RandomBytes;
using testing::TransferTest;

void Overwrite(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

bool Shown(const std::vector<Message>& messages, TextId id) {
    for (const Message& m : messages) {
        if (m.text == Text(id))
            return true;
    }
    return false;
}

#ifndef _WIN32
TEST_F(TransferTest, AFifoOrAFileOfUnknownSizeIsRefusedBeforeAnythingIsSent) {
    Serve(LinkMode::Udp);
    const auto fifo = dir.path() / "image.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // On another thread with a time limit: a run that blocks opening the
    // FIFO must fail the test, not hang it.
    auto task = std::make_shared<std::packaged_task<bool()>>(
        [this, fifo] { return Program(ImageKind::Kernel, fifo); });
    auto started = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (started.wait_for(5s) != std::future_status::ready) {
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // frees the blocked open
        std::this_thread::sleep_for(500ms);
        ::close(fd);
        FAIL() << "the run blocked on a FIFO";
    }
    EXPECT_FALSE(started.get());
    EXPECT_EQ(link.result(), LinkResult::FileError);
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kFlashPrepare).empty());

    std::error_code ec;
    if (std::filesystem::file_size("/proc/self/status", ec) == 0 && !ec) {
        EXPECT_FALSE(Program(ImageKind::Kernel, "/proc/self/status"));
        EXPECT_EQ(link.result(), LinkResult::FileError);
        EXPECT_TRUE(panel.FramesWithCommand(cmd::kFlashPrepare).empty());
    }
}
#endif

// An empty image has no packet: its final result follows the flash-prepare
// reply, and a failure there can be answered by no packet sent again.
class EmptyImage : public TransferTest, public ::testing::WithParamInterface<LinkMode> {};

TEST_P(EmptyImage, ItsFinalResultEndsTheRunAtOnce) {
    Serve(GetParam());
    panel.SetBurnMs(100);
    const auto image = WriteImage({}, "empty.bin");

    panel.FailNextFinals(1);
    auto begun = std::chrono::steady_clock::now();
    ASSERT_TRUE(Program(ImageKind::Logo, image));
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 1s);
    EXPECT_EQ(link.result(), LinkResult::ChecksumError);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::PacketChecksumFailed)},
                                    {MessageKind::Error, Text(TextId::UpdateFailed)}}));
    EXPECT_EQ(panel.FinalResultsSent(), 1);

    sink.Clear();
    begun = std::chrono::steady_clock::now();
    ASSERT_TRUE(Program(ImageKind::Logo, image));
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 1s);
    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Plain, Text(TextId::UpdateDone)}}));
}

INSTANTIATE_TEST_SUITE_P(Links, EmptyImage, ::testing::Values(LinkMode::Udp, LinkMode::Serial),
                         [](const auto& info) {
                             return std::string(info.param == LinkMode::Udp ? "udp" : "serial");
                         });

// 41 packets over UDP (more than a stream reads ahead); the file is changed
// while the run goes.
constexpr size_t kImageSize = 40 * 1024 + 100;

class ChangedImage : public TransferTest {
  protected:
    void SetUp() override {
        Serve(LinkMode::Udp);
        image = WriteImage(RandomBytes(kImageSize, 3));
    }
    void ExpectStoppedBeforeTheLastPacket() {
        EXPECT_EQ(link.result(), LinkResult::ImageChanged);
        EXPECT_TRUE(Shown(sink.Messages(), TextId::ImageChanged));
        EXPECT_TRUE(Shown(sink.Messages(), TextId::UpdateFailed));
        // The last packet never went: the panel burnt nothing new.
        for (const auto& frame : panel.FramesWithCommand(cmd::kFlashData))
            EXPECT_NE(ReadBe32(&frame[5]), 0x80000u + 40u * 1024u);
    }
    std::filesystem::path image;
};

TEST_F(ChangedImage, ContentChangedMidRunIsNotSent) {
    // At the third packet, the last one's bytes change: the sum tells.
    progress.AtStep(3, [this] {
        const auto time = std::filesystem::last_write_time(image);
        auto bytes = RandomBytes(kImageSize, 3);
        for (size_t i = 40 * 1024; i < bytes.size(); ++i)
            bytes[i] ^= 0x5A;
        Overwrite(image, bytes);
        // The same time: only what is read can tell.
        std::filesystem::last_write_time(image, time);
    });
    ASSERT_TRUE(Program(ImageKind::Kernel, image));
    ExpectStoppedBeforeTheLastPacket();
    EXPECT_EQ(panel.FinalResultsSent(), 0);
    EXPECT_EQ(LinkResultName(LinkResult::ImageChanged), std::string("ImageChanged"));
}

TEST_F(ChangedImage, BytesAlreadySentChangedAreNoticedByTheFileTime) {
    // The first packet's bytes change after it went: what is still to be
    // read adds up, but the file is no longer the one measured.
    progress.AtStep(3, [this] {
        auto bytes = RandomBytes(kImageSize, 3);
        bytes[0] ^= 0xFF;
        std::this_thread::sleep_for(20ms);  // a later modification time
        Overwrite(image, bytes);
    });
    ASSERT_TRUE(Program(ImageKind::Kernel, image));
    ExpectStoppedBeforeTheLastPacket();
}

TEST_F(ChangedImage, AFileChangedBetweenPassesIsNotSentAgain) {
    // The first burn fails, and the file changes before the image goes again.
    panel.FailNextFinals(1);
    panel.SetBurnObserver([this](const sim::BurnReport&, std::span<const uint8_t>) {
        std::this_thread::sleep_for(20ms);
        Overwrite(image, RandomBytes(kImageSize, 4));
    });
    ASSERT_TRUE(Program(ImageKind::Kernel, image));
    EXPECT_EQ(link.result(), LinkResult::ImageChanged);
    EXPECT_TRUE(Shown(sink.Messages(), TextId::ImageChanged));
    EXPECT_EQ(panel.FinalResultsSent(), 1);
    EXPECT_EQ(panel.FramesWithCommand(cmd::kFlashData).size(), 41u);
}

}  // namespace
}  // namespace korvane
