// UTF-8 <-> UTF-16 conversion for the XML reader and its callers.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// Decodes file bytes as the reader expects them: invalid characters become
// '?', a zero byte (or any character decoding to 0) ends the text, and a
// character cut off by the end of the input is dropped. Overlong forms and
// surrogate values are not checked; a byte-order mark becomes U+FEFF.
std::u16string DecodeUtf8(std::string_view bytes);

// Encodes UTF-16 text as UTF-8; a lone surrogate is written as U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

}  // namespace korvane
