#pragma once
// The images the panel's flash takes: where each starts and what the
// progress bar says while its data goes out.
#include <cstdint>
#include <optional>

#include "link/texts.h"
#include "protocol/image_kind_code.h"
#include "protocol/panel_input_checks.h"

namespace korvane {

struct ImageKindInfo {
    ImageKind kind;
    uint32_t start;
    TextId progress_text;  // what the progress bar says while the data goes out
    const char* name;      // how the command line names it
    TextId empty_text;     // the warning for an empty image
};

inline constexpr ImageKindInfo kImageKinds[] = {
    {ImageKind::Kernel, 0x00080000, TextId::ProgressKernel, "kernel",
     TextId::InputKernelImageEmpty},
    {ImageKind::FileSystem, 0x00280000, TextId::ProgressFileSystem, "filesystem",
     TextId::InputFileSystemImageEmpty},
    {ImageKind::BootLoader, 0x00000000, TextId::ProgressBootLoader, "bootloader",
     TextId::InputBootLoaderImageEmpty},
    {ImageKind::Logo, 0x00040000, TextId::ProgressLogo, "logo", TextId::InputLogoImageEmpty},
};

// Null for a kind that carries no image (the whole-flash erase).
const ImageKindInfo* FindImageKind(ImageKind kind);
// The kind's flash start address; 0 for any other kind.
uint32_t ImageStartAddress(ImageKind kind);

// How many bytes the kind's image may take before it would overwrite the
// region programmed after it: the boot loader stops short of the kernel, the
// kernel short of the file system. Nothing for the kinds without such a
// bound (the logo follows the picture rules that make it).
std::optional<uint32_t> ImageRoom(ImageKind kind);
// An image of `bytes` bytes for `kind`: refused when longer than its room,
// a warning when empty. Front ends refuse unless the user insists. A kind
// that carries no image has nothing to check.
InputCheck CheckImageSize(ImageKind kind, uint64_t bytes);

}  // namespace korvane
