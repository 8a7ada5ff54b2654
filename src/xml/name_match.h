// Name matching shared by the parser (end tags) and the lookups.
#pragma once

#include <string_view>

namespace korvane {

// True when `requested` begins with exactly the characters of `run` (a name as
// written in the text) and continues with nothing or one of " =/[]", so a
// requested name may carry a trailing part after one of those characters.
// Case-sensitive.
inline bool NameMatches(std::u16string_view run, std::u16string_view requested) {
    if (requested.size() < run.size() || requested.substr(0, run.size()) != run)
        return false;
    if (requested.size() == run.size())
        return true;
    const char16_t next = requested[run.size()];
    return next == u' ' || next == u'=' || next == u'/' || next == u'[' || next == u']';
}

}  // namespace korvane
