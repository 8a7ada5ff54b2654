#include "sim/panel.h"

#include <algorithm>
#include <cstring>

#include "link/frame.h"
#include "protocol/command_codes.h"
#include "protocol/image_kind_code.h"

namespace korvane::sim {

namespace {

using Frames = std::vector<std::vector<uint8_t>>;
using std::chrono::system_clock;

bool SoundRequest(std::span<const uint8_t> f) {
    if (f.size() < kFrameMin || f[0] != kSync1 || f[1] != kSync2)
        return false;
    const uint16_t length = ReadBe16(&f[2]);
    if (length < kFrameMin || length > f.size())
        return false;
    return FrameChecksum(f.data(), static_cast<uint16_t>(length - 1)) == f[length - 1];
}

void Reseal(std::vector<uint8_t>& frame) {
    if (frame.size() < kFrameMin)
        return;
    frame.back() = FrameChecksum(frame.data(), static_cast<uint16_t>(frame.size() - 1));
}

bool IdentMatches(std::span<const uint8_t> f, size_t at) {
    return f.size() >= at + cmd::kIdentLength + 1 &&
           std::memcmp(&f[at], cmd::kIdent, cmd::kIdentLength) == 0;
}

// Whole seconds throughout: a panel clock may be set centuries away from
// the host's, beyond what a nanosecond time point can hold.
std::chrono::sys_seconds ToTimePoint(const ClockFields& c) {
    using namespace std::chrono;
    const year_month_day ymd{year{c.year}, month{static_cast<unsigned>(c.month)},
                             day{static_cast<unsigned>(c.day)}};
    return sys_days{ymd} + hours{c.hour} + minutes{c.minute} + seconds{c.second};
}

ClockFields CivilNow(std::chrono::seconds offset) {
    using namespace std::chrono;
    const sys_seconds now = floor<seconds>(system_clock::now()) + offset;
    const auto days = floor<std::chrono::days>(now);
    const year_month_day ymd{days};
    const hh_mm_ss hms{now - days};
    return {int(ymd.year()),          int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count())};
}

bool ValidClock(const ClockFields& c) {
    using namespace std::chrono;
    const year_month_day ymd{year{c.year}, month{static_cast<unsigned>(c.month)},
                             day{static_cast<unsigned>(c.day)}};
    return ymd.ok() && c.hour >= 0 && c.hour < 24 && c.minute >= 0 && c.minute < 60 &&
           c.second >= 0 && c.second < 60;
}

}  // namespace

uint32_t SimImageChecksum(std::span<const uint8_t> bytes) {
    SimChecksum sum;
    sum.Feed(bytes);
    return sum.Value();
}

void SimChecksum::Feed(std::span<const uint8_t> bytes) {
    size_t i = 0;
    // Finish a word begun by the previous piece, then whole words at a time.
    while (filled_ != 0 && i < bytes.size()) {
        word_ = (word_ & ~(0xFFu << (8 * filled_))) | (uint32_t{bytes[i++]} << (8 * filled_));
        if (++filled_ == 4) {
            sum_ += word_;
            filled_ = 0;
        }
    }
    for (; i + 4 <= bytes.size(); i += 4) {
        word_ = uint32_t{bytes[i]} | uint32_t{bytes[i + 1]} << 8 | uint32_t{bytes[i + 2]} << 16 |
                uint32_t{bytes[i + 3]} << 24;
        sum_ += word_;
    }
    for (; i < bytes.size(); ++i) {
        word_ = (word_ & ~(0xFFu << (8 * filled_))) | (uint32_t{bytes[i]} << (8 * filled_));
        ++filled_;
    }
}

Panel::Panel() : rng_(1) {}

std::vector<uint8_t> Panel::Reply(uint8_t command, std::span<const uint8_t> payload) const {
    FrameBuffer buffer{};
    const uint16_t length = BuildFrame(buffer, command, payload);
    return {buffer.begin(), buffer.begin() + length};
}

uint8_t Panel::StatusFor(uint8_t command, uint8_t normal) const {
    auto it = status_override_.find(command);
    return it == status_override_.end() ? normal : it->second;
}

std::vector<uint8_t> Panel::StatusReply(uint8_t command, uint8_t status) const {
    const uint8_t payload[] = {status};
    return Reply(command, payload);
}

std::vector<Emission> Panel::Handle(std::span<const uint8_t> request) {
    std::lock_guard lock(mutex_);
    // Without an image kept, the data frames are not kept either: a long
    // benchmark would otherwise hold every byte it sent.
    const bool data_frame = request.size() > 4 && request[4] == cmd::kFlashData;
    if (!(checksum_only_ && data_frame))
        received_.emplace_back(request.begin(), request.end());
    std::vector<uint8_t> frame(request.begin(), request.end());
    MaybeCorruptRequest(frame);
    // A panel ignores what it cannot read; the tool times out and sends again.
    if (!SoundRequest(frame))
        return {};
    frame.resize(ReadBe16(&frame[2]));
    const uint8_t command = frame[4];
    return ApplyFaults(command, Answer(frame));
}

Frames Panel::Answer(std::span<const uint8_t> f) {
    const uint8_t command = f[4];
    const auto payload = f.subspan(5, f.size() - 6);
    switch (command) {
        case cmd::kQueryState: {
            const uint8_t out[] = {StatusFor(command, 1), jumper_};
            return {Reply(command, out)};
        }
        case cmd::kEnterDownload: {
            const bool ident = IdentMatches(f, 6);
            const uint8_t status = StatusFor(command, ident ? protocol_version_ : 0);
            if (status == 1 || status == 2)
                download_mode_ = true;
            return {StatusReply(command, status)};
        }
        case cmd::kVersionHandshake: {
            uint8_t normal = 0;
            if (IdentMatches(f, 6))
                normal = payload[0] == protocol_version_ ? 1 : 240;
            return {StatusReply(command, StatusFor(command, normal))};
        }
        case cmd::kEndDownload: {
            const uint8_t status = StatusFor(command, 1);
            if (status == 1)
                download_mode_ = false;
            return {StatusReply(command, status)};
        }
        case cmd::kSetParameter: {
            if (payload.size() < 7)
                return {StatusReply(command, StatusFor(command, 0))};
            uint8_t normal = 1;
            const uint8_t item = payload[0];
            const uint8_t* v = &payload[1];
            if (StatusFor(command, 1) == 1) {
                switch (item) {
                    case cmd::kItemAddress:
                        std::copy_n(v, 4, network_.ip);
                        network_.port = static_cast<uint16_t>(v[4] | v[5] << 8);
                        break;
                    case cmd::kItemMac:
                        std::copy_n(v, 6, network_.mac);
                        break;
                    case cmd::kItemMask:
                        std::copy_n(v, 4, network_.mask);
                        break;
                    case cmd::kItemGateway:
                        std::copy_n(v, 4, network_.gateway);
                        break;
                    default:
                        normal = 0;
                        break;
                }
            }
            return {StatusReply(command, StatusFor(command, normal))};
        }
        case cmd::kGetParameter: {
            if (payload.empty() || payload[0] != cmd::kItemAddress) {
                return {StatusReply(command, StatusFor(command, 0))};
            }
            const uint8_t out[] = {StatusFor(command, 1),
                                   network_.ip[0],
                                   network_.ip[1],
                                   network_.ip[2],
                                   network_.ip[3],
                                   static_cast<uint8_t>(network_.port & 0xFF),
                                   static_cast<uint8_t>(network_.port >> 8)};
            return {Reply(command, out)};
        }
        case cmd::kGetClock: {
            const ClockFields c = CivilNow(clock_offset_);
            uint8_t out[] = {static_cast<uint8_t>(c.year >> 8), static_cast<uint8_t>(c.year),
                             static_cast<uint8_t>(c.month),     static_cast<uint8_t>(c.day),
                             static_cast<uint8_t>(c.hour),      static_cast<uint8_t>(c.minute),
                             static_cast<uint8_t>(c.second)};
            // The year's high byte stands where other replies keep their status.
            out[0] = StatusFor(command, out[0]);
            return {Reply(command, out)};
        }
        case cmd::kSetClock: {
            uint8_t normal = 0;
            if (payload.size() >= 7) {
                const ClockFields c{payload[0] << 8 | payload[1],
                                    payload[2],
                                    payload[3],
                                    payload[4],
                                    payload[5],
                                    payload[6]};
                if (ValidClock(c)) {
                    normal = 1;
                    if (StatusFor(command, 1) == 1) {
                        clock_offset_ = ToTimePoint(c) - std::chrono::floor<std::chrono::seconds>(
                                                             system_clock::now());
                    }
                }
            }
            return {StatusReply(command, StatusFor(command, normal))};
        }
        case cmd::kFlashPrepare:
            return FlashPrepare(f);
        case cmd::kFlashData:
            return FlashData(f);
        default:
            return {StatusReply(command, 0)};
    }
}

Frames Panel::FlashPrepare(std::span<const uint8_t> f) {
    ++prepares_;
    if (f.size() < 19)
        return {StatusReply(cmd::kFlashPrepare, 0)};
    const uint8_t kind = f[5];
    const uint32_t start = ReadBe32(&f[6]);
    const uint32_t end = ReadBe32(&f[10]);
    const uint32_t checksum = ReadBe32(&f[14]);
    uint8_t normal = 1;
    if (end < start || (!checksum_only_ && end > SparseFlash::kSize))
        normal = 243;
    const uint8_t status = StatusFor(cmd::kFlashPrepare, normal);
    Frames out{StatusReply(cmd::kFlashPrepare, status)};
    image_announced_ = false;
    if (status != 1)
        return out;
    if (kind == static_cast<uint8_t>(ImageKind::WholeFlash)) {
        flash_.Erase(start, end);
        return out;
    }
    if (checksum_only_) {
        running_sum_ = SimChecksum{};
        next_address_ = start;
        out_of_order_ = false;
    } else {
        flash_.Erase(start, end);
    }
    image_kind_ = kind;
    image_start_ = start;
    image_end_ = end;
    image_checksum_ = checksum;
    image_announced_ = true;
    // An empty image has no data packet: its final result follows at once.
    if (start == end)
        out.push_back(FinalResult());
    return out;
}

Frames Panel::FlashData(std::span<const uint8_t> f) {
    if (f.size() < 10)
        return {StatusReply(cmd::kFlashData, 0)};
    const uint32_t address = ReadBe32(&f[5]);
    const auto data = f.subspan(9, f.size() - 10);
    if (checksum_only_) {
        if (address == next_address_) {
            running_sum_.Feed(data);
            next_address_ += static_cast<uint32_t>(data.size());
        } else if (uint64_t{address} + data.size() > next_address_) {
            out_of_order_ = true;  // a packet skipped: the sum can no longer match
        }
    } else if (!flash_.Write(address, data)) {
        return {StatusReply(cmd::kFlashData, 2)};
    }
    Frames out{StatusReply(cmd::kFlashData, 1)};
    if (image_announced_ && uint64_t{address} + data.size() == image_end_) {
        out.push_back(FinalResult());
    }
    return out;
}

std::vector<uint8_t> Panel::FinalResult() {
    ++finals_sent_;
    uint8_t status;
    std::vector<uint8_t> image;
    if (fail_finals_ > 0) {
        --fail_finals_;
        status = 0;
    } else if (checksum_only_) {
        status = !out_of_order_ && running_sum_.Value() == image_checksum_ ? final_success_ : 0;
    } else {
        image = flash_.Read(image_start_, image_end_ - image_start_);
        status = SimImageChecksum(image) == image_checksum_ ? final_success_ : 0;
    }
    status = StatusFor(cmd::kFlashData, status);
    if (burn_observer_) {
        burn_observer_({image_kind_, image_start_, image_end_, image_checksum_, status}, image);
    }
    return StatusReply(cmd::kFlashData, status);
}

std::optional<FaultRule> Panel::TakeFault(uint8_t command, bool final_result) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->command && *it->command != command)
            continue;
        if (it->final_result != final_result)
            continue;
        FaultRule f = *it;
        if (--it->count <= 0)
            faults_.erase(it);
        return f;
    }
    return std::nullopt;
}

bool Panel::Chance(double p) {
    if (p <= 0)
        return false;
    return std::uniform_real_distribution<double>(0, 1)(rng_) < p;
}

void Panel::MaybeCorruptRequest(std::vector<uint8_t>& frame) {
    if (!random_ || frame.size() < kFrameMin || frame[4] != cmd::kFlashData || frame.size() <= 10) {
        return;
    }
    if (!Chance(random_->corrupt_request))
        return;
    const size_t at = 9 + std::uniform_int_distribution<size_t>(0, frame.size() - 11)(rng_);
    frame[at] = static_cast<uint8_t>(frame[at] ^ (1u + rng_() % 255));
    Reseal(frame);
}

std::vector<Emission> Panel::ApplyFaults(uint8_t command, Frames replies) {
    std::vector<Emission> out;
    for (size_t i = 0; i < replies.size(); ++i) {
        auto& bytes = replies[i];
        const bool final_result = command == cmd::kFlashData && i == 1;
        std::optional<FaultRule> fault;
        if (i == 0 || final_result)
            fault = TakeFault(command, final_result);
        if (!fault && i == 0 && command == cmd::kFlashData && lose_every_ > 0 &&
            ++data_acks_ % lose_every_ == 0)
            fault = FaultRule{FaultKind::Drop};
        if (!fault && i == 0 && random_ &&
            (random_->commands.empty() ||
             std::find(random_->commands.begin(), random_->commands.end(), command) !=
                 random_->commands.end())) {
            if (Chance(random_->drop)) {
                fault = FaultRule{FaultKind::Drop};
            } else if (Chance(random_->delay)) {
                fault = FaultRule{FaultKind::Delay, std::nullopt, 1, random_->delay_ms};
            } else if (Chance(random_->duplicate)) {
                fault = FaultRule{FaultKind::Duplicate};
            } else if (Chance(random_->corrupt_reply)) {
                fault = FaultRule{FaultKind::BadChecksum};
            } else if (Chance(random_->split)) {
                fault = FaultRule{FaultKind::Split, std::nullopt, 1, random_->split_gap_ms};
            }
        }
        // The final result follows the acknowledgement after the burn.
        const int pause = i > 0 ? BurnMs() : 0;
        // A good final result that leaves the panel sound, as far as the
        // panel can tell (a copy or a late one still counts).
        if (i > 0 && bytes.size() > 5 && bytes[5] == final_success_ &&
            (!fault || fault->kind == FaultKind::Delay || fault->kind == FaultKind::Duplicate ||
             fault->kind == FaultKind::Split || fault->kind == FaultKind::Garbage))
            ++good_finals_sent_;
        if (!fault) {
            out.push_back({std::move(bytes), pause});
            continue;
        }
        switch (fault->kind) {
            case FaultKind::Drop:
                // A lost acknowledgement stands for a lost request: the panel
                // then has nothing to report after it either.
                if (i == 0)
                    return out;
                break;
            case FaultKind::Delay:
                out.push_back({std::move(bytes), pause + fault->delay_ms});
                break;
            case FaultKind::BadChecksum:
                bytes.back() = static_cast<uint8_t>(bytes.back() + 1);
                out.push_back({std::move(bytes), pause});
                break;
            case FaultKind::WrongEcho:
                bytes[4] = static_cast<uint8_t>(bytes[4] ^ 0x40);
                Reseal(bytes);
                out.push_back({std::move(bytes), pause});
                break;
            case FaultKind::Empty:
                out.push_back({{}, pause});
                break;
            case FaultKind::TwoFrames: {
                auto second = StatusReply(cmd::kQueryState, 0);
                bytes.insert(bytes.end(), second.begin(), second.end());
                out.push_back({std::move(bytes), pause});
                break;
            }
            case FaultKind::Duplicate:
                out.push_back({bytes, pause});
                out.push_back({std::move(bytes), fault->delay_ms});
                break;
            case FaultKind::Split: {
                // Bursts far enough apart that a byte link sees separate reads
                // (its reads end after a quiet millisecond).
                const size_t third = std::max<size_t>(1, bytes.size() / 3);
                const int gap = fault->delay_ms > 0 ? fault->delay_ms : 20;
                for (size_t at = 0; at < bytes.size(); at += third) {
                    const size_t n = std::min(third, bytes.size() - at);
                    out.push_back({{bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(at + n)},
                                   at == 0 ? pause : gap});
                }
                break;
            }
            case FaultKind::Garbage: {
                std::vector<uint8_t> noisy = {0x00, 0x13, 0x5A, 0x00, 0xFF, 0xA5, 0x37};
                noisy.insert(noisy.end(), bytes.begin(), bytes.end());
                out.push_back({std::move(noisy), pause});
                break;
            }
            case FaultKind::Truncate:
                bytes.resize(bytes.size() / 2);
                out.push_back({std::move(bytes), pause});
                break;
        }
    }
    return out;
}

void Panel::SetJumper(uint8_t position) {
    std::lock_guard lock(mutex_);
    jumper_ = position;
}
void Panel::SetProtocolVersion(uint8_t version) {
    std::lock_guard lock(mutex_);
    protocol_version_ = version;
}
void Panel::SetStatusOverride(uint8_t command, uint8_t status) {
    std::lock_guard lock(mutex_);
    status_override_[command] = status;
}
void Panel::ClearStatusOverride(uint8_t command) {
    std::lock_guard lock(mutex_);
    status_override_.erase(command);
}
void Panel::InjectFault(const FaultRule& fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(fault);
}
void Panel::LoseEveryNthAck(int n) {
    std::lock_guard lock(mutex_);
    lose_every_ = n;
    data_acks_ = 0;
}
void Panel::SetRandomFaults(const RandomFaults& faults) {
    std::lock_guard lock(mutex_);
    random_ = faults;
    rng_.seed(faults.seed);
}
void Panel::SetClock(const ClockFields& fields) {
    std::lock_guard lock(mutex_);
    clock_offset_ =
        ToTimePoint(fields) - std::chrono::floor<std::chrono::seconds>(system_clock::now());
}
void Panel::SetNetwork(const PanelNetwork& network) {
    std::lock_guard lock(mutex_);
    network_ = network;
}
void Panel::FailNextFinals(int n) {
    std::lock_guard lock(mutex_);
    fail_finals_ = n;
}
void Panel::SetBurnObserver(BurnObserver observer) {
    std::lock_guard lock(mutex_);
    burn_observer_ = std::move(observer);
}
void Panel::SetChecksumOnly(bool on) {
    std::lock_guard lock(mutex_);
    checksum_only_ = on;
}
void Panel::SetBurnMs(std::optional<int> ms) {
    std::lock_guard lock(mutex_);
    burn_ms_ = ms;
}

int Panel::BurnMs() const {
    if (burn_ms_)
        return *burn_ms_;
    const uint32_t size = image_end_ - image_start_;
    return std::max(kBurnFloorMs, static_cast<int>(size / 4096) * kBurnMsPer4KiB);
}

void Panel::SetFinalSuccessStatus(uint8_t status) {
    std::lock_guard lock(mutex_);
    final_success_ = status;
}

std::vector<std::vector<uint8_t>> Panel::ReceivedFrames() const {
    std::lock_guard lock(mutex_);
    return received_;
}
std::vector<std::vector<uint8_t>> Panel::FramesWithCommand(uint8_t command) const {
    std::lock_guard lock(mutex_);
    Frames out;
    for (const auto& f : received_) {
        if (f.size() > 4 && f[4] == command)
            out.push_back(f);
    }
    return out;
}
void Panel::ClearReceived() {
    std::lock_guard lock(mutex_);
    received_.clear();
}
PanelNetwork Panel::Network() const {
    std::lock_guard lock(mutex_);
    return network_;
}
ClockFields Panel::Clock() const {
    std::lock_guard lock(mutex_);
    return CivilNow(clock_offset_);
}
uint8_t Panel::Jumper() const {
    std::lock_guard lock(mutex_);
    return jumper_;
}
bool Panel::InDownloadMode() const {
    std::lock_guard lock(mutex_);
    return download_mode_;
}
int Panel::FinalResultsSent() const {
    std::lock_guard lock(mutex_);
    return finals_sent_;
}
int Panel::GoodFinalsSent() const {
    std::lock_guard lock(mutex_);
    return good_finals_sent_;
}
int Panel::FlashPrepares() const {
    std::lock_guard lock(mutex_);
    return prepares_;
}
std::vector<uint8_t> Panel::ReadFlash(uint32_t address, uint32_t length) const {
    std::lock_guard lock(mutex_);
    return flash_.Read(address, length);
}

}  // namespace korvane::sim
