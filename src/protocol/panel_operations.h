#pragma once
// The maintenance operations as the front ends offer them. Each claims the
// session (one asked for while another runs is refused with a message and
// touches nothing), opens the configured link, checks that the panel answers
// (query-state), sends its commands while the result stays Ok, and closes the
// link whatever happened.
// Messages go to the session's sink; the returned values are what a front end
// displays. The desktop page and the command-line tool both call these.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/message_sink.h"
#include "protocol/panel_session.h"
#include "protocol/requests.h"
#include "settings/settings_file.h"

namespace korvane {

struct PanelAddress {
    std::array<uint8_t, 4> ip{};
    uint16_t port = 0;
    std::string IpText() const;
};

// The page's new-address fields as texts, converted the way the settings
// writers convert them (decimal at the start and after each '.').
struct NetworkTexts {
    std::string ip = "192.168.0.100";
    std::string port = "21845";
    std::string gateway = "192.168.0.1";
    std::string mask = "255.255.255.0";

    PanelNetworkRecord ToRecord() const;
};

// Checks that the panel answers and returns its jumper position (1 update,
// 2 normal).
std::optional<uint8_t> QueryPanelState(PanelSession& session);
// Reads the panel's address and port.
std::optional<PanelAddress> GetPanelAddress(PanelSession& session);
// Saves the panel network record (when `settings` is given), then sets
// address and port, gateway and mask; one "设置成功" ends a fully accepted run.
bool SetPanelAddress(PanelSession& session, const NetworkTexts& values,
                     const SettingsFile* settings);
// Sets a newly generated MAC address; `seconds` seeds the generator.
bool ChangeMac(PanelSession& session, uint64_t seconds);
std::optional<ClockValue> GetPanelClock(PanelSession& session, const NetworkTexts* values,
                                        const SettingsFile* settings);
bool SetPanelClock(PanelSession& session, const ClockValue& clock, const NetworkTexts* values,
                   const SettingsFile* settings);
// Leaves download mode when the jumper is in the normal position; false when
// refused or not fully accepted.
bool RunEndDownload(PanelSession& session);
// Enters download mode and runs the version handshake; false when refused or
// not fully accepted.
bool RunEnterDownload(PanelSession& session);

// The start of every erase and programming run: claims the session (a run
// already active is refused with a message), refuses USB, opens the
// configured link. False, with the claim released and the link closed, when
// the run cannot go on. The run is recorded in the run log as a step of
// `kind` (an image kind's name, or "erase").
bool BeginFlashRun(PanelSession& session, const char* kind);

// Erases the flash on the session's worker thread; returns false when the
// run did not start (another run active, USB chosen, link not opened). The
// worker reports its end through `progress` and the session's sink, then
// calls `on_finished` (see PanelSession::StartWorker).
bool StartEraseFlash(PanelSession& session, ProgressSink& progress,
                     PanelSession::RunFinished on_finished = {});

// The generated MAC bytes: prefix 00-4F-9A, fourth byte with its top bit
// set, fifth from bits 8-15 of the random value, sixth with its low bit clear.
SixBytes GenerateMac(uint64_t seconds);

}  // namespace korvane
