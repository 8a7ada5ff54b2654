#include "transfer/image_checksum.h"

#include <array>
#include <fstream>

namespace korvane {

void ImageChecksumAccumulator::Feed(std::span<const uint8_t> bytes) {
    for (const uint8_t b : bytes) {
        const unsigned shift = 8 * filled_;
        word_ = (word_ & ~(0xFFu << shift)) | (uint32_t{b} << shift);
        if (++filled_ == 4) {
            sum_ += word_;
            filled_ = 0;
        }
    }
}

uint32_t ImageChecksumAccumulator::Value() const {
    // A partial last word still counts, with the high bytes it kept.
    return filled_ ? sum_ + word_ : sum_;
}

uint32_t ImageChecksum(std::span<const uint8_t> bytes) {
    ImageChecksumAccumulator sum;
    sum.Feed(bytes);
    return sum.Value();
}

std::optional<uint32_t> ImageChecksum(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    ImageChecksumAccumulator sum;
    std::array<char, 64 * 1024> buffer;
    while (in) {
        in.read(buffer.data(), buffer.size());
        const auto n = static_cast<size_t>(in.gcount());
        sum.Feed({reinterpret_cast<const uint8_t*>(buffer.data()), n});
    }
    if (in.bad())
        return std::nullopt;
    return sum.Value();
}

}  // namespace korvane
