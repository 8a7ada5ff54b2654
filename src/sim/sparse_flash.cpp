#include "sim/sparse_flash.h"

#include <algorithm>

namespace korvane::sim {

bool SparseFlash::Write(uint32_t address, std::span<const uint8_t> bytes) {
    if (address > kSize || bytes.size() > kSize - address)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const uint32_t at = address + static_cast<uint32_t>(done);
        const uint32_t page = at / kPage;
        const uint32_t offset = at % kPage;
        const size_t n = std::min<size_t>(kPage - offset, bytes.size() - done);
        auto& slot = pages_[page];
        if (!slot) {
            slot = std::make_unique<Page>();
            slot->fill(0xFF);
        }
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(done), n, slot->begin() + offset);
        done += n;
    }
    return true;
}

void SparseFlash::Erase(uint32_t begin, uint32_t end) {
    end = std::min(end, kSize);
    for (uint32_t at = begin; at < end;) {
        const uint32_t page = at / kPage;
        const uint32_t offset = at % kPage;
        const uint32_t n = std::min(kPage - offset, end - at);
        auto it = pages_.find(page);
        if (it != pages_.end()) {
            if (n == kPage) {
                pages_.erase(it);
            } else {
                std::fill_n(it->second->begin() + offset, n, uint8_t{0xFF});
            }
        }
        at += n;
    }
}

std::vector<uint8_t> SparseFlash::Read(uint32_t address, uint32_t length) const {
    std::vector<uint8_t> out(length, 0xFF);
    for (uint32_t i = 0; i < length;) {
        const uint64_t at64 = uint64_t{address} + i;
        if (at64 >= kSize)
            break;
        const auto at = static_cast<uint32_t>(at64);
        const uint32_t offset = at % kPage;
        const uint32_t n = std::min(kPage - offset, length - i);
        auto it = pages_.find(at / kPage);
        if (it != pages_.end())
            std::copy_n(it->second->begin() + offset, n, out.begin() + i);
        i += n;
    }
    return out;
}

}  // namespace korvane::sim
