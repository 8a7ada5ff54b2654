#pragma once
// The 32-bit sum the panel checks an image against: the image read as
// little-endian 32-bit words and added up. A last group of 1 to 3 bytes
// overwrites only the low bytes of the previous word and is added as such.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace korvane {

// Takes the image piece by piece, pieces cut anywhere.
class ImageChecksumAccumulator {
  public:
    void Feed(std::span<const uint8_t> bytes);
    uint32_t Value() const;

  private:
    uint32_t word_ = 0;
    uint32_t sum_ = 0;
    unsigned filled_ = 0;  // bytes of the current word taken so far
};

uint32_t ImageChecksum(std::span<const uint8_t> bytes);
// Reads the file in pieces; nothing when it cannot be opened or read.
std::optional<uint32_t> ImageChecksum(const std::filesystem::path& file);

}  // namespace korvane
