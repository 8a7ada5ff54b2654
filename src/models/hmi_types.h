// Reading the panel models from XMLName.dat.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "models/hmi_type.h"

namespace korvane {

class ProgramFiles;

// What makes a model of the list impossible.
enum class HmiTypeFault {
    BadWidth,       // not a screen side (screen_size.h)
    BadHeight,      // not a screen side
    EmptyName,      // nothing to choose it by
    ControlInName,  // a control character (a TAB would break the name<TAB>WxH listing)
    DuplicateName,  // a model kept earlier has the same name
};

// A model left out of the list, as the file gave it, with every fault found.
struct HmiTypeRefusal {
    size_t position = 0;  // 1 for the file's first HMI_Type
    CHmiType model;
    std::vector<HmiTypeFault> faults;
};

// Builds `models` (in file order) from the model file at `file`. Returns true
// when the file was read soundly and its "ge" root has an HMI_Types element,
// even if that holds no model; otherwise false with `models` empty. A model
// that no panel could be (see HmiTypeFault) is left out and, when `refused`
// is given, listed there so that the front end can say so; the others stay.
bool LoadHmiTypes(const std::filesystem::path& file, std::vector<CHmiType>& models,
                  std::vector<HmiTypeRefusal>* refused = nullptr);

// The model file beside the running program: as above, with the file found by
// HmiTypesFileIn(ProgramFiles::ForRunningProgram()). No file, no models.
bool LoadHmiTypes(std::vector<CHmiType>& models);

// XMLName.dat beside the program; nothing when the program has no folder of
// its own (it is not the program itself).
std::optional<std::filesystem::path> HmiTypesFileIn(const ProgramFiles& program);
// As above, for the program whose executable is `executable`.
std::optional<std::filesystem::path> HmiTypesFileFor(const std::filesystem::path& executable);

// Numbers of the model file: leading white space, an optional sign, digits up
// to the first non-digit; no digits give 0. Values beyond 32 bits saturate.
int32_t ParseHmiNumber(std::u16string_view text);

}  // namespace korvane
