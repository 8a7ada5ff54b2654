#include "link/reply_stream.h"

namespace korvane {

std::optional<ReplyStream::Ended> ReplyStream::Feed(ReplyParser& parser, FrameBuffer& reply,
                                                    size_t& reply_length, const uint8_t* bytes,
                                                    size_t count) {
    const size_t used = FeedReplyBytes(parser, bytes, count, reply);
    if (!parser.Done())
        return std::nullopt;
    if (keep_)
        kept_.assign(bytes + used, bytes + count);
    const bool complete = parser.state == ParserState::Complete;
    if (complete)
        reply_length = parser.declared_length - 1u;
    parser.Reset();
    return complete ? Ended::Frame : Ended::BadFrame;
}

std::optional<ReplyStream::Ended> ReplyStream::FeedKept(ReplyParser& parser, FrameBuffer& reply,
                                                        size_t& reply_length) {
    if (kept_.empty())
        return std::nullopt;
    const std::vector<uint8_t> kept = std::move(kept_);
    kept_.clear();
    return Feed(parser, reply, reply_length, kept.data(), kept.size());
}

}  // namespace korvane
