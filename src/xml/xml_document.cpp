#include "xml/xml_document.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "system/file_open.h"
#include "xml/char_scan.h"
#include "xml/name_match.h"
#include "xml/node_scanner.h"
#include "xml/result_text.h"
#include "xml/utf8.h"

namespace korvane {

namespace {

constexpr size_t kMaxSystemText = 100;
constexpr uint32_t kMaxLevel = 0xFFFF;
// Offsets and lengths are 32-bit in the records and in the reports.
constexpr size_t kMaxTextLength = std::numeric_limits<int32_t>::max();

std::u16string SystemText(int error) {
    std::string text = std::strerror(error);
    text = text.substr(0, std::min(text.find_first_of("\r\n"), kMaxSystemText));
    return DecodeUtf8(text);
}

// Index of the first '<' at or after `from`, or the size of the text.
size_t FindMarkup(std::u16string_view text, size_t from) {
    return char_scan::Find(text.data(), from, text.size(), u'<');
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool XmlDocument::SetText(std::u16string text) {
    text_ = std::move(text);
    result_.clear();
    return Parse();
}

bool XmlDocument::LoadFile(const std::filesystem::path& path) {
    std::unique_ptr<std::FILE, FileCloser> file(OpenFile(path, "rb"));
    if (!file) {
        result_ = SystemText(errno);
        return false;
    }
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.append(chunk, got);
        if (bytes.size() > kMaxTextLength) {
            // The byte count must fit the load summary and the offsets.
            result_ = SystemText(EFBIG);
            return false;
        }
        if (got < sizeof chunk)
            break;
    }
    if (std::ferror(file.get())) {
        result_ = SystemText(errno);
        return false;
    }
    return LoadBuffer(bytes);
}

bool XmlDocument::LoadBuffer(std::string_view bytes) {
    if (bytes.size() > kMaxTextLength) {
        result_ = SystemText(EFBIG);
        return false;
    }
    text_ = DecodeUtf8(bytes);
    result_ = ResultTextOf(bytes.size(), u" bytes to ", text_.size(), u" wide chars");
    return Parse();
}

bool XmlDocument::IsSound() const {
    if (elementsInUse_ == 0)
        return false;
    const ElementRecord& document = elements_[0];
    return !document.Has(kDocumentIllFormed) && document.firstChild != 0 &&
           elements_[document.firstChild].nextSibling == 0;
}

void XmlDocument::ResetPosition() {
    parentPosition_ = currentPosition_ = childPosition_ = 0;
    currentKind_ = 0;
}

bool XmlDocument::Parse() {
    std::u16string summary = std::move(result_);
    result_.clear();
    ResetPosition();
    elementsInUse_ = 1;
    elements_.Grow(static_cast<int64_t>(text_.size() / 64) + 8);
    elements_[0] = ElementRecord{};
    if (text_.empty()) {
        result_ = u"Empty document";
    } else if (text_.size() > kMaxTextLength) {
        elements_[0].Set(kDocumentIllFormed);
        result_ = u"Document too large";
    } else {
        const int32_t root = ParseElements();
        elements_[0].length = static_cast<uint32_t>(text_.size());
        // These replace a parse error already reported.
        if (root == 0) {
            result_ = u"No root element";
        } else if (elements_[root].nextSibling != 0) {
            result_ = u"Root element has sibling";
        }
    }
    ResetPosition();
    if (!summary.empty()) {
        if (!result_.empty())
            summary += u", " + result_;
        result_ = std::move(summary);
    }
    return IsSound();
}

void XmlDocument::Report(std::u16string text) {
    // Only the first report of a parse survives.
    if (result_.empty())
        result_ = std::move(text);
}

void XmlDocument::MarkIllFormed(int32_t parent) {
    elements_[0].Set(kDocumentIllFormed);
    elements_[parent].Set(kElementHasError);
}

void XmlDocument::AppendChild(int32_t parent, int32_t child) {
    ElementRecord& p = elements_[parent];
    ElementRecord& c = elements_[child];
    c.parent = parent;
    if (p.firstChild != 0) {
        ElementRecord& first = elements_[p.firstChild];
        const int32_t last = first.previousSibling;
        elements_[last].nextSibling = child;
        c.previousSibling = last;
        first.previousSibling = child;
    } else {
        p.firstChild = child;
        c.previousSibling = child;
        c.Set(kElementFirstChild);
    }
}

// The element's end tag is missing: it keeps only its start tag and its
// children follow it as siblings. Their parent links are mended once the
// parse ends (see ParseElements), so closing never walks the children.
void XmlDocument::CloseImplicitly(int32_t index) {
    elements_[0].Set(kDocumentIllFormed);
    ElementRecord& e = elements_[index];
    e.Set(kElementNotEnded);
    e.SetTagLengths(e.StartTagLength(), 0);
    e.length = e.StartTagLength();
    if (e.Has(kElementHasError)) {
        e.Clear(kElementHasError);
        elements_[e.parent].Set(kElementHasError);
    }
    const int32_t first = e.firstChild;
    if (first == 0)
        return;
    ElementRecord& firstRecord = elements_[first];
    const int32_t last = firstRecord.previousSibling;
    const int32_t after = e.nextSibling;
    elements_[last].nextSibling = after;
    if (after != 0) {
        elements_[after].previousSibling = last;
    } else {
        elements_[elements_[e.parent].firstChild].previousSibling = last;
    }
    e.nextSibling = first;
    e.firstChild = 0;
    firstRecord.previousSibling = index;
    firstRecord.Clear(kElementFirstChild);
}

int32_t XmlDocument::ParseElements() {
    struct OpenElement {
        int32_t index;
        std::u16string_view name;
    };
    std::vector<OpenElement> open;
    open.reserve(6);
    int32_t parent = 0;
    int32_t first = 0;
    bool closedImplicitly = false;
    const std::u16string_view text = text_;
    const size_t size = text.size();
    size_t offset = 0;
    for (;;) {
        // Character data and white space leave the index alone, and however
        // the scanner splits a run of them, the run ends at the next '<'.
        if (offset < size && text[offset] != u'<')
            offset = FindMarkup(text, offset);
        const NodeToken token = ScanNode(text, offset);
        offset = token.start + token.length;
        if (token.kind == kNodeStartTag) {
            if (open.size() > kMaxLevel) {
                MarkIllFormed(parent);
                Report(ResultTextOf(u"Element '", token.name, u"' at offset ", token.start,
                                    u" nested deeper than 65535 levels"));
                continue;
            }
            if (elementsInUse_ == elements_.Capacity()) {
                elements_.Grow(int64_t{elementsInUse_} + elementsInUse_ / 2);
            }
            const int32_t index = elementsInUse_++;
            if (first == 0)
                first = index;
            ElementRecord& record = elements_[index];
            record = ElementRecord{};
            record.start = static_cast<uint32_t>(token.start);
            record.length = static_cast<uint32_t>(token.length);
            record.SetTagLengths(static_cast<uint32_t>(token.length), 0);
            record.levelAndFlags = static_cast<uint32_t>(open.size());
            AppendChild(parent, index);
            if (!(token.flags & kTokenEmptyElement)) {
                open.push_back({index, token.name});
                parent = index;
            }
        } else if (token.kind == kNodeEndTag) {
            size_t match = open.size();
            while (match > 0 && !NameMatches(token.name, open[match - 1].name))
                --match;
            if (match == 0) {
                MarkIllFormed(parent);
                Report(ResultTextOf(u"No start tag for end tag '", token.name, u"' at offset ",
                                    token.start));
                continue;
            }
            const OpenElement matched = open[match - 1];
            while (open.size() > match) {
                const OpenElement inner = open.back();
                open.pop_back();
                Report(ResultTextOf(u"End tag '", token.name, u"' at offset ", token.start + 1,
                                    u" does not match start tag '", inner.name, u"' at offset ",
                                    elements_[inner.index].start));
                CloseImplicitly(inner.index);
                closedImplicitly = true;
            }
            open.pop_back();
            ElementRecord& record = elements_[matched.index];
            record.length = static_cast<uint32_t>(offset - record.start);
            record.SetTagLengths(record.StartTagLength(), static_cast<uint32_t>(token.length));
            parent = record.parent;
        } else if (token.kind == kNodeMalformed) {
            MarkIllFormed(parent);
            Report(NodeErrorText(token));
        } else if (token.kind == kNodeEndOfText) {
            while (!open.empty()) {
                const OpenElement inner = open.back();
                open.pop_back();
                Report(ResultTextOf(u"Element '", inner.name, u"' at offset ",
                                    elements_[inner.index].start, u" not ended"));
                CloseImplicitly(inner.index);
                closedImplicitly = true;
            }
            break;
        }
    }
    if (closedImplicitly) {
        // Children moved up still name the closed element as parent. Parents
        // come before their children in index order, so one pass in that order
        // sees every grandparent already mended.
        for (int32_t i = 1; i < elementsInUse_; ++i) {
            ElementRecord& record = elements_[i];
            if (record.parent != 0 && elements_[record.parent].Has(kElementNotEnded)) {
                record.parent = elements_[record.parent].parent;
            }
        }
    }
    return first;
}

}  // namespace korvane
