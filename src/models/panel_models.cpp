#include "models/panel_models.h"

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
std::vector<PanelModelFault> FaultsOf(const PanelModel& model,
                                      const std::vector<PanelModel>& kept) {
    std::vector<PanelModelFault> faults;
    if (model.name.empty())
        faults.push_back(PanelModelFault::EmptyName);
    if (std::any_of(model.name.begin(), model.name.end(), IsControl))
        faults.push_back(PanelModelFault::ControlInName);
    if (!model.name.empty() && std::any_of(kept.begin(), kept.end(), [&](const PanelModel& k) {
            return k.name == model.name;
        }))
        faults.push_back(PanelModelFault::DuplicateName);
    if (!IsScreenSide(model.screen_width))
        faults.push_back(PanelModelFault::BadWidth);
    if (!IsScreenSide(model.screen_height))
        faults.push_back(PanelModelFault::BadHeight);
    return faults;
}

}  // namespace

int32_t ParsePanelModelNumber(std::u16string_view text) {
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

bool LoadPanelModels(const std::filesystem::path& file, std::vector<PanelModel>& models,
                     std::vector<PanelModelRefusal>* refused) {
    models.clear();
    if (refused)
        refused->clear();
    XmlDocument doc;
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
        PanelModel model;
        doc.EnterElement();
        model.id = ParsePanelModelNumber(doc.GetAttribute(u"id"));
        model.name = doc.GetAttribute(u"name");
        // The height is searched after the width, so its element must follow.
        if (doc.FindChildElement(u"screen_size_cx")) {
            model.screen_width = ParsePanelModelNumber(doc.GetChildText());
        }
        if (doc.FindChildElement(u"screen_size_cy")) {
            model.screen_height = ParsePanelModelNumber(doc.GetChildText());
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

bool LoadPanelModels(std::vector<PanelModel>& models) {
    models.clear();
    const auto file = PanelModelsFileIn(ProgramFiles::ForRunningProgram());
    return file && LoadPanelModels(*file, models);
}

std::optional<std::filesystem::path> PanelModelsFileIn(const ProgramFiles& program) {
    return program.Beside(kModelFileName);
}

std::optional<std::filesystem::path> PanelModelsFileFor(const std::filesystem::path& executable) {
    return PanelModelsFileIn(ProgramFiles::ForExecutable(executable));
}

}  // namespace korvane
