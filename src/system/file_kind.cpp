#include "system/file_kind.h"

#include <string>

namespace korvane {

namespace {

class RefusalCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "korvane-file"; }
    std::string message(int code) const override {
        switch (static_cast<FileRefusal>(code)) {
            case FileRefusal::Folder:
                return "is a folder";
            case FileRefusal::CharacterDevice:
                return "is a character device";
            case FileRefusal::BlockDevice:
                return "is a block device";
            case FileRefusal::Fifo:
                return "is a FIFO";
            case FileRefusal::Socket:
                return "is a socket";
            case FileRefusal::NotRegular:
                return "is not a regular file";
            case FileRefusal::SizeUnknown:
                return "its size cannot be known (it reads as empty yet has content)";
        }
        return "is not a regular file";
    }
};

}  // namespace

const std::error_category& FileRefusalCategory() {
    static const RefusalCategory category;
    return category;
}

std::error_code MakeErrorCode(FileRefusal refusal) {
    return {static_cast<int>(refusal), FileRefusalCategory()};
}

std::error_code RefusalFor(FileKind kind) {
    switch (kind) {
        case FileKind::Missing:
        case FileKind::Regular:
            return {};
        case FileKind::Folder:
            return MakeErrorCode(FileRefusal::Folder);
        case FileKind::CharacterDevice:
            return MakeErrorCode(FileRefusal::CharacterDevice);
        case FileKind::BlockDevice:
            return MakeErrorCode(FileRefusal::BlockDevice);
        case FileKind::Fifo:
            return MakeErrorCode(FileRefusal::Fifo);
        case FileKind::Socket:
            return MakeErrorCode(FileRefusal::Socket);
        case FileKind::Other:
            break;
    }
    return MakeErrorCode(FileRefusal::NotRegular);
}

}  // namespace korvane
