#include "xml/node_scanner.h"

#include "xml/char_scan.h"
#include "xml/result_text.h"

namespace korvane {

namespace {

constexpr size_t kNone = std::u16string_view::npos;

bool IsWhiteSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool StartsTagName(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' ||
           c > u'`';
}

bool IsQuote(char16_t c) {
    return c == u'"' || c == u'\'';
}

size_t NameEnd(std::u16string_view text, size_t i) {
    return char_scan::FindNameEnd(text.data(), i, text.size());
}

// Index of the first `c` at or after `from`, or kNone.
size_t FindUnit(std::u16string_view text, size_t from, char16_t c) {
    if (from >= text.size())
        return kNone;
    const size_t i = char_scan::Find(text.data(), from, text.size(), c);
    return i < text.size() ? i : kNone;
}

// Index of the first '>' at or after `from` whose two preceding characters are
// `a` and `b` (the closing sequence a b '>'), or kNone.
size_t FindClose(std::u16string_view text, size_t from, char16_t a, char16_t b) {
    for (size_t i = FindUnit(text, from, u'>'); i != kNone; i = FindUnit(text, i + 1, u'>')) {
        if (text[i - 1] == b && text[i - 2] == a)
            return i;
    }
    return kNone;
}

// Index of the '>' that ends a markup declaration begun at `from`; a '>'
// inside quotes of either kind does not count.
size_t FindDeclarationEnd(std::u16string_view text, size_t from) {
    char16_t quote = 0;
    for (size_t i = from; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return kNone;
}

// Index of the '>' that ends a node nested in a document type declaration,
// whose '<' is at `at`.
size_t FindNestedEnd(std::u16string_view text, size_t at) {
    const std::u16string_view rest = text.substr(at);
    if (rest.starts_with(u"<!--"))
        return FindClose(text, at + 4, u'-', u'-');
    if (rest.starts_with(u"<?")) {
        for (size_t i = text.find(u'>', at + 2); i != kNone; i = text.find(u'>', i + 1)) {
            if (text[i - 1] == u'?')
                return i;
        }
        return kNone;
    }
    return FindDeclarationEnd(text, at + 1);
}

// Index of the '>' that ends a document type declaration: the first one that
// is not inside a nested declaration, comment or processing instruction.
size_t FindDoctypeEnd(std::u16string_view text, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == u'>')
            return i;
        if (text[i] == u'<') {
            i = FindNestedEnd(text, i);
            if (i == kNone)
                return kNone;
        }
    }
    return kNone;
}

class Scanner {
  public:
    Scanner(std::u16string_view text, size_t offset) : text_(text), n_(text.size()) {
        token_.start = offset;
    }

    NodeToken Scan() {
        const size_t pos = token_.start;
        if (pos >= n_)
            return Finish(kNodeEndOfText, pos);
        if (text_[pos] != u'<')
            return ScanCharacterData(pos);
        if (pos + 1 >= n_)
            return Unterminated(u"tag");
        const char16_t c = text_[pos + 1];
        if (c == u'/')
            return ScanEndTag(pos);
        if (c == u'?')
            return ScanProcessingInstruction(pos);
        if (c == u'!')
            return ScanBang(pos);
        if (StartsTagName(c))
            return ScanStartTag(pos);
        return Malformed(u"tag name character", pos + 1);
    }

  private:
    NodeToken Finish(int32_t kind, size_t end) {
        token_.kind = kind;
        token_.length = end - token_.start;
        return token_;
    }

    NodeToken Fail(NodeError error, std::u16string_view what, size_t end) {
        token_.error = error;
        token_.errorWhat = what;
        token_.name = {};
        return Finish(kNodeMalformed, end);
    }

    NodeToken Unterminated(std::u16string_view what) {
        return Fail(kNodeErrorUnterminated, what, n_);
    }

    NodeToken TooLong(std::u16string_view what, size_t end) {
        return Fail(kNodeErrorTooLong, what, end);
    }

    // The node ends at the next '>' (included) or '<' (excluded) from `from`.
    NodeToken Malformed(std::u16string_view what, size_t from) {
        for (size_t i = from; i < n_; ++i) {
            if (text_[i] == u'<' || text_[i] == u'>')
                return Fail(kNodeErrorIncorrect, what, text_[i] == u'>' ? i + 1 : i);
        }
        return Unterminated(u"tag");
    }

    NodeToken ScanCharacterData(size_t pos) {
        size_t i = pos;
        while (i < n_ && IsWhiteSpace(text_[i]))
            ++i;
        if (i >= n_ || text_[i] == u'<')
            return Finish(kNodeWhiteSpace, i);
        // Character data ends before a '<' or just after a '>'.
        i = char_scan::FindEither(text_.data(), i, n_, u'<', u'>');
        if (i < n_ && text_[i] == u'>')
            ++i;
        return Finish(kNodeCharacterData, i);
    }

    NodeToken ScanEndTag(size_t pos) {
        const size_t nameEnd = NameEnd(text_, pos + 2);
        const size_t close = FindUnit(text_, nameEnd, u'>');
        if (close == kNone)
            return Unterminated(u"Element end tag");
        if (close + 1 - pos > kMaxEndTagLength)
            return TooLong(u"Element end tag", close + 1);
        token_.name = text_.substr(pos + 2, nameEnd - pos - 2);
        return Finish(kNodeEndTag, close + 1);
    }

    NodeToken ScanProcessingInstruction(size_t pos) {
        const size_t nameEnd = NameEnd(text_, pos + 2);
        // The '?' of the opening counts, so "<?>" is complete.
        for (size_t i = FindUnit(text_, pos + 2, u'>'); i != kNone;
             i = FindUnit(text_, i + 1, u'>')) {
            if (text_[i - 1] == u'?') {
                token_.name = text_.substr(pos + 2, nameEnd - pos - 2);
                return Finish(kNodeProcessingInstruction, i + 1);
            }
        }
        return Unterminated(u"Processing instruction");
    }

    NodeToken ScanBang(size_t pos) {
        if (pos + 2 >= n_)
            return Unterminated(u"tag");
        const char16_t c = text_[pos + 2];
        if (c == u'-') {
            if (pos + 3 >= n_)
                return Unterminated(u"tag");
            if (text_[pos + 3] != u'-')
                return Malformed(u"comment tag", pos + 3);
            // The hyphens of the opening count, so "<!-->" is complete.
            const size_t end = FindClose(text_, pos + 4, u'-', u'-');
            if (end == kNone)
                return Unterminated(u"Comment");
            return Finish(kNodeComment, end + 1);
        }
        if (c == u'[') {
            if (pos + 3 >= n_)
                return Unterminated(u"tag");
            if (text_[pos + 3] != u'C')
                return Malformed(u"tag", pos + 3);
            const size_t end = FindClose(text_, pos + 4, u']', u']');
            if (end == kNone)
                return Unterminated(u"CDATA Section");
            return Finish(kNodeCData, end + 1);
        }
        if (c == u'D') {
            const size_t end = FindDoctypeEnd(text_, pos + 2);
            if (end == kNone)
                return Unterminated(u"Doctype");
            return Finish(kNodeDeclaration, end + 1);
        }
        if (c == u'E' || c == u'A' || c == u'N') {
            const size_t end = FindDeclarationEnd(text_, pos + 2);
            if (end == kNone)
                return Unterminated(u"Doctype");
            return Finish(kNodeDeclaration, end + 1);
        }
        return Malformed(u"! tag", pos + 2);
    }

    NodeToken ScanStartTag(size_t pos) {
        const size_t nameEnd = NameEnd(text_, pos + 1);
        enum { kInTag, kAfterEquals, kQuoted, kUnquoted } state = kInTag;
        char16_t quote = 0;
        size_t i = nameEnd;
        for (; i < n_; ++i) {
            if (state == kInTag) {
                // Between attributes only '=' and '>' matter.
                i = char_scan::FindEither(text_.data(), i, n_, u'=', u'>');
                if (i >= n_)
                    break;
            }
            const char16_t c = text_[i];
            if (state == kQuoted) {
                // A '>' inside a quoted value does not end the tag.
                const size_t close = FindUnit(text_, i, quote);
                if (close == kNone) {
                    i = n_;
                    break;
                }
                i = close;
                state = kInTag;
            } else if (c == u'>') {
                break;
            } else if (state == kInTag) {
                if (c == u'=')
                    state = kAfterEquals;
            } else if (state == kAfterEquals) {
                if (IsQuote(c)) {
                    quote = c;
                    state = kQuoted;
                } else if (c == u'=' && text_[i - 1] != u'=') {
                    // Another '=' after white space opens the value anew.
                } else if (!IsWhiteSpace(c)) {
                    state = kUnquoted;
                }
            } else if (IsWhiteSpace(c)) {  // kUnquoted: a '/' belongs to the value
                state = kInTag;
            }
        }
        if (i >= n_)
            return Unterminated(u"Element tag");
        if (i + 1 - pos > kMaxStartTagLength)
            return TooLong(u"Element tag", i + 1);
        if (text_[i - 1] == u'/') {
            const char16_t before = text_[i - 2];
            if (IsWhiteSpace(before) || IsQuote(before) || i - 1 == nameEnd) {
                token_.flags |= kTokenEmptyElement;
            }
        }
        token_.name = text_.substr(pos + 1, nameEnd - pos - 1);
        return Finish(kNodeStartTag, i + 1);
    }

    std::u16string_view text_;
    size_t n_;
    NodeToken token_;
};

}  // namespace

NodeToken ScanNode(std::u16string_view text, size_t offset) {
    return Scanner(text, offset).Scan();
}

std::u16string NodeErrorText(const NodeToken& token) {
    switch (token.error) {
        case kNodeErrorUnterminated:
            return ResultTextOf(token.errorWhat, u" at offset ", token.start, u" unterminated");
        case kNodeErrorTooLong:
            return ResultTextOf(token.errorWhat, u" at offset ", token.start, u" too long");
        case kNodeErrorIncorrect:
            return ResultTextOf(u"Incorrect ", token.errorWhat, u" at offset ", token.start);
        case kNodeErrorNone:
            break;
    }
    return {};
}

}  // namespace korvane
