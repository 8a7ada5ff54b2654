#include "transfer/image_kind.h"

namespace korvane {

const ImageKindInfo* FindImageKind(ImageKind kind) {
    for (const ImageKindInfo& info : kImageKinds) {
        if (info.kind == kind)
            return &info;
    }
    return nullptr;
}

uint32_t ImageStartAddress(ImageKind kind) {
    const ImageKindInfo* info = FindImageKind(kind);
    return info ? info->start : 0;
}

}  // namespace korvane
