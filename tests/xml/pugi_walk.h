// Walks a document with the reader's navigation calls beside pugixml's tree of
// the same bytes and lists every difference in what the reader defines:
// element names and order, attribute values, child texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// pugixml options that match the reader: references decoded, no line-end or
// attribute white-space normalisation, CDATA kept, white space kept only when
// it is an element's whole content.
unsigned PugiOptionsLikeTheReader();

// Empty when both agree. The reader must also find the document sound.
std::vector<std::string> CompareWithPugixml(std::string_view utf8);

}  // namespace korvane
