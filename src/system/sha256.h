#pragma once
// SHA-256 of a byte stream, fed in pieces, so that a run can say exactly
// which bytes it sent. Plain C++: the Windows build links no crypto library.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvane {

class Sha256 {
  public:
    Sha256();
    void Feed(std::span<const uint8_t> bytes);
    void Feed(std::string_view text) {
        Feed({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    // The digest of everything fed so far; feeding may go on afterwards.
    std::array<uint8_t, 32> Digest() const;
    // The digest as 64 lower-case hexadecimal digits.
    std::string Hex() const;

  private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_{};
    size_t pending_size_ = 0;
    uint64_t total_ = 0;  // bytes fed
};

}  // namespace korvane
