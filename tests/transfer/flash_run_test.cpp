// Whole programming runs against the simulated panel: what lands in its
// flash, what goes on the wire, and what the user is told.
#include <gtest/gtest.h>

#include "link/frame.h"
#include "link/texts.h"
#include "protocol/command_codes.h"
#include "protocol/panel_operations.h"
#include "transfer/image_checksum.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

using testing::RandomBytes;
using testing::TransferTest;

const std::vector<Message> kDone = {{MessageKind::Plain, Text(TextId::UpdateDone)}};
const std::vector<Message> kKernelDone = {{MessageKind::AppDefault, Text(TextId::KernelDownloaded)},
                                          {MessageKind::Plain, Text(TextId::UpdateDone)}};

struct ContentCase {
    LinkMode mode;
    ImageKind kind;
    size_t size;
};

void PrintTo(const ContentCase& c, std::ostream* os) {
    *os << static_cast<int>(c.mode) << "/" << static_cast<int>(c.kind) << "/" << c.size;
}

std::string CaseName(const ::testing::TestParamInfo<ContentCase>& info) {
    return std::string(info.param.mode == LinkMode::Udp ? "udp_" : "serial_") +
           FindImageKind(info.param.kind)->name + "_" + std::to_string(info.param.size);
}

class FlashContent : public TransferTest, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(FlashContent, LandsByteIdenticalAtTheKindsAddress) {
    const auto [mode, kind, size] = GetParam();
    Serve(mode);
    const auto bytes = RandomBytes(size, size * 31 + static_cast<size_t>(kind));
    const uint32_t start = ImageStartAddress(kind);
    const unsigned closes = link.close_count();

    ASSERT_TRUE(Program(kind, WriteImage(bytes)));

    EXPECT_EQ(link.result(), LinkResult::Ok);
    EXPECT_EQ(sink.Messages(), kind == ImageKind::Kernel ? kKernelDone : kDone);
    EXPECT_EQ(panel.ReadFlash(start, static_cast<uint32_t>(size)), bytes);
    // Nothing written past the image's end.
    EXPECT_EQ(panel.ReadFlash(start + static_cast<uint32_t>(size), 16),
              std::vector<uint8_t>(16, 0xFF));
    const size_t packet = mode == LinkMode::Udp ? 1024 : 4000;
    EXPECT_EQ(DataFrames(), (size + packet - 1) / packet);
    EXPECT_EQ(link.close_count(), closes + 1);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(progress.position(), 0);
    EXPECT_EQ(progress.text(), "");
    EXPECT_EQ(progress.texts().front(), Text(FindImageKind(kind)->progress_text));
}

std::vector<ContentCase> ContentCases() {
    std::vector<ContentCase> cases;
    for (LinkMode mode : {LinkMode::Udp, LinkMode::Serial}) {
        for (ImageKind kind :
             {ImageKind::Kernel, ImageKind::BootLoader, ImageKind::FileSystem, ImageKind::Logo}) {
            for (size_t size : {0, 1, 1023, 1024, 1025, 4000, 4001, 5000})
                cases.push_back({mode, kind, size});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, FlashContent, ::testing::ValuesIn(ContentCases()), CaseName);

TEST_F(TransferTest, SeveralMebibytesOverUdp) {
    Serve(LinkMode::Udp);
    const auto bytes = RandomBytes(3 * 1024 * 1024 + 517, 99);
    ASSERT_TRUE(Program(ImageKind::FileSystem, WriteImage(bytes)));
    EXPECT_EQ(sink.Messages(), kDone);
    EXPECT_EQ(panel.ReadFlash(0x280000, static_cast<uint32_t>(bytes.size())), bytes);
    EXPECT_EQ(progress.span(), 3 * 1024);
}

TEST_F(TransferTest, FiveThousandBytesOnTheWire) {
    Serve(LinkMode::Udp);
    const auto bytes = RandomBytes(5000, 5);
    ASSERT_TRUE(Program(ImageKind::Kernel, WriteImage(bytes)));

    const auto prepare = panel.FramesWithCommand(cmd::kFlashPrepare);
    ASSERT_EQ(prepare.size(), 1u);
    ASSERT_EQ(prepare[0].size(), 19u);
    EXPECT_EQ(prepare[0][5], 1);
    EXPECT_EQ(ReadBe32(&prepare[0][6]), 0x80000u);
    EXPECT_EQ(ReadBe32(&prepare[0][10]), 0x81388u);
    EXPECT_EQ(ReadBe32(&prepare[0][14]), ImageChecksum(bytes));
    EXPECT_EQ(transfer.packet_count(), 4);

    const auto data = panel.FramesWithCommand(cmd::kFlashData);
    ASSERT_EQ(data.size(), 5u);
    const uint32_t addresses[] = {0x80000, 0x80400, 0x80800, 0x80C00, 0x81000};
    for (size_t i = 0; i < 5; ++i) {
        const size_t n = i < 4 ? 1024 : 904;
        EXPECT_EQ(data[i].size(), n + 10);
        EXPECT_EQ(ReadBe16(&data[i][2]), n + 10);
        EXPECT_EQ(ReadBe32(&data[i][5]), addresses[i]);
        EXPECT_TRUE(std::equal(data[i].begin() + 9, data[i].end() - 1, bytes.begin() + i * 1024));
        EXPECT_EQ(data[i].back(), FrameChecksum(data[i].data(), static_cast<uint16_t>(n + 9)));
    }
    // The order of a run: query-state, enter-download (mode 1), prepare, data.
    const auto frames = panel.ReceivedFrames();
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames[0][4], cmd::kQueryState);
    EXPECT_EQ(frames[1][4], cmd::kEnterDownload);
    EXPECT_EQ(frames[1][5], 1);
    EXPECT_EQ(frames[2][4], cmd::kFlashPrepare);
}

TEST_F(TransferTest, SixByteChecksumAndEmptyImageOnTheWire) {
    Serve(LinkMode::Udp);
    ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage({1, 2, 3, 4, 5, 6})));
    auto prepare = panel.FramesWithCommand(cmd::kFlashPrepare);
    ASSERT_EQ(prepare.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(prepare[0].begin() + 6, prepare[0].begin() + 18),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 6, 0x08, 0x06, 0x08, 0x06}));

    // Empty: equal start and end, no data packet, the final result awaited.
    panel.ClearReceived();
    sink.Clear();
    ASSERT_TRUE(Program(ImageKind::Logo, WriteImage({}, "empty.dat")));
    prepare = panel.FramesWithCommand(cmd::kFlashPrepare);
    ASSERT_EQ(prepare.size(), 1u);
    EXPECT_EQ(ReadBe32(&prepare[0][6]), 0x40000u);
    EXPECT_EQ(ReadBe32(&prepare[0][10]), 0x40000u);
    EXPECT_EQ(ReadBe32(&prepare[0][14]), 0u);
    EXPECT_EQ(DataFrames(), 0u);
    EXPECT_EQ(sink.Messages(), kDone);
    EXPECT_TRUE(progress.shown());  // the logo run shows its text on the bar
}

TEST_F(TransferTest, ChecksumProblemsRepeatTheWholeImage) {
    Serve(LinkMode::Udp);
    const auto bytes = RandomBytes(2500, 3);
    panel.FailNextFinals(3);
    ASSERT_TRUE(Program(ImageKind::Kernel, WriteImage(bytes)));
    EXPECT_EQ(DataFrames(), 4u * 3);
    EXPECT_EQ(panel.FinalResultsSent(), 4);
    EXPECT_EQ(panel.FlashPrepares(), 1);
    EXPECT_EQ(sink.Messages(), kKernelDone);
    EXPECT_EQ(panel.ReadFlash(0x80000, 2500), bytes);

    // Six in a row: the run gives up.
    sink.Clear();
    panel.ClearReceived();
    panel.FailNextFinals(6);
    ASSERT_TRUE(Program(ImageKind::Kernel, WriteImage(bytes)));
    EXPECT_EQ(DataFrames(), 6u * 3);
    EXPECT_EQ(link.result(), LinkResult::ChecksumError);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::PacketChecksumFailed)},
                                    {MessageKind::Error, Text(TextId::UpdateFailed)}}));
}

TEST_F(TransferTest, FinalResultWithBadChecksumFailsWithoutRepeat) {
    Serve(LinkMode::Udp);
    panel.InjectFault({sim::FaultKind::BadChecksum, cmd::kFlashData, 1, 0, true});
    ASSERT_TRUE(Program(ImageKind::BootLoader, WriteImage(RandomBytes(1500, 1))));
    EXPECT_EQ(link.result(), LinkResult::ChecksumError);
    EXPECT_EQ(DataFrames(), 2u);
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::UpdateFailed)}}));
}

TEST_F(TransferTest, PanelStatusesEndTheRunWithTheirMessage) {
    Serve(LinkMode::Udp);
    const auto image = WriteImage(RandomBytes(3000, 2));
    panel.SetStatusOverride(cmd::kFlashPrepare, 242);
    ASSERT_TRUE(Program(ImageKind::Logo, image));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_EQ(DataFrames(), 0u);
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{"查空失败，中断下载", Text(TextId::UpdateFailed)}));

    panel.ClearStatusOverride(cmd::kFlashPrepare);
    panel.SetStatusOverride(cmd::kFlashData, 241);  // every reply, the final one too
    sink.Clear();
    ASSERT_TRUE(Program(ImageKind::Logo, image));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{"FLASH写入失败", Text(TextId::UpdateFailed)}));

    // A good final result may also read 240.
    panel.ClearStatusOverride(cmd::kFlashData);
    panel.SetFinalSuccessStatus(240);
    sink.Clear();
    ASSERT_TRUE(Program(ImageKind::Logo, image));
    EXPECT_EQ(sink.Messages(), kDone);

    // Download mode refused: nothing is announced.
    panel.SetStatusOverride(cmd::kEnterDownload, 240);
    panel.ClearReceived();
    sink.Clear();
    EXPECT_FALSE(Program(ImageKind::Logo, image));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"失败, 未能进入下载状态"}));
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kFlashPrepare).empty());
    EXPECT_FALSE(link.IsOpen());
}

// A final burn result the tool does not know is no success.
TEST_F(TransferTest, UnknownFinalResultIsARefusal) {
    Serve(LinkMode::Udp);
    const auto image = WriteImage(RandomBytes(3000, 3));
    for (const uint8_t status : {255, 5, 244, 245}) {
        sink.Clear();
        panel.SetFinalSuccessStatus(status);
        ASSERT_TRUE(Program(ImageKind::Logo, image));
        EXPECT_EQ(link.result(), LinkResult::PanelRefused) << int{status};
        EXPECT_EQ(sink.Texts(),
                  (std::vector<std::string>{"失败，命令0x82返回未知状态" + std::to_string(status),
                                            Text(TextId::UpdateFailed)}));
    }
}

TEST_F(TransferTest, JumperInNormalPositionStopsAfterQueryState) {
    Serve(LinkMode::Udp);
    panel.SetJumper(2);
    const unsigned closes = link.close_count();
    EXPECT_FALSE(Program(ImageKind::Kernel, WriteImage(RandomBytes(100, 1))));
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Warning, Text(TextId::JumperForUpdate)}}));
    EXPECT_EQ(link.result(), LinkResult::PanelRefused);
    const auto frames = panel.ReceivedFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][4], cmd::kQueryState);
    EXPECT_EQ(link.close_count(), closes + 1);
    EXPECT_FALSE(session.RunActive());

    // Position 1 lets it go on.
    panel.SetJumper(1);
    sink.Clear();
    EXPECT_TRUE(Program(ImageKind::BootLoader, WriteImage(RandomBytes(100, 1))));
    EXPECT_EQ(sink.Messages(), kDone);
}

TEST_F(TransferTest, UsbIsRefusedWithoutOpeningAnything) {
    Serve(LinkMode::Usb);
    EXPECT_FALSE(Program(ImageKind::Kernel, WriteImage(RandomBytes(100, 1))));
    EXPECT_EQ(sink.Messages(),
              (std::vector<Message>{{MessageKind::Error, Text(TextId::NoUsbProgramming)}}));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(panel.ReceivedFrames().empty());
}

TEST_F(TransferTest, UnreadableOrOversizedImageSendsNothingOfIt) {
    Serve(LinkMode::Udp);
    EXPECT_FALSE(Program(ImageKind::Kernel, dir.path() / "missing.dat"));
    EXPECT_EQ(link.result(), LinkResult::FileError);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kEnterDownload).empty());
    EXPECT_FALSE(Program(ImageKind::Kernel, dir.path()));  // a folder is no image
    EXPECT_EQ(link.result(), LinkResult::FileError);

    // Beyond the signed 32-bit size: refused before anything is announced.
    // The file is sparse, so it takes no room on disk.
    const auto big = dir.path() / "big.dat";
    std::filesystem::resize_file(WriteImage({}, "big.dat"), (uint64_t{1} << 31) + 1);
    EXPECT_FALSE(Program(ImageKind::BootLoader, big));
    EXPECT_EQ(link.result(), LinkResult::FileError);
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{Text(TextId::ImageTooLarge)}));
    EXPECT_TRUE(panel.FramesWithCommand(cmd::kFlashPrepare).empty());
    EXPECT_FALSE(session.RunActive());
}

TEST_F(TransferTest, SecondRunWhileOneIsActiveIsRefused) {
    Serve(LinkMode::Udp);
    const auto bytes = RandomBytes(4096, 8);
    const auto image = WriteImage(bytes);
    // Hold the first run in its flash-prepare exchange.
    panel.InjectFault({sim::FaultKind::Delay, cmd::kFlashPrepare, 1, 300});
    ASSERT_TRUE(UpdateFirmware(session, transfer, ImageKind::Logo, image, progress));
    FlashTransfer other(link);
    EXPECT_FALSE(UpdateFirmware(session, other, ImageKind::Kernel, image, progress));
    session.WaitForRun();
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{Text(TextId::RunActive), Text(TextId::UpdateDone)}));
    EXPECT_EQ(panel.FramesWithCommand(cmd::kFlashPrepare).size(), 1u);
    EXPECT_EQ(panel.ReadFlash(0x40000, 4096), bytes);
}

}  // namespace
}  // namespace korvane
