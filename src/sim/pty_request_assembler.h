#pragma once
// Cuts the byte stream a panel receives on a serial line into request frames,
// with the same stream parser the tool uses for replies.
#include <cstdint>
#include <span>
#include <vector>

#include "link/frame.h"
#include "link/reply_parser.h"

namespace korvane::sim {

class RequestAssembler {
  public:
    // Feeds received bytes; returns every frame that ended among them, each as
    // it was received (checksum byte included, right or wrong). A frame whose
    // declared length cannot be a frame comes back as its first four bytes.
    std::vector<std::vector<uint8_t>> Feed(std::span<const uint8_t> bytes);

  private:
    ReplyParser parser_;
    FrameBuffer buffer_{};
};

}  // namespace korvane::sim
