// One element of the index: where it lies in the text and how it links to
// its relatives. Eight 32-bit words, so a page of records stays compact.
#pragma once

#include <cstdint>

namespace korvane {

// Flags in the level-and-flags word.
constexpr uint32_t kElementFirstChild = 0x80000;
constexpr uint32_t kElementNotEnded = 0x100000;
constexpr uint32_t kElementHasError = 0x200000;
constexpr uint32_t kDocumentIllFormed = 0x800000;  // on element 0 only

constexpr uint32_t kStartTagLengthBits = 22;
constexpr uint32_t kStartTagLengthMask = (1u << kStartTagLengthBits) - 1;
constexpr uint32_t kLevelMask = 0xFFFF;

struct ElementRecord {
    uint32_t start = 0;   // offset of the '<' of the start tag
    uint32_t length = 0;  // up to the '>' of the end tag, or the start tag's length
    uint32_t tagLengths = 0;
    uint32_t levelAndFlags = 0;
    int32_t parent = 0;
    int32_t firstChild = 0;
    int32_t nextSibling = 0;
    // The first child keeps the index of the last child here.
    int32_t previousSibling = 0;

    uint32_t StartTagLength() const { return tagLengths & kStartTagLengthMask; }
    uint32_t EndTagLength() const { return tagLengths >> kStartTagLengthBits; }
    void SetTagLengths(uint32_t startTag, uint32_t endTag) {
        tagLengths = (startTag & kStartTagLengthMask) | (endTag << kStartTagLengthBits);
    }
    uint32_t Level() const { return levelAndFlags & kLevelMask; }
    bool Has(uint32_t flag) const { return (levelAndFlags & flag) != 0; }
    void Set(uint32_t flag) { levelAndFlags |= flag; }
    void Clear(uint32_t flag) { levelAndFlags &= ~flag; }
};

static_assert(sizeof(ElementRecord) == 32);

}  // namespace korvane
