#include "xml/element_store.h"

#include <algorithm>
#include <limits>

namespace korvane {

void ElementStore::Grow(int64_t request) {
    request = std::min<int64_t>(request, std::numeric_limits<int32_t>::max());
    if (request <= capacity_)
        return;
    const int64_t lastPage = capacity_ == 0 ? -1 : (capacity_ - 1) >> kPageShift;
    request = std::min(request, (lastPage + 2) << kPageShift);
    const int64_t targetPage = (request - 1) >> kPageShift;
    if (targetPage > lastPage) {
        if (static_cast<size_t>(targetPage) >= pages_.capacity()) {
            pages_.reserve(static_cast<size_t>(2 * targetPage + 4));
        }
        if (lastPage >= 0)
            pages_[lastPage].resize(kPageRecords);
        pages_.emplace_back(static_cast<size_t>(request - (targetPage << kPageShift)));
    } else {
        pages_[lastPage].resize(static_cast<size_t>(request - (lastPage << kPageShift)));
    }
    capacity_ = static_cast<int32_t>(request);
}

}  // namespace korvane
