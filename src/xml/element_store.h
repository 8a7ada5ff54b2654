// Element records in pages of at most 65,536, addressed by an index whose
// high 16 bits select the page. Growth copies at most one page.
#pragma once

#include <cstdint>
#include <vector>

#include "xml/element_record.h"

namespace korvane {

class ElementStore {
  public:
    static constexpr int32_t kPageShift = 16;
    static constexpr int32_t kPageRecords = 1 << kPageShift;

    ElementRecord& operator[](int32_t index) {
        return pages_[static_cast<uint32_t>(index) >> kPageShift][index & (kPageRecords - 1)];
    }
    const ElementRecord& operator[](int32_t index) const {
        return pages_[static_cast<uint32_t>(index) >> kPageShift][index & (kPageRecords - 1)];
    }

    int32_t Capacity() const { return capacity_; }

    // Grows towards `request` records, but never past the end of the page
    // after the one that holds the last existing record.
    void Grow(int64_t request);

  private:
    std::vector<std::vector<ElementRecord>> pages_;
    int32_t capacity_ = 0;
};

}  // namespace korvane
