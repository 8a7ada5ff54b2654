#include <gtest/gtest.h>

#include <fstream>

#include "sim/panel.h"
#include "support/temp_dir.h"
#include "transfer/image_checksum.h"
#include "transfer/transfer_fixture.h"

namespace korvane {
namespace {

TEST(ImageChecksum, WholeAndPartialWords) {
    const std::vector<uint8_t> six = {1, 2, 3, 4, 5, 6};
    // The tail 05 06 lands over the low bytes of 04030201.
    EXPECT_EQ(ImageChecksum(six), 0x08060806u);
    EXPECT_EQ(ImageChecksum(std::span<const uint8_t>{}), 0u);
    const std::vector<uint8_t> three = {0x01, 0x02, 0x03};
    EXPECT_EQ(ImageChecksum(three), 0x030201u);
    const std::vector<uint8_t> carry = {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
    EXPECT_EQ(ImageChecksum(carry), 0x00000001u);  // modulo 2^32
}

TEST(ImageChecksum, PiecesCutAnywhereGiveTheWholeSum) {
    const auto bytes = testing::RandomBytes(4099, 7);
    const uint32_t whole = ImageChecksum(bytes);
    // The panel's own sum, written apart from the tool's, must agree.
    EXPECT_EQ(whole, sim::SimImageChecksum(bytes));
    for (size_t cut1 : {0, 1, 2, 3, 5, 1023, 4098}) {
        for (size_t cut2 : {cut1, cut1 + 1, cut1 + 3, size_t{4099}}) {
            if (cut2 < cut1 || cut2 > bytes.size())
                continue;
            ImageChecksumAccumulator sum;
            const std::span<const uint8_t> all(bytes);
            sum.Feed(all.subspan(0, cut1));
            sum.Feed(all.subspan(cut1, cut2 - cut1));
            sum.Feed(all.subspan(cut2));
            EXPECT_EQ(sum.Value(), whole) << cut1 << " " << cut2;
        }
    }
}

TEST(ImageChecksum, FileSumMatchesAndMissingFileHasNone) {
    testing::TempDir dir;
    // Larger than one read buffer, with a partial last word.
    const auto bytes = testing::RandomBytes(200003, 11);
    const auto path = dir.path() / "image.bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(ImageChecksum(path), ImageChecksum(bytes));
    EXPECT_EQ(ImageChecksum(dir.path() / "missing.bin"), std::nullopt);
}

}  // namespace
}  // namespace korvane
