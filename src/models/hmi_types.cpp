#include "models/hmi_types.h"

#include <algorithm>
#include <limits>

#include "system/program_files.h"
#include "xml/xml_document.h"

namespace korvane {

namespace {

constexpr const char* kModelFileName = "XMLName.dat";

bool IsNumberSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

}  // namespace

int32_t ParseHmiNumber(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && IsNumberSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Kept within 32 bits so that a long digit run cannot overflow.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min(kLimit, value * 10 + (text[i] - u'0'));
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

bool LoadHmiTypes(const std::filesystem::path& file, std::vector<CHmiType>& models) {
    models.clear();
    CXmlDocument doc;
    if (!doc.LoadFile(file))
        return false;
    if (!doc.FindElement(u"ge"))
        return false;
    if (!doc.FindChildElement(u"HMI_Types"))
        return false;
    if (!doc.EnterElement())
        return true;
    while (doc.FindChildElement(u"HMI_Type")) {
        CHmiType model;
        doc.EnterElement();
        model.id = ParseHmiNumber(doc.GetAttribute(u"id"));
        model.name = doc.GetAttribute(u"name");
        // The height is searched after the width, so its element must follow.
        if (doc.FindChildElement(u"screen_size_cx")) {
            model.screen_width = ParseHmiNumber(doc.GetChildText());
        }
        if (doc.FindChildElement(u"screen_size_cy")) {
            model.screen_height = ParseHmiNumber(doc.GetChildText());
        }
        doc.LeaveElement();
        models.push_back(std::move(model));
    }
    doc.LeaveElement();
    return true;
}

bool LoadHmiTypes(std::vector<CHmiType>& models) {
    models.clear();
    const auto file = HmiTypesFileIn(ProgramFiles::ForRunningProgram());
    return file && LoadHmiTypes(*file, models);
}

std::optional<std::filesystem::path> HmiTypesFileIn(const ProgramFiles& program) {
    return program.Beside(kModelFileName);
}

std::optional<std::filesystem::path> HmiTypesFileFor(const std::filesystem::path& executable) {
    return HmiTypesFileIn(ProgramFiles::ForExecutable(executable));
}

}  // namespace korvane
