// One XML document held as UTF-16 text beside a compact index of its elements.
// The reader only loads, checks and reads: there is no tree of node objects,
// and queries go back to the text through the index.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "xml/element_store.h"

namespace korvane {

class XmlDocument {
  public:
    // Replaces the text, clears the result text and parses. Returns IsSound().
    bool SetText(std::u16string text);

    // Reads the file as UTF-8, sets the result text to the load summary
    // ("N bytes to M wide chars") and parses. Returns false when the file cannot
    // be read (the text and index are then kept and the result text is the
    // system's message), otherwise IsSound().
    bool LoadFile(const std::filesystem::path& path);

    // LoadFile's work on bytes already in memory.
    bool LoadBuffer(std::string_view bytes);

    // An index exists, the document is not ill-formed, and it has exactly one
    // root element.
    bool IsSound() const;

    // Outcome of the last load and parse: the load summary and the first parse
    // error, "Empty document", "No root element" or "Root element has sibling".
    const std::u16string& ResultText() const { return result_; }

    const std::u16string& Text() const { return text_; }

    // Navigation: a position of parent, current and child element. An empty
    // name matches any element; names match as NameMatches() says.
    bool FindElement(std::u16string_view name = {});
    bool FindChildElement(std::u16string_view name = {});
    bool EnterElement();
    bool LeaveElement();

    // Decoded value of the named attribute of the current element; empty when
    // there is none.
    std::u16string GetAttribute(std::u16string_view name) const;

    // Character data of the element at the child position, references decoded
    // and CDATA sections taken raw; empty when that element has child elements.
    std::u16string GetChildText() const;

  private:
    bool Parse();
    int32_t ParseElements();
    void Report(std::u16string text);
    void CloseImplicitly(int32_t index);
    void AppendChild(int32_t parent, int32_t child);
    void MarkIllFormed(int32_t parent);
    void ResetPosition();

    std::u16string_view ElementName(int32_t index) const;
    int32_t FindSibling(int32_t from, std::u16string_view name) const;

    std::u16string text_;
    std::u16string result_;
    int32_t parentPosition_ = 0;
    int32_t currentPosition_ = 0;
    int32_t childPosition_ = 0;
    int32_t elementsInUse_ = 0;  // 0 = no index yet
    int32_t currentKind_ = 0;
    int32_t flags_ = 0;
    ElementStore elements_;
};

}  // namespace korvane
