#include "system/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

std::string HexOf(std::string_view text) {
    Sha256 h;
    h.Feed(text);
    return h.Hex();
}

TEST(Sha256, StandardVectors) {
    EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 448 bits: the padding no longer fits the first block.
    EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

// The lengths where the padding just fits a block, just does not, or fills one.
TEST(Sha256, LengthsAtTheBlockEdges) {
    EXPECT_EQ(HexOf(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(HexOf(std::string(56, 'a')),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(HexOf(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
    EXPECT_EQ(HexOf(std::string(119, 'a')),
              "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb");
}

TEST(Sha256, OneMillionAFedInUnevenPiecesAndWhole) {
    const std::string million(1000000, 'a');
    const std::string expected = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
    EXPECT_EQ(HexOf(million), expected);
    // Pieces that straddle the 64-byte blocks in every way.
    Sha256 h;
    size_t at = 0;
    for (size_t piece = 1; at < million.size(); piece = piece % 131 + 1) {
        const size_t take = std::min(piece, million.size() - at);
        h.Feed(std::string_view(million).substr(at, take));
        at += take;
    }
    EXPECT_EQ(h.Hex(), expected);
}

TEST(Sha256, ADigestMidwayLeavesTheStreamGoingOn) {
    Sha256 h;
    h.Feed("ab");
    EXPECT_EQ(h.Hex(), HexOf("ab"));
    h.Feed("c");
    EXPECT_EQ(h.Hex(), HexOf("abc"));
}

}  // namespace
}  // namespace korvane
