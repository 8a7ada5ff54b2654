#pragma once
// The images the panel's flash takes: where each starts and what the
// progress bar says while its data goes out.
#include <cstdint>

#include "link/link_result.h"
#include "protocol/image_kind_code.h"

namespace korvane {

struct ImageKindInfo {
    ImageKind kind;
    uint32_t start;
    const char* text;
    const char* name;  // how the command line names it
};

inline constexpr ImageKindInfo kImageKinds[] = {
    {ImageKind::Kernel, 0x00080000, "内核下载中....................", "kernel"},
    {ImageKind::FileSystem, 0x00280000, "文件系统烧写中....................", "filesystem"},
    {ImageKind::BootLoader, 0x00000000, "更新BootLoader,请稍候..............", "bootloader"},
    {ImageKind::Logo, 0x00040000, "LOGO文件下载中....................", "logo"},
};

// Null for a kind that carries no image (the whole-flash erase).
const ImageKindInfo* FindImageKind(ImageKind kind);
// The kind's flash start address; 0 for any other kind.
uint32_t ImageStartAddress(ImageKind kind);
// Payload bytes per flash-data request on a link.
int32_t PacketSizeFor(LinkMode mode);

}  // namespace korvane
