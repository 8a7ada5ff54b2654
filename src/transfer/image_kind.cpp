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
    const char* next_name;
};
constexpr Bound kBounds[] = {
    {ImageKind::BootLoader, ImageKind::Kernel, "the kernel"},
    {ImageKind::Kernel, ImageKind::FileSystem, "the file system"},
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
    const std::string name = info ? info->name : "image";
    if (bytes == 0)
        check.warnings.push_back("the " + name + " image is empty: nothing will be written");
    const Bound* b = FindBound(kind);
    if (b && bytes > *ImageRoom(kind)) {
        check.refusals.push_back("the " + name + " image is " + std::to_string(bytes) + " bytes (" +
                                 Hex(bytes) + "); from " + Hex(ImageStartAddress(kind)) +
                                 " it would overwrite " + b->next_name + " at " +
                                 Hex(ImageStartAddress(b->next)) + " (at most " +
                                 Hex(*ImageRoom(kind)) + " bytes fit)");
    }
    return check;
}

}  // namespace korvane
