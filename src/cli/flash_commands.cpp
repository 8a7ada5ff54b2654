#include "cli/flash_commands.h"

#include "cli/logo_commands.h"
#include "protocol/panel_operations.h"
#include "system/display_path.h"
#include "system/file_read_check.h"
#include "transfer/firmware_run.h"
#include "transfer/image_kind.h"

namespace korvane::cli {

namespace {

namespace fs = std::filesystem;

// The progress line drawn on the terminal for a run, when it is one and
// nobody asked for quiet or JSON.
bool DrawsProgress(CommandContext& c) {
    return c.env().err_is_terminal && !c.inv().quiet && !c.inv().json;
}

int Erase(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("erase takes no arguments");
    return c.WithPanel([&](PanelSession& s, const SettingsFile&) {
        NullProgress quiet;
        JsonWaits waits(c.out());
        std::optional<TerminalProgress> shown;
        if (DrawsProgress(c)) {
            // The erase run reports only its end; the line says what it waits for.
            shown.emplace(c.env().err, 0, c.TerminalColumns(), c.out().language());
            c.out().SetProgress(&*shown);
            shown->SetText(Text(TextId::ProgressErase));
        }
        ProgressSink& progress = shown          ? static_cast<ProgressSink&>(*shown)
                                 : c.inv().json ? static_cast<ProgressSink&>(waits)
                                                : quiet;
        if (StartEraseFlash(s, progress))
            s.WaitForRun();
        c.out().SetProgress(nullptr);
        if (shown)
            shown->Finish();
    });
}

// Programs one image over a session, then says how it went.
void ProgramImage(CommandContext& c, PanelSession& s, ImageKind kind, const fs::path& image,
                  uintmax_t size) {
    FlashTransfer transfer(s.link());
    NullProgress quiet;
    JsonWaits waits(c.out());
    std::optional<TerminalProgress> shown;
    if (DrawsProgress(c)) {
        shown.emplace(c.env().err, size, c.TerminalColumns(), c.out().language());
        c.out().SetProgress(&*shown);
    }
    ProgressSink& progress = shown          ? static_cast<ProgressSink&>(*shown)
                             : c.inv().json ? static_cast<ProgressSink&>(waits)
                                            : quiet;
    // The progress line lives only in this scope.
    struct Detach {
        Output& out;
        ~Detach() { out.SetProgress(nullptr); }
    } detach{c.out()};
    // Ctrl-C is the Cancel button.
    transfer.CancelWhen(c.env().interrupt);
    if (!UpdateFirmware(s, transfer, kind, image, progress))
        return;
    s.WaitForRun();
    if (shown)
        shown->Finish();
    if (s.result() == LinkResult::RunCancelled) {
        c.out().Problem("cancelled: the panel keeps what it had written so far");
        c.TellCancelled();
    }
    if (s.result() == LinkResult::Ok) {
        c.out().Result("programmed " + std::to_string(size) + " bytes",
                       {{"bytes", std::to_string(size)},
                        {"packets", std::to_string(transfer.packets_sent())}});
    }
}

int Program(CommandContext& c, ImageKind kind, const fs::path& image) {
    // The core starts quietly on an image it cannot open; say why first
    // (what is no regular file, or cannot be measured, among it).
    std::error_code ec = CheckMeasurable(image);
    const auto size = ec ? 0 : fs::file_size(image, ec);
    if (ec) {
        return c.Problem("cannot read the image " + DisplayPath(image) + ": " + ec.message(),
                         LinkResult::FileError);
    }
    if (c.Refuses(CheckImageSize(kind, size)))
        return kRefusedInput;
    return c.WithPanel(
        [&](PanelSession& s, const SettingsFile&) { ProgramImage(c, s, kind, image, size); });
}

int Flash(CommandContext& c) {
    if (!c.NeedArgs(2, 2))
        return c.Usage("flash needs a kind (kernel, bootloader, filesystem, logo) and a file");
    const Invocation& inv = c.inv();
    const std::string& name = inv.args[0];
    const ImageKindInfo* kind = nullptr;
    for (const ImageKindInfo& k : kImageKinds) {
        if (name == k.name)
            kind = &k;
    }
    if (!kind)
        return c.Usage("unknown image kind " + name + " (kernel, bootloader, filesystem, logo)");
    if (kind->kind != ImageKind::Logo) {
        if (!inv.options.empty())
            return c.Usage("flash " + name + " takes no option " + inv.options.begin()->first);
        return Program(c, kind->kind, inv.args[1]);
    }
    const auto target = ReadLogoTarget(c);
    if (const int* status = std::get_if<int>(&target))
        return *status;
    const auto logo = ConvertLogo(c, inv.args[1], std::get<LogoTarget>(target));
    if (!logo)
        return static_cast<int>(LinkResult::FileError);
    return Program(c, ImageKind::Logo, *logo);
}

}  // namespace

CliCommand EraseCommand() {
    return {{"erase",
             {""},
             "erases the panel's flash",
             "Erases the panel's flash (not over USB).",
             "korvane-cli erase"},
            Erase};
}

CliCommand FlashCommand() {
    return {{"flash",
             {"kernel|bootloader|filesystem FILE",
              "logo PICTURE (--model NAME | --screen WxH) [--background RRGGBB] [-o FILE]"},
             "",
             "Programs an image into the panel's flash; the panel's jumper must be in the update\n"
             "position. For a logo the picture is converted first (its .logo file is written\n"
             "beside it, or where -o says). A boot loader longer than 0x80000 bytes or a kernel\n"
             "longer than 0x200000 bytes would overwrite the next image and is refused unless\n"
             "--force. Ctrl-C, SIGTERM or SIGHUP cancels the run.",
             "korvane-cli flash kernel zImage.bin",
             LogoOptions(),
             Complete::Words,
             "kernel bootloader filesystem logo",
             Complete::File},
            Flash};
}

}  // namespace korvane::cli
