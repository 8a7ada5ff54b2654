#pragma once
// 32 MiB of panel flash held sparsely in 64 KiB pages; erased bytes read 0xFF.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace korvane::sim {

class SparseFlash {
  public:
    static constexpr uint32_t kSize = 32u * 1024 * 1024;
    static constexpr uint32_t kPage = 64u * 1024;

    // False when the range runs past the end of the flash.
    bool Write(uint32_t address, std::span<const uint8_t> bytes);
    void Erase(uint32_t begin, uint32_t end);
    void EraseAll() { pages_.clear(); }
    std::vector<uint8_t> Read(uint32_t address, uint32_t length) const;
    size_t PagesInUse() const { return pages_.size(); }

  private:
    using Page = std::array<uint8_t, kPage>;
    std::map<uint32_t, std::unique_ptr<Page>> pages_;
};

}  // namespace korvane::sim
