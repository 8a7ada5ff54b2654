#pragma once
// Outcome codes shared by every link, command and transfer step, and the
// link kinds the settings can name.
#include <cstdint>

namespace korvane {

enum class LinkResult : int {
    Ok = 0,
    IoError = 1,
    Timeout = 2,
    NetworkError = 3,
    ChecksumError = 4,
    PanelRefused = 5,
    OpenFailed = 6,
    FileError = 7,
    RunCancelled = 8,
    // The image file changed while it was being sent: the run stopped before
    // the last packet, so the panel never burnt bytes other than those announced.
    ImageChanged = 9,
};

// Any value other than the three named ones means "no link": opening,
// exchanging and closing then do nothing.
enum class LinkMode : uint32_t {
    Udp = 1,
    Serial = 2,
    Usb = 3,
};

const char* LinkResultName(LinkResult result);

}  // namespace korvane
