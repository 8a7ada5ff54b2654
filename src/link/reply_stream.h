#pragma once
// The serial link's reassembly of replies from chunks: the parser keeps its
// state across chunks; what follows the end of a frame in the same chunk is
// dropped, or, while asked for, kept and fed first the next time.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/frame.h"
#include "link/reply_parser.h"

namespace korvane {

class ReplyStream {
  public:
    enum class Ended { Frame, BadFrame };

    // Feeds one chunk. When a frame ends, says how; a whole frame is in
    // `reply` (without its checksum byte) and its length in `reply_length`.
    std::optional<Ended> Feed(ReplyParser& parser, FrameBuffer& reply, size_t& reply_length,
                              const uint8_t* bytes, size_t count);
    // Feeds the bytes kept from an earlier chunk, if any.
    std::optional<Ended> FeedKept(ReplyParser& parser, FrameBuffer& reply, size_t& reply_length);

    void SetKeep(bool keep) {
        keep_ = keep;
        if (!keep)
            kept_.clear();
    }
    bool keep() const { return keep_; }
    bool has_kept() const { return !kept_.empty(); }

  private:
    bool keep_ = false;
    std::vector<uint8_t> kept_;
};

}  // namespace korvane
