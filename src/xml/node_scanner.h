// Reading one node of XML text at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

enum NodeKind : int32_t {
    kNodeEndOfText = -2,
    kNodeMalformed = -1,
    kNodeEndTag = 0,
    kNodeStartTag = 1,
    kNodeCharacterData = 2,
    kNodeWhiteSpace = 4,
    kNodeCData = 8,
    kNodeProcessingInstruction = 16,
    kNodeComment = 32,
    kNodeDeclaration = 64,
};

// Start tag ending in "/>": the element is empty.
constexpr uint32_t kTokenEmptyElement = 0x10000;

// Longest start tag and end tag whose lengths fit an element record.
constexpr size_t kMaxStartTagLength = (size_t{1} << 22) - 1;
constexpr size_t kMaxEndTagLength = (size_t{1} << 10) - 1;

// How a malformed node is reported; see NodeErrorText().
enum NodeError : uint32_t {
    kNodeErrorNone = 0,
    kNodeErrorUnterminated,  // "<what> at offset N unterminated"
    kNodeErrorTooLong,       // "<what> at offset N too long"
    kNodeErrorIncorrect,     // "Incorrect <what> at offset N"
};

struct NodeToken {
    int32_t kind = kNodeEndOfText;
    uint32_t flags = 0;
    size_t start = 0;
    size_t length = 0;
    // Tag name of start and end tags and processing-instruction target, as a
    // view into the scanned text.
    std::u16string_view name;
    // What a malformed node is; the report itself is built only on request,
    // so scanning well-formed text never builds a string.
    NodeError error = kNodeErrorNone;
    std::u16string_view errorWhat;
};

// Scans the node that begins at `offset`; the next node begins at
// start + length. A node never reaches past the end of `text`.
NodeToken ScanNode(std::u16string_view text, size_t offset);

// Report for a malformed node; empty for any other.
std::u16string NodeErrorText(const NodeToken& token);

}  // namespace korvane
