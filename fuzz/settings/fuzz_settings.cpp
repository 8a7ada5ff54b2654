// Feeds arbitrary bytes to the Para.dat record reader and to the loose text
// readers that turn typed addresses and ports into record fields. A record
// of exactly 24 bytes must come back byte for byte, so that a settings file
// read and saved again is never changed by the round trip, and a record the
// settings checks let through must name a usable link.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>

#include "link/serial_config.h"
#include "settings/settings_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A heap block of exactly the input's size, so that the sanitizer sees a
    // read past the bytes present.
    auto bytes = std::make_unique<uint8_t[]>(size == 0 ? 1 : size);
    std::copy_n(data, size, bytes.get());
    const std::span<const uint8_t> input(bytes.get(), size);

    korvane::CommSettings settings = korvane::CommSettings::Defaults();
    settings.DecodeOver(input);
    if (size == korvane::kRecordSize) {
        const korvane::RecordBytes encoded = settings.Encode();
        if (!std::equal(encoded.begin(), encoded.end(), input.begin()))
            std::abort();
    }
    // A record the checks pass must name a link the link manager can pick,
    // at a rate the serial link can set.
    const korvane::LinkSettings link = settings.ToLinkSettings();
    if (korvane::RecordProblem(settings).empty()) {
        const auto mode = static_cast<uint32_t>(link.mode);
        if (mode < 1 || mode > 3 || !korvane::IsSupportedBaud(settings.baud))
            std::abort();
    }

    const std::string_view text(reinterpret_cast<const char*>(bytes.get()), size);
    korvane::ParseDottedLoose(text);
    korvane::ParsePortLoose(text);
    return 0;
}
