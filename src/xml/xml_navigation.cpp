// The query side of XmlDocument: moving the position and reading values
// straight from the text through the element index.
#include <algorithm>

#include "xml/name_match.h"
#include "xml/node_scanner.h"
#include "xml/references.h"
#include "xml/xml_document.h"

namespace korvane {

namespace {

bool IsWhiteSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool IsAnyOf(char16_t c, std::u16string_view set) {
    return set.find(c) != std::u16string_view::npos;
}

constexpr std::u16string_view kElementNameEnd = u" \t\n\r<>=\\/?!";
constexpr std::u16string_view kAttributeTokenEnd = u"= \t\n\r>/?";
constexpr std::u16string_view kValueTokenEnd = u" \t\n\r>";
constexpr std::u16string_view kCDataOpening = u"<![CDATA[";
constexpr size_t kCDataClosingLength = 3;  // "]]>"

// Reads the tokens of one start tag. It stops at the end of the tag, so a
// lookup never takes text of the element's content for an attribute.
class StartTagTokens {
  public:
    StartTagTokens(std::u16string_view tag, size_t from) : tag_(tag), pos_(from) {}

    // Skips white space; false at the end of the tag.
    bool More() {
        while (pos_ < tag_.size() && IsWhiteSpace(tag_[pos_]))
            ++pos_;
        return pos_ < tag_.size();
    }
    char16_t Peek() const { return tag_[pos_]; }
    void Skip() { ++pos_; }

    // A quoted token's text without its quotes (the closing quote may be
    // missing), or a run up to one of `ends`, at least one character long.
    std::u16string_view Next(std::u16string_view ends, bool& quoted) {
        const size_t begin = pos_;
        const char16_t c = tag_[pos_];
        quoted = c == u'"' || c == u'\'';
        if (quoted) {
            const size_t close = std::min(tag_.find(c, begin + 1), tag_.size());
            pos_ = std::min(close + 1, tag_.size());
            return tag_.substr(begin + 1, close - begin - 1);
        }
        ++pos_;
        while (pos_ < tag_.size() && !IsAnyOf(tag_[pos_], ends))
            ++pos_;
        return tag_.substr(begin, pos_ - begin);
    }

    // The value after an '=': quoted, or a run up to white space or '>'
    // (possibly empty).
    std::u16string_view Value() {
        if (!More())
            return {};
        bool quoted = false;
        if (IsAnyOf(Peek(), kValueTokenEnd))
            return {};
        return Next(kValueTokenEnd, quoted);
    }

  private:
    std::u16string_view tag_;
    size_t pos_;
};

}  // namespace

std::u16string_view XmlDocument::ElementName(int32_t index) const {
    const std::u16string_view text = text_;
    size_t i = elements_[index].start + 1;
    while (i < text.size() && IsWhiteSpace(text[i]))
        ++i;
    size_t end = i;
    while (end < text.size() && !IsAnyOf(text[end], kElementNameEnd))
        ++end;
    return text.substr(std::min(i, text.size()), end - std::min(i, text.size()));
}

int32_t XmlDocument::FindSibling(int32_t from, std::u16string_view name) const {
    for (int32_t i = from; i != 0; i = elements_[i].nextSibling) {
        if (name.empty() || NameMatches(ElementName(i), name))
            return i;
    }
    return 0;
}

bool XmlDocument::FindElement(std::u16string_view name) {
    if (elementsInUse_ == 0)
        return false;
    const int32_t from = currentPosition_ != 0 ? elements_[currentPosition_].nextSibling
                                               : elements_[parentPosition_].firstChild;
    const int32_t found = FindSibling(from, name);
    if (found == 0)
        return false;
    currentPosition_ = found;
    childPosition_ = 0;
    currentKind_ = 1;
    return true;
}

bool XmlDocument::FindChildElement(std::u16string_view name) {
    if (currentPosition_ == 0 && !FindElement())
        return false;
    const int32_t from = childPosition_ != 0 ? elements_[childPosition_].nextSibling
                                             : elements_[currentPosition_].firstChild;
    const int32_t found = FindSibling(from, name);
    if (found == 0)
        return false;
    childPosition_ = found;
    currentPosition_ = elements_[found].parent;
    parentPosition_ = elements_[currentPosition_].parent;
    return true;
}

bool XmlDocument::EnterElement() {
    if (currentPosition_ == 0 || currentKind_ != 1)
        return false;
    parentPosition_ = currentPosition_;
    currentPosition_ = childPosition_;
    childPosition_ = 0;
    currentKind_ = currentPosition_ != 0 ? 1 : 0;
    return true;
}

bool XmlDocument::LeaveElement() {
    if (parentPosition_ == 0)
        return false;
    childPosition_ = currentPosition_;
    currentPosition_ = parentPosition_;
    parentPosition_ = elements_[currentPosition_].parent;
    currentKind_ = 1;
    return true;
}

std::u16string XmlDocument::GetAttribute(std::u16string_view name) const {
    if (currentPosition_ == 0 || currentKind_ != 1)
        return {};
    const ElementRecord& record = elements_[currentPosition_];
    StartTagTokens tokens(std::u16string_view(text_).substr(record.start, record.StartTagLength()),
                          1);
    bool quoted = false;
    if (!tokens.More())
        return {};
    tokens.Next(kAttributeTokenEnd, quoted);  // the tag name
    while (tokens.More()) {
        const char16_t c = tokens.Peek();
        if (c == u'/' || c == u'>' || c == u'?')
            return {};
        if (c == u'=') {
            // The value of something that is not the requested attribute.
            tokens.Skip();
            tokens.Value();
            continue;
        }
        const std::u16string_view token = tokens.Next(kAttributeTokenEnd, quoted);
        if (quoted || !NameMatches(token, name))
            continue;
        if (tokens.More() && tokens.Peek() == u'=') {
            tokens.Skip();
            return DecodeReferences(tokens.Value());
        }
        // Written without a value: the name stands for it.
        return DecodeReferences(token);
    }
    return {};
}

std::u16string XmlDocument::GetChildText() const {
    if (childPosition_ == 0)
        return {};
    const ElementRecord& record = elements_[childPosition_];
    if (record.firstChild != 0 || record.EndTagLength() == 0)
        return {};
    const std::u16string_view text = text_;
    const size_t begin = record.start + record.StartTagLength();
    const size_t end = record.start + record.length - record.EndTagLength();
    if (end <= begin)
        return {};
    const std::u16string_view content = text.substr(begin, end - begin);
    if (content.find(u'<') == std::u16string_view::npos)
        return DecodeReferences(content);
    std::u16string out;
    for (size_t offset = begin; offset < end;) {
        const NodeToken token = ScanNode(text, offset);
        if (token.kind == kNodeEndOfText)
            break;
        offset = token.start + token.length;
        const size_t length = std::min(offset, end) - token.start;
        const std::u16string_view node = text.substr(token.start, length);
        if (token.kind == kNodeCharacterData) {
            AppendDecoded(node, out);
        } else if (token.kind == kNodeCData) {
            // A section shorter than its own opening and closing holds nothing.
            if (node.size() >= kCDataOpening.size() + kCDataClosingLength) {
                out.append(node.substr(kCDataOpening.size(),
                                       node.size() - kCDataOpening.size() - kCDataClosingLength));
            }
        }
    }
    return out;
}

}  // namespace korvane
