#pragma once
// A simulated panel: keeps the state a real panel keeps (address, clock,
// jumper, download mode, flash) and answers request frames the way the tool
// expects, with faults injected on request. Transports (UDP, pseudo-terminal)
// feed it whole request frames and send out what it emits.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/sparse_flash.h"

namespace korvane::sim {

// Bytes to send, after `delay_ms`. An empty `bytes` is an empty datagram.
struct Emission {
    std::vector<uint8_t> bytes;
    int delay_ms = 0;
};

struct PanelNetwork {
    uint8_t ip[4] = {192, 168, 0, 100};
    uint16_t port = 21845;
    uint8_t gateway[4] = {192, 168, 0, 1};
    uint8_t mask[4] = {255, 255, 255, 0};
    uint8_t mac[6] = {0x00, 0x4F, 0x9A, 0x80, 0x00, 0x00};
};

// Sum of the image as the tool computes it: little-endian 32-bit words, the
// last partial word overwriting only the low bytes of the previous one.
uint32_t SimImageChecksum(std::span<const uint8_t> bytes);

// The same sum taken piece by piece, pieces cut anywhere.
class SimChecksum {
  public:
    void Feed(std::span<const uint8_t> bytes);
    uint32_t Value() const { return filled_ ? sum_ + word_ : sum_; }

  private:
    uint32_t word_ = 0;
    uint32_t sum_ = 0;
    unsigned filled_ = 0;  // bytes of the current word taken so far
};

// A panel checks and burns before it reports: by default its final result
// leaves this long per 4 KiB of image after the acknowledgement it follows,
// and never sooner than the floor.
inline constexpr int kBurnMsPer4KiB = 1;
inline constexpr int kBurnFloorMs = 10;

// What the panel checked when an image was complete.
struct BurnReport {
    uint8_t kind;
    uint32_t start, end;
    uint32_t announced_checksum;
    uint8_t status;  // the final result sent
};
// Called with the report and the image as it stands in flash (empty in
// checksum-only mode), on the thread that serves the request.
using BurnObserver = std::function<void(const BurnReport&, std::span<const uint8_t>)>;

struct ClockFields {
    int year, month, day, hour, minute, second;
};

class Panel {
  public:
    Panel();

    // Handles one request frame as received (sound or not) and returns what
    // goes back. Thread-safe.
    std::vector<Emission> Handle(std::span<const uint8_t> request);

    // --- what tests set up -------------------------------------------------
    void SetJumper(uint8_t position);
    void SetProtocolVersion(uint8_t version);
    // Every reply to `command` carries `status` (the normal status when unset).
    void SetStatusOverride(uint8_t command, uint8_t status);
    void ClearStatusOverride(uint8_t command);
    void InjectFault(const FaultRule& fault);
    void SetRandomFaults(const RandomFaults& faults);
    void SetClock(const ClockFields& fields);
    void SetNetwork(const PanelNetwork& network);
    // The next `n` final burn results report a checksum error (status 0).
    void FailNextFinals(int n);
    // Every `n`th acknowledgement of a data packet is not sent (0: none), as
    // on a link that loses packets: the tool must send the packet again.
    void LoseEveryNthAck(int n);
    // Status of a good final burn result: 1 (default) or 240.
    void SetFinalSuccessStatus(uint8_t status);
    // Keeps no image, only its running sum, so that an image larger than the
    // flash can be sent (benchmarks). Packets must then arrive in order; a
    // packet sent again is not counted twice.
    void SetChecksumOnly(bool on);
    // Time from the last acknowledgement to the final result; unset: the
    // default, which grows with the image.
    void SetBurnMs(std::optional<int> ms);
    void SetBurnObserver(BurnObserver observer);

    // --- what tests read back ----------------------------------------------
    std::vector<std::vector<uint8_t>> ReceivedFrames() const;
    std::vector<std::vector<uint8_t>> FramesWithCommand(uint8_t command) const;
    void ClearReceived();
    PanelNetwork Network() const;
    ClockFields Clock() const;
    uint8_t Jumper() const;
    bool InDownloadMode() const;
    int FinalResultsSent() const;
    // Final results reporting a good burn that went out on the line (not
    // lost with the acknowledgement they follow, nor corrupted).
    int GoodFinalsSent() const;
    int FlashPrepares() const;
    // Copy of `length` flash bytes from `address` (erased bytes read 0xFF).
    std::vector<uint8_t> ReadFlash(uint32_t address, uint32_t length) const;

  private:
    std::vector<uint8_t> Reply(uint8_t command, std::span<const uint8_t> payload) const;
    std::vector<uint8_t> StatusReply(uint8_t command, uint8_t status) const;
    uint8_t StatusFor(uint8_t command, uint8_t normal) const;
    std::vector<std::vector<uint8_t>> Answer(std::span<const uint8_t> frame);
    std::vector<std::vector<uint8_t>> FlashPrepare(std::span<const uint8_t> frame);
    std::vector<std::vector<uint8_t>> FlashData(std::span<const uint8_t> frame);
    std::vector<uint8_t> FinalResult();
    std::vector<Emission> ApplyFaults(uint8_t command, std::vector<std::vector<uint8_t>> replies);
    std::optional<FaultRule> TakeFault(uint8_t command, bool final_result);
    bool Chance(double p);
    int BurnMs() const;
    void MaybeCorruptRequest(std::vector<uint8_t>& frame);

    mutable std::mutex mutex_;
    std::vector<std::vector<uint8_t>> received_;
    std::map<uint8_t, uint8_t> status_override_;
    std::deque<FaultRule> faults_;
    std::optional<RandomFaults> random_;
    std::mt19937_64 rng_;

    PanelNetwork network_;
    uint8_t jumper_ = 1;
    uint8_t protocol_version_ = 1;
    bool download_mode_ = false;
    // The clock runs: it is kept as an offset from the host's clock.
    std::chrono::seconds clock_offset_{0};

    SparseFlash flash_;
    SimChecksum running_sum_;  // checksum-only mode
    BurnObserver burn_observer_;
    uint8_t image_kind_ = 0;
    uint32_t image_start_ = 0;
    uint32_t image_end_ = 0;
    uint32_t image_checksum_ = 0;
    bool image_announced_ = false;
    bool checksum_only_ = false;
    uint32_t next_address_ = 0;  // checksum-only: where the next new packet must start
    bool out_of_order_ = false;
    int fail_finals_ = 0;
    int lose_every_ = 0;
    int data_acks_ = 0;  // acknowledgements due, for lose_every_
    uint8_t final_success_ = 1;
    int finals_sent_ = 0;
    int good_finals_sent_ = 0;
    std::optional<int> burn_ms_;
    int prepares_ = 0;
};

}  // namespace korvane::sim
