#pragma once
// One programming run of an image kind: the checks in the foreground (link,
// query-state and jumper, file, download mode), then a worker that announces
// the range, sends the data up to six times while the panel reports a
// checksum problem, and says how it ended.
#include <filesystem>
#include <memory>

#include "link/message_sink.h"
#include "protocol/panel_session.h"
#include "transfer/flash_transfer.h"
#include "transfer/image_kind.h"

namespace korvane {

inline constexpr int kDataAttempts = 6;

// Opens the configured link and runs the foreground checks for `kind` with
// the image at `image`; on success the worker is running and true is
// returned. Every way out closes the link exactly once and leaves the
// outcome in the session's result; a second run while one is active is
// refused at once. `on_finished` as for PanelSession::StartWorker.
bool UpdateFirmware(PanelSession& session, FlashTransfer& transfer, ImageKind kind,
                    const std::filesystem::path& image, ProgressSink& progress,
                    PanelSession::RunFinished on_finished = {});

// The same with an image read once already (SharedImage), which many runs
// may send at once.
bool UpdateFirmware(PanelSession& session, FlashTransfer& transfer, ImageKind kind,
                    std::shared_ptr<const SharedImage> image, ProgressSink& progress,
                    PanelSession::RunFinished on_finished = {});

// The worker's body (flash-prepare, data attempts, completion messages).
void FirmwareWorker(PanelSession& session, FlashTransfer& transfer, ImageKind kind,
                    ProgressSink& progress);

}  // namespace korvane
