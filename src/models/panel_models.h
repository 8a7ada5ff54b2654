// Reading the panel models from XMLName.dat.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "models/panel_model.h"

namespace korvane {

class ProgramFiles;

// What makes a model of the list impossible.
enum class PanelModelFault {
    BadWidth,       // not a screen side (screen_size.h)
    BadHeight,      // not a screen side
    EmptyName,      // nothing to choose it by
    ControlInName,  // a control character (a TAB would break the name<TAB>WxH listing)
    DuplicateName,  // a model kept earlier has the same name
};

// A model left out of the list, as the file gave it, with every fault found.
struct PanelModelRefusal {
    size_t position = 0;  // 1 for the file's first HMI_Type
    PanelModel model;
    std::vector<PanelModelFault> faults;
};

// Builds `models` (in file order) from the model file at `file`. Returns true
// when the file was read soundly and its "ge" root has an HMI_Types element,
// even if that holds no model; otherwise false with `models` empty. A model
// that no panel could be (see PanelModelFault) is left out and, when `refused`
// is given, listed there so that the front end can say so; the others stay.
bool LoadPanelModels(const std::filesystem::path& file, std::vector<PanelModel>& models,
                     std::vector<PanelModelRefusal>* refused = nullptr);

// The model file beside the running program: as above, with the file found by
// PanelModelsFileIn(ProgramFiles::ForRunningProgram()). No file, no models.
bool LoadPanelModels(std::vector<PanelModel>& models);

// XMLName.dat beside the program; nothing when the program has no folder of
// its own (it is not the program itself).
std::optional<std::filesystem::path> PanelModelsFileIn(const ProgramFiles& program);
// As above, for the program whose executable is `executable`.
std::optional<std::filesystem::path> PanelModelsFileFor(const std::filesystem::path& executable);

// Numbers of the model file: leading white space, an optional sign, digits up
// to the first non-digit; no digits give 0. Values beyond 32 bits saturate.
int32_t ParsePanelModelNumber(std::u16string_view text);

}  // namespace korvane
