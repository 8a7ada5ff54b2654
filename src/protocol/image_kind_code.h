#pragma once
// The image kinds flash-prepare names on the wire, shared by the tool and the
// simulator.
#include <cstdint>

namespace korvane {

enum class ImageKind : uint8_t {
    Kernel = 1,
    FileSystem = 2,
    BootLoader = 4,
    Logo = 5,
    WholeFlash = 6,  // erase only: everything above the boot area, no data follows
};

}  // namespace korvane
