// Whole runs against a panel that drops, delays, repeats and corrupts at
// random. Every run must either leave the flash exactly as the image and say
// so, or end with an error message: never report success over wrong content.
#include <gtest/gtest.h>

#include <cstdio>

#include "link/texts.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

using testing::RandomBytes;
using testing::TransferTest;

#ifdef KORVANE_SOAK_LONG
constexpr int kRuns = 200;
#define KORVANE_SOAK_NAME TwoHundredSeededRuns
#else
constexpr int kRuns = 16;
#define KORVANE_SOAK_NAME ShortSeededSet
#endif

TEST_F(TransferTest, KORVANE_SOAK_NAME) {
    Serve(LinkMode::Udp);
    const uint64_t base = 20261207;
    std::printf("soak seeds %llu to %llu\n", static_cast<unsigned long long>(base),
                static_cast<unsigned long long>(base + kRuns - 1));
    int succeeded = 0;
    for (int run = 0; run < kRuns; ++run) {
        const uint64_t seed = base + static_cast<uint64_t>(run);
        std::mt19937_64 rng(seed);
        sim::RandomFaults faults;
        faults.seed = seed;
        faults.drop = 0.03;
        faults.delay = 0.03;
        faults.delay_ms = 520 + static_cast<int>(rng() % 300);
        faults.duplicate = 0.03;
        faults.corrupt_reply = 0.01;
        faults.corrupt_request = 0.03;
        // The data phase and the exchanges that are retried; a lost reply to
        // flash-prepare would only hold the run for its four-minute wait.
        faults.commands = {0x82, 0x03, 0x01};
        panel.SetRandomFaults(faults);
        const size_t size = rng() % 16000;
        const ImageKind kinds[] = {ImageKind::Kernel, ImageKind::BootLoader, ImageKind::FileSystem,
                                   ImageKind::Logo};
        const ImageKind kind = kinds[rng() % 4];
        const auto bytes = RandomBytes(size, seed);
        sink.Clear();
        Program(kind, WriteImage(bytes));

        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(size) + " bytes");
        const auto texts = sink.Texts();
        ASSERT_FALSE(texts.empty()) << "a run ended without a word";
        const uint32_t start = ImageStartAddress(kind);
        if (texts.back() == Text(TextId::UpdateDone)) {
            ASSERT_EQ(link.result(), LinkResult::Ok);
            ASSERT_EQ(panel.ReadFlash(start, static_cast<uint32_t>(size)), bytes)
                << "success reported over wrong flash content";
            ++succeeded;
        } else {
            ASSERT_NE(link.result(), LinkResult::Ok);
        }
        EXPECT_FALSE(link.IsOpen());
    }
    std::printf("soak: %d of %d runs succeeded, the rest ended with an error message\n", succeeded,
                kRuns);
    // With these rates most runs get through; none at all would mean the
    // retries are broken.
    EXPECT_GT(succeeded, kRuns / 2);
}

}  // namespace
}  // namespace korvane
