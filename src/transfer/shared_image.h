#pragma once
// An image read into memory once and then only read, so that many runs at
// once (a batch over many panels) send the same bytes from one copy: memory
// stays flat whatever the number of panels, and a file changed or removed
// after it was read changes nothing for the runs.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <variant>
#include <vector>

namespace korvane {

class SharedImage {
  public:
    // Reads `path` whole: a FileRefusal or the system's reason when it is no
    // regular file whose size can be known, cannot be read, or changes its
    // size while it is read.
    static std::variant<std::shared_ptr<const SharedImage>, std::error_code> Load(
        const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    std::span<const uint8_t> bytes() const { return bytes_; }
    // The sum the panel checks the image against.
    uint32_t checksum() const { return checksum_; }

  private:
    SharedImage(std::filesystem::path path, std::vector<uint8_t> bytes);

    std::filesystem::path path_;
    std::vector<uint8_t> bytes_;
    uint32_t checksum_;
};

}  // namespace korvane
