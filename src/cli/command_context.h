#pragma once
// What every korvane-cli command works with: the environment, the parsed
// command line, the output, the link set-up around a panel session and the
// lines that explain a failure.
#include <functional>
#include <optional>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_output.h"
#include "cli/invocation.h"
#include "cli/terminal_width.h"
#include "link/link_manager.h"
#include "link/link_settings.h"
#include "link/texts.h"
#include "protocol/panel_input_checks.h"
#include "protocol/panel_session.h"
#include "settings/settings_file.h"

namespace korvane::cli {

// What mends a settings file that cannot serve.
inline constexpr char kChooseLink[] =
    "; choose the link with korvane-cli settings --link udp --ip IP --port 21845 (or --link "
    "serial --com N, --link usb)";

// The usage error on stderr; with --json also the one line a script reads.
// Returns its exit status, 64.
int ReportUsage(CliEnvironment& env, bool json, const std::string& text);

// The link as the user named it, for a line about a failure on it.
std::string LinkName(const LinkSettings& s);

class CommandContext {
  public:
    CommandContext(Invocation inv, CliEnvironment& env);
    CommandContext(const CommandContext&) = delete;
    CommandContext& operator=(const CommandContext&) = delete;

    Invocation& inv() { return inv_; }
    CliEnvironment& env() { return env_; }
    Output& out() { return out_; }

    int Usage(const std::string& problem) { return ReportUsage(env_, inv_.json, problem); }
    // The closing line and exit status of a run.
    int Finish(LinkResult r);
    int Problem(const std::string& text, LinkResult r) {
        out_.Problem(text);
        return Finish(r);
    }
    bool NeedArgs(size_t lo, size_t hi) const {
        return inv_.args.size() >= lo && inv_.args.size() <= hi;
    }
    // Shows the check's warnings and refusals; true when the command must
    // stop (refused, and no --force).
    bool Refuses(const InputCheck& check);

    SettingsFile OpenSettings();
    void ConfigureLink(LinkManager& link, const SettingsFile& settings);
    // Opens the link of this run, runs `body` on a session over it and waits
    // for its run; the exit status is the link's result, explained.
    int WithPanel(const std::function<void(PanelSession&, const SettingsFile&)>& body);
    // The command has said it was cancelled: WithPanel says no more.
    void TellCancelled() { cancel_told_ = true; }
    // The terminal's width for the progress line (stderr is the terminal).
    std::function<int()> TerminalColumns();

    // Some failures the core leaves unexplained by design.
    static std::string Unexplained(LinkResult r);
    // An English line on what to do about a stored panel text, for this run.
    std::string Hint(TextId id) const;

  private:
    void ExplainOpenFailure(LinkManager& link);
    // Why a device that had opened failed during the run, when it can tell.
    void ExplainTransferFailure(LinkManager& link);

    Invocation inv_;
    CliEnvironment& env_;
    Output out_;
    OutputSink sink_;
    // The link of the run, once configured (for the hints).
    std::optional<LinkSettings> link_;
    bool cancel_told_ = false;  // the command has said it was cancelled
    std::optional<TerminalWidth> width_;
};

}  // namespace korvane::cli
