// One panel model of the model list: its number, display name and screen size.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

struct PanelModel {
    int32_t id = 0;
    std::u16string name;
    int32_t screen_width = 0;   // pixels
    int32_t screen_height = 0;  // pixels

    bool operator==(const PanelModel&) const = default;
};

}  // namespace korvane
