// Decoding of character and entity references in attribute values and text.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// Replaces &lt; &amp; &gt; &apos; &quot; and numeric references (&#65; &#x41;,
// the ';' within seven characters after "&#"; a character above U+FFFF
// becomes a surrogate pair) inside `run`. A reference must lie wholly inside
// the run; a value of 0 or above U+10FFFF, or an '&' that begins no
// reference, is copied as written.
std::u16string DecodeReferences(std::u16string_view run);

// Same, appending to `out`.
void AppendDecoded(std::u16string_view run, std::u16string& out);

}  // namespace korvane
