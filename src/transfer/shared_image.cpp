#include "transfer/shared_image.h"

#include <fstream>

#include "system/file_kind.h"
#include "system/file_read_check.h"
#include "transfer/image_checksum.h"

namespace korvane {

SharedImage::SharedImage(std::filesystem::path path, std::vector<uint8_t> bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)), checksum_(ImageChecksum(bytes_)) {}

std::variant<std::shared_ptr<const SharedImage>, std::error_code> SharedImage::Load(
    const std::filesystem::path& path) {
    if (const std::error_code ec = CheckMeasurable(path))
        return ec;
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return ec;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::make_error_code(std::errc::io_error);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // A file that grew or shrank while it was read is not the one measured.
    if (static_cast<uintmax_t>(in.gcount()) != size || in.peek() != std::char_traits<char>::eof())
        return in.bad() ? std::make_error_code(std::errc::io_error)
                        : MakeErrorCode(FileRefusal::SizeUnknown);
    return std::shared_ptr<const SharedImage>(new SharedImage(path, std::move(bytes)));
}

}  // namespace korvane
