#include "link/link_result.h"

namespace korvane {

const char* LinkResultName(LinkResult result) {
    switch (result) {
        case LinkResult::Ok:
            return "Ok";
        case LinkResult::IoError:
            return "IoError";
        case LinkResult::Timeout:
            return "Timeout";
        case LinkResult::NetworkError:
            return "NetworkError";
        case LinkResult::ChecksumError:
            return "ChecksumError";
        case LinkResult::PanelRefused:
            return "PanelRefused";
        case LinkResult::OpenFailed:
            return "OpenFailed";
        case LinkResult::FileError:
            return "FileError";
        case LinkResult::RunCancelled:
            return "RunCancelled";
        case LinkResult::ImageChanged:
            return "ImageChanged";
    }
    return "Unknown";
}

}  // namespace korvane
