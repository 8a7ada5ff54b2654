#pragma once
// Checks of values that would cut the user off the panel once sent: an
// address the tool could never reach, a mask that is no mask, a clock the
// panel cannot report back. Front ends refuse on a refusal unless the user
// insists (the command line's --force, a question in the window) and show the
// warnings either way. Each reason is a catalogued text with its values, so
// that every front end says it in its user's language.
#include <cstdint>
#include <string>
#include <vector>

#include "link/texts.h"
#include "protocol/requests.h"
#include "settings/settings_record.h"

namespace korvane {

struct InputReason {
    TextId id;
    TextValues values;
    std::string Text(UiLanguage language) const { return FillText(id, values, language); }
};

struct InputCheck {
    std::vector<InputReason> refusals;
    std::vector<InputReason> warnings;
    bool Refused() const { return !refusals.empty(); }
};

// The years a panel stores and reports back unchanged.
inline constexpr int kFirstClockYear = 2000;
inline constexpr int kLastClockYear = 2099;

// New address, port, gateway and mask for the panel.
InputCheck CheckPanelNetwork(const PanelNetworkRecord& record);
// A clock to set: a real calendar date and time in the years above.
InputCheck CheckPanelClock(const ClockValue& clock);

}  // namespace korvane
