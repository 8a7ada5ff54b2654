#include <gtest/gtest.h>

#include "sim/pty_request_assembler.h"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kEndDownload = {0x5A, 0xA5, 0x00, 0x06, 0x0F, 0x14};
const Bytes kQuery = {0x5A, 0xA5, 0x00, 0x06, 0x03, 0x08};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(RequestAssembler, CutsTheStreamIntoFramesAsReceived) {
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Bytes> frames;
    };
    const Case cases[] = {
        {"one frame", kQuery, {kQuery}},
        {"two frames back to back", Join({kQuery, kEndDownload}), {kQuery, kEndDownload}},
        {"noise before", Join({{0x00, 0x5A, 0x00, 0x13}, kQuery}), {kQuery}},
        {"wrong checksum kept",
         {0x5A, 0xA5, 0x00, 0x06, 0x03, 0x09},
         {{0x5A, 0xA5, 0x00, 0x06, 0x03, 0x09}}},
        {"impossible length, then a frame",
         Join({{0x5A, 0xA5, 0x00, 0x02}, kQuery}),
         {{0x5A, 0xA5, 0x00, 0x02}, kQuery}},
        {"unfinished frame", {0x5A, 0xA5, 0x00, 0x08, 0x20}, {}},
    };
    for (const Case& c : cases) {
        sim::RequestAssembler assembler;
        EXPECT_EQ(assembler.Feed(c.stream), c.frames) << c.name;
    }
}

TEST(RequestAssembler, CarriesAFrameAcrossFeeds) {
    sim::RequestAssembler assembler;
    const Bytes stream = Join({kQuery, kEndDownload});
    std::vector<Bytes> frames;
    for (uint8_t b : stream) {
        const uint8_t one[] = {b};
        for (auto& f : assembler.Feed(one))
            frames.push_back(std::move(f));
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{kQuery, kEndDownload}));
}

}  // namespace
}  // namespace korvane
