// Loads any bytes, as UTF-8 and as UTF-16 units, and walks every element with
// every query. Beyond the sanitizers it checks that the result text and
// IsSound agree and that no walk reaches more elements than the text has '<'.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace {

using korvane::XmlDocument;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

size_t Walk(XmlDocument& doc, std::u16string_view someName) {
    const std::u16string_view names[] = {u"", u"id", u"a", someName};
    const size_t limit =
        static_cast<size_t>(std::count(doc.Text().begin(), doc.Text().end(), u'<'));
    size_t reached = 0;
    while (doc.FindElement()) {
        ++reached;
        size_t depth = 0;
        for (;;) {
            if (doc.FindChildElement()) {
                Check(++reached <= limit);
                doc.GetChildText();
                Check(doc.EnterElement());
                for (auto name : names)
                    doc.GetAttribute(name);
                ++depth;
            } else {
                if (depth == 0)
                    break;
                Check(doc.LeaveElement());
                --depth;
            }
        }
        for (auto name : names)
            doc.GetAttribute(name);
    }
    Check(reached <= limit);
    // Named searches from a fresh position.
    for (auto name : names) {
        doc.LeaveElement();
        doc.FindElement(name);
        doc.FindChildElement(name);
    }
    return reached;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    XmlDocument doc;
    doc.LoadBuffer(bytes);
    std::u16string someName;
    for (size_t i = 0; i < doc.Text().size() && i < 3; ++i)
        someName += doc.Text()[i];
    Walk(doc, someName);

    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    const bool sound = doc.SetText(units);
    Check(sound == doc.IsSound());
    Check(sound == doc.ResultText().empty());
    Walk(doc, someName);
    return 0;
}
