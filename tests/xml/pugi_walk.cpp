#include "pugi_walk.h"

#include <pugixml.hpp>

#include "xml/utf8.h"
#include "xml/xml_document.h"

namespace korvane {

namespace {

constexpr size_t kMaxDifferences = 10;

std::string PugiChildText(const pugi::xml_node& node) {
    std::string text;
    for (const auto& child : node.children()) {
        if (child.type() == pugi::node_element)
            return {};
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            text += child.value();
        }
    }
    return text;
}

// `named` walks by the names pugixml reports, `any` by "the next element";
// they take the same steps. When `any` finds exactly as many elements as
// pugixml at every level and `named` finds each name in turn, the two trees
// have the same elements with the same names in the same order.
class Walker {
  public:
    Walker(XmlDocument& named, XmlDocument& any, std::vector<std::string>& differences)
        : named_(named), any_(any), differences_(differences) {}

    void WalkDocument(const pugi::xml_node& root) {
        const std::u16string name = DecodeUtf8(root.name());
        if (!named_.FindElement(name) || !any_.FindElement()) {
            Differ("/", "root element '" + std::string(root.name()) + "' not found");
            return;
        }
        WalkElement(root, std::string("/") + root.name());
        if (any_.FindElement())
            Differ("/", "an element follows the root");
    }

  private:
    void Differ(const std::string& path, const std::string& what) {
        if (differences_.size() < kMaxDifferences)
            differences_.push_back(path + ": " + what);
    }

    // The element is the current position of both documents.
    void WalkElement(const pugi::xml_node& element, const std::string& path) {
        for (const auto& attribute : element.attributes()) {
            const std::string ours = EncodeUtf8(named_.GetAttribute(DecodeUtf8(attribute.name())));
            if (ours != attribute.value()) {
                Differ(path, std::string("attribute ") + attribute.name() + " is '" + ours +
                                 "', pugixml '" + attribute.value() + "'");
            }
        }
        int index = 0;
        for (const auto& child : element.children()) {
            if (child.type() != pugi::node_element)
                continue;
            const std::string childPath =
                path + "/" + child.name() + "[" + std::to_string(index++) + "]";
            if (!named_.FindChildElement(DecodeUtf8(child.name())) || !any_.FindChildElement()) {
                Differ(childPath, "not found");
                return;
            }
            const std::string text = EncodeUtf8(named_.GetChildText());
            const std::string expected = PugiChildText(child);
            if (text != expected)
                Differ(childPath, "text '" + text + "', pugixml '" + expected + "'");
            if (!named_.EnterElement() || !any_.EnterElement()) {
                Differ(childPath, "cannot enter");
                return;
            }
            WalkElement(child, childPath);
            if (!named_.LeaveElement() || !any_.LeaveElement()) {
                Differ(childPath, "cannot leave");
                return;
            }
        }
        if (any_.FindChildElement())
            Differ(path, "more child elements than pugixml has");
    }

    XmlDocument& named_;
    XmlDocument& any_;
    std::vector<std::string>& differences_;
};

}  // namespace

unsigned PugiOptionsLikeTheReader() {
    return pugi::parse_cdata | pugi::parse_escapes | pugi::parse_comments | pugi::parse_pi |
           pugi::parse_ws_pcdata_single;
}

std::vector<std::string> CompareWithPugixml(std::string_view utf8) {
    std::vector<std::string> differences;
    pugi::xml_document pugi;
    const auto parsed =
        pugi.load_buffer(utf8.data(), utf8.size(), PugiOptionsLikeTheReader(), pugi::encoding_utf8);
    if (!parsed) {
        differences.push_back(std::string("pugixml: ") + parsed.description());
        return differences;
    }
    XmlDocument named;
    XmlDocument any;
    if (!named.LoadBuffer(utf8) || !any.LoadBuffer(utf8)) {
        differences.push_back("not sound: " + EncodeUtf8(named.ResultText()));
        return differences;
    }
    Walker(named, any, differences).WalkDocument(pugi.document_element());
    return differences;
}

}  // namespace korvane
