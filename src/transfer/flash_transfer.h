#pragma once
// Moves one image file into the panel's flash: the file is measured and
// summed, the panel is told the range and checksum (flash-prepare), then the
// file goes out packet by packet at absolute flash addresses, and the panel's
// final burn result is awaited. The file is read a packet at a time, never
// held whole; what each pass read is summed as it goes, and a pass whose
// bytes no longer add up to the announced sum (the file changed meanwhile)
// stops before its last packet, so the panel never burns what it was not
// promised.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "link/link_manager.h"
#include "link/message_sink.h"
#include "protocol/image_kind_code.h"
#include "system/sha256.h"
#include "transfer/shared_image.h"

namespace korvane {

inline constexpr uint32_t kFlashPrepareTimeoutMs = 240000;
inline constexpr uint32_t kPacketTimeoutMs = 500;
inline constexpr uint32_t kFinalResultTimeoutMs = 120000;
inline constexpr int kPacketAttempts = 6;
// How long the final wait goes on listening after each reply, in case it was
// a copy of the last acknowledgement that a busy scheduler held back, when no
// packet needed sending again: one scheduler hiccup, as the shrunk waits of
// the tests count it.
inline constexpr uint32_t kFinalQuietMs = 30;
// A final result sooner than this after the last acknowledgement is more
// likely a second copy of that acknowledgement: no panel sums and burns an
// image that fast, while a copy held back by a busy sender or scheduler
// trails its original by a few milliseconds (1 ms let such copies through
// on a loaded machine).
inline constexpr std::chrono::microseconds kHastyFinal{20000};
// After a "final result" that was there before the wait began (most likely a
// copy of the last acknowledgement), the real one may follow once the panel
// has burnt the image: listen this long. It outlasts a 250 ms burn after a
// copy; it no longer grows with the image, which cost a panel that answers at
// once seconds per run.
inline constexpr uint32_t kBurnQuietMs = 300;

class FlashTransfer {
  public:
    explicit FlashTransfer(LinkManager& link) : link_(link) {}

    void SetImagePath(std::filesystem::path path) {
        image_path_ = std::move(path);
        image_.reset();
    }
    // Sends `image`'s bytes, read once already, instead of reading a file:
    // they cannot change during the run.
    void SetImage(std::shared_ptr<const SharedImage> image) {
        image_path_ = image->path();
        image_ = std::move(image);
    }
    const std::filesystem::path& image_path() const { return image_path_; }

    // Measures and sums the image for `kind` on the active link. FileError
    // when the file cannot be read, is no regular file or cannot be measured
    // (no message: CheckMeasurable says why), or when it does not fit a
    // 32-bit flash address range (with a message). Sets and returns the result.
    LinkResult PrepareImageFile(ImageKind kind);
    // Announces range and checksum; the reply stays in the link's buffer.
    void SendFlashPrepare(ImageKind kind);
    // Sends the data and waits for the final burn result, which stays in the
    // link's buffer. Advances `progress` by one step per packet. ImageChanged
    // (with its message) when the file is no longer what was announced.
    void SendImageData(ImageKind kind, ProgressSink& progress);

    // Written by the user-interface thread, read between packets and by
    // every wait for a reply (in slices of kWaitSliceMs).
    void Cancel() {
        cancel_.store(1);
        link_.RequestCancel();
    }
    void ClearCancel() {
        cancel_.store(0);
        link_.ClearCancel();
    }
    bool CancelPending() const { return cancel_.load() != 0; }
    // A flag set from elsewhere (a signal handler) that cancels as Cancel
    // does; null for none.
    void CancelWhen(const std::atomic<bool>* flag) {
        cancel_flag_ = flag;
        link_.CancelWhen(flag);
    }

    int32_t file_size() const { return file_size_; }
    int32_t packet_size() const { return packet_size_; }
    int32_t packet_count() const { return packet_count_; }
    uint32_t checksum() const { return checksum_; }
    // Data requests sent in the last data phase, repeats included.
    uint64_t packets_sent() const { return packets_sent_; }
    // The image bytes the last data phase sent (each once, whatever was sent
    // again) and their SHA-256, in lower-case hexadecimal.
    uint64_t bytes_sent() const { return bytes_sent_; }
    std::string sent_sha256() const { return sent_hash_.Hex(); }

  private:
    enum class Sent { Acknowledged, Stop };
    // Writes the packet, again while the link's write runs out of time.
    bool WritePacket(uint16_t length);
    // `last`: the packet whose acknowledgement the final result follows.
    Sent SendPacket(uint16_t length, bool last);
    // Takes in the answers still owed to copies of a packet sent again.
    void AbsorbRepeats(int owed);
    void AwaitFinal(ProgressSink& progress);
    // Sleeps `ms` as the link counts time.
    void Pause(uint32_t ms);
    bool CancelRequested();
    // Whether the file still has the size and modification time it had when
    // it was measured.
    bool StillAsMeasured() const;
    void StopChanged();

    LinkManager& link_;
    std::filesystem::path image_path_;
    std::shared_ptr<const SharedImage> image_;  // when set, the bytes sent
    int32_t file_size_ = 0;
    int32_t packet_size_ = 0;
    int32_t packet_count_ = 0;
    uint32_t checksum_ = 0;
    std::optional<std::filesystem::file_time_type> measured_time_;
    uint64_t packets_sent_ = 0;
    uint64_t bytes_sent_ = 0;
    Sha256 sent_hash_;
    bool retried_ = false;  // some packet of this data phase was sent again
    // The last packet's acknowledgement came damaged on a link whose replies
    // never repeat: the final wait decides the run.
    bool last_damaged_ = false;
    std::optional<std::chrono::steady_clock::time_point> last_reply_at_;
    std::atomic<int> cancel_{0};
    const std::atomic<bool>* cancel_flag_ = nullptr;
    FrameBuffer request_{};
    std::vector<uint8_t> packet_;  // the packet being sent
};

}  // namespace korvane
