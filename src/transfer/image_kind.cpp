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

int32_t PacketSizeFor(LinkMode mode) {
    switch (mode) {
        case LinkMode::Serial:
            return 4000;
        case LinkMode::Usb:
            return 500;
        default:
            return 1024;
    }
}

}  // namespace korvane
