#include "transfer/image_kind.h"

#include <cstdio>
#include <string>

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

namespace {

// The region an image of each bounded kind must not reach. A kernel file
// picked at the boot loader's button is the mistake this catches.
struct Bound {
    ImageKind kind;
    ImageKind next;
    TextId overwrite_text;  // names both regions, in each language
};
constexpr Bound kBounds[] = {
    {ImageKind::BootLoader, ImageKind::Kernel, TextId::InputBootLoaderOverwritesKernel},
    {ImageKind::Kernel, ImageKind::FileSystem, TextId::InputKernelOverwritesFileSystem},
};

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

const Bound* FindBound(ImageKind kind) {
    for (const Bound& b : kBounds) {
        if (b.kind == kind)
            return &b;
    }
    return nullptr;
}

}  // namespace

std::optional<uint32_t> ImageRoom(ImageKind kind) {
    const Bound* b = FindBound(kind);
    if (!b)
        return std::nullopt;
    return ImageStartAddress(b->next) - ImageStartAddress(kind);
}

InputCheck CheckImageSize(ImageKind kind, uint64_t bytes) {
    InputCheck check;
    const ImageKindInfo* info = FindImageKind(kind);
    if (!info)
        return check;
    if (bytes == 0)
        check.warnings.push_back({info->empty_text, {}});
    const Bound* b = FindBound(kind);
    if (b && bytes > *ImageRoom(kind)) {
        check.refusals.push_back({b->overwrite_text,
                                  {{"bytes", std::to_string(bytes)},
                                   {"hex", Hex(bytes)},
                                   {"start", Hex(ImageStartAddress(kind))},
                                   {"next", Hex(ImageStartAddress(b->next))},
                                   {"room", Hex(*ImageRoom(kind))}}});
    }
    return check;
}

}  // namespace korvane
