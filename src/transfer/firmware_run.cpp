#include "transfer/firmware_run.h"

#include <chrono>
#include <thread>

#include "link/texts.h"
#include "protocol/panel_operations.h"

namespace korvane {

namespace {

constexpr int kKernelSettleMs = 100;

void ClearProgress(ProgressSink& progress) {
    progress.MoveTo(0);
    progress.SetText("");
}

}  // namespace

void FirmwareWorker(PanelSession& s, FlashTransfer& transfer, ImageKind kind,
                    ProgressSink& progress) {
    LinkManager& link = s.link();
    const ImageKindInfo* info = FindImageKind(kind);

    [&] {
        {
            // The panel erases the image's range before it answers.
            const LinkManager::WaitScope wait(link, WaitFor::FlashPrepare, progress);
            transfer.SendFlashPrepare(kind);
        }
        if (link.result() != LinkResult::Ok)
            return;
        s.ApplyReplyStatus(false);
        if (link.result() != LinkResult::Ok)
            return;
        if (kind == ImageKind::Kernel)
            std::this_thread::sleep_for(std::chrono::milliseconds(link.Scaled(kKernelSettleMs)));
        int checksum_failures = 0;
        for (int attempt = 0; attempt < kDataAttempts; ++attempt) {
            progress.MoveTo(0);
            progress.SetText(info ? Text(info->progress_text) : "");
            if (kind == ImageKind::Logo)
                progress.ShowText(true);
            progress.SetSpan(0, transfer.packet_count());
            transfer.SendImageData(kind, progress);
            if (transfer.bytes_sent() > 0 || transfer.file_size() == 0)
                s.recorder().NoteSent(transfer.sent_sha256());
            if (link.result() != LinkResult::Ok)
                return;
            s.ApplyReplyStatus(false);
            if (link.result() == LinkResult::ChecksumError) {
                // An empty image has no packet to send again, and without a
                // packet the panel answers nothing more: its failure stands.
                if (transfer.file_size() == 0) {
                    s.sink().ShowText(MessageKind::Error, TextId::PacketChecksumFailed);
                    return;
                }
                ++checksum_failures;
                continue;  // the panel asks for the whole image again
            }
            break;
        }
        if (checksum_failures == kDataAttempts) {
            s.sink().ShowText(MessageKind::Error, TextId::PacketChecksumFailed);
            return;
        }
        if (link.result() == LinkResult::Ok && kind == ImageKind::Kernel) {
            s.sink().ShowText(MessageKind::AppDefault, TextId::KernelDownloaded);
            ClearProgress(progress);
            link.CloseLink();
        }
    }();

    switch (link.result()) {
        case LinkResult::Ok:
            s.sink().ShowText(MessageKind::Plain, TextId::UpdateDone);
            break;
        case LinkResult::RunCancelled:
            // Heard: the next run starts without it.
            transfer.ClearCancel();
            break;
        default:
            s.sink().ShowText(MessageKind::Error, TextId::UpdateFailed);
            break;
    }
    ClearProgress(progress);
    link.CloseLink();  // does nothing when the link is closed already
}

namespace {

// The run once `transfer` knows its image.
bool StartRun(PanelSession& s, FlashTransfer& transfer, ImageKind kind, ProgressSink& progress,
              PanelSession::RunFinished on_finished) {
    LinkManager& link = s.link();
    const ImageKindInfo* info = FindImageKind(kind);
    const std::filesystem::path image = transfer.image_path();
    if (!BeginFlashRun(s, info ? info->name : "image"))
        return false;
    // Named before it is measured, so that a run refused early still says
    // which file it was for.
    s.recorder().NoteImage(image, std::nullopt);
    // A Cancel pressed while nothing ran belongs to no run.
    transfer.ClearCancel();
    const bool ready = [&] {
        s.QueryState();
        if (link.result() != LinkResult::Ok)
            return false;
        if (s.Jumper() == 2) {
            s.sink().ShowText(MessageKind::Warning, TextId::JumperForUpdate);
            link.set_result(LinkResult::PanelRefused);
            return false;
        }
        if (transfer.PrepareImageFile(kind) != LinkResult::Ok)
            return false;
        s.recorder().NoteImage(image, static_cast<uint64_t>(transfer.file_size()));
        s.EnterDownload(1);
        if (link.result() != LinkResult::Ok)
            return false;
        s.ApplyReplyStatus(false);
        return link.result() == LinkResult::Ok;
    }();
    if (!ready) {
        link.CloseLink();
        s.EndRun();
        return false;
    }
    s.StartWorker([&s, &transfer, kind, &progress] { FirmwareWorker(s, transfer, kind, progress); },
                  std::move(on_finished));
    return true;
}

}  // namespace

bool UpdateFirmware(PanelSession& s, FlashTransfer& transfer, ImageKind kind,
                    const std::filesystem::path& image, ProgressSink& progress,
                    PanelSession::RunFinished on_finished) {
    transfer.SetImagePath(image);
    return StartRun(s, transfer, kind, progress, std::move(on_finished));
}

bool UpdateFirmware(PanelSession& s, FlashTransfer& transfer, ImageKind kind,
                    std::shared_ptr<const SharedImage> image, ProgressSink& progress,
                    PanelSession::RunFinished on_finished) {
    transfer.SetImage(std::move(image));
    return StartRun(s, transfer, kind, progress, std::move(on_finished));
}

}  // namespace korvane
