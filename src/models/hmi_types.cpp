#include "models/hmi_types.h"

#include <algorithm>
#include <limits>

#include "models/screen_size.h"
#include "system/program_files.h"
#include "xml/xml_document.h"

namespace korvane {

namespace {

constexpr const char* kModelFileName = "XMLName.dat";

bool IsNumberSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Every fault of `model`, given the models kept before it.
std::vector<HmiTypeFault> FaultsOf(const CHmiType& model, const std::vector<CHmiType>& kept) {
    std::vector<HmiTypeFault> faults;
    if (model.name.empty())
        faults.push_back(HmiTypeFault::EmptyName);
    if (std::any_of(model.name.begin(), model.name.end(), IsControl))
        faults.push_back(HmiTypeFault::ControlInName);
    if (!model.name.empty() && std::any_of(kept.begin(), kept.end(),
                                           [&](const CHmiType& k) { return k.name == model.name; }))
        faults.push_back(HmiTypeFault::DuplicateName);
    if (!IsScreenSide(model.screen_width))
        faults.push_back(HmiTypeFault::BadWidth);
    if (!IsScreenSide(model.screen_height))
        faults.push_back(HmiTypeFault::BadHeight);
    return faults;
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

bool LoadHmiTypes(const std::filesystem::path& file, std::vector<CHmiType>& models,
                  std::vector<HmiTypeRefusal>* refused) {
    models.clear();
    if (refused)
        refused->clear();
    CXmlDocument doc;
    if (!doc.LoadFile(file))
        return false;
    if (!doc.FindElement(u"ge"))
        return false;
    if (!doc.FindChildElement(u"HMI_Types"))
        return false;
    if (!doc.EnterElement())
        return true;
    size_t position = 0;
    while (doc.FindChildElement(u"HMI_Type")) {
        ++position;
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
        // A screen no panel has would reach the logo writer; a name that is
        // empty, repeated or carries control characters cannot be chosen
        // by, nor listed as one line. The first of two same names stays.
        if (auto faults = FaultsOf(model, models); !faults.empty()) {
            if (refused)
                refused->push_back({position, std::move(model), std::move(faults)});
            continue;
        }
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
