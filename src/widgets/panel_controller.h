#pragma once
// One window's panel work: the settings file, the link, the session and the
// flash transfer, with panel operations run off the user-interface thread.
// Plain C++: the window hands in how a finished job gets back to its thread.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "discovery/discover_panels.h"
#include "link/link_manager.h"
#include "link/message_sink.h"
#include "protocol/panel_session.h"
#include "settings/settings_file.h"
#include "transfer/flash_transfer.h"
#include "widgets/open_failure_sink.h"

namespace korvane {

// The texts of the main window's link fields for a settings record.
struct LinkDisplayTexts {
    std::string mode, address, port, com;
    bool operator==(const LinkDisplayTexts&) const = default;
};
LinkDisplayTexts DescribeLink(const CommSettings& settings);

// What a job may work with, lent to its worker thread for the job's length:
// the window reaches the session and the transfer only through a job.
struct PanelWork {
    PanelSession& session;
    FlashTransfer& transfer;
    const SettingsFile& settings;
    // Set when Cancel is pressed during this job: work that runs links of
    // its own (a batch) stops by it, as the transfer does.
    const std::atomic<bool>& cancel;
};

class PanelController {
  public:
    using Job = std::function<void()>;
    using Work = std::function<void(PanelWork&)>;
    // Delivers a finished job's `done` to the user-interface thread.
    using Poster = std::function<void(Job)>;

    PanelController(MessageSink& sink, SettingsFile settings);
    // Waits for a running job (the window refuses to close while one runs).
    ~PanelController();
    PanelController(const PanelController&) = delete;
    PanelController& operator=(const PanelController&) = delete;

    // --- settings; user-interface thread only ------------------------------
    // Start-up: read Para.dat, writing the defaults when it is missing. A
    // file that cannot serve is left as it is (the user may want to look at
    // it) and the defaults are used until settings are saved; returns why it
    // cannot serve (SettingsFile::UnusableBecause), empty when it serves.
    std::string LoadSettings();
    const CommSettings& settings() const { return settings_.record(); }
    const SettingsFile& settings_file() const { return settings_; }
    // What the settings dialog opens with: the record as the file now has it
    // (the record in use when the file cannot serve), without touching the
    // record in use.
    CommSettings SavedSettings() const;
    // Writes `record` to Para.dat whole (atomically) and makes it the
    // settings in use. False when the write failed, the settings in use
    // unchanged (settings_file().write_error() says why), or when there is no
    // file for this program, `record` in use for this run only.
    bool SaveSettings(const CommSettings& record);
    LinkDisplayTexts LinkDisplay() const { return DescribeLink(settings()); }

    // --- panel work ----------------------------------------------------------
    void SetPoster(Poster post) { post_ = std::move(post); }
    // Configures the link from the settings in use, then runs `work` on a
    // worker thread. When it returns (and any run it started has ended),
    // the job is no longer busy and `done` is posted. False, running
    // nothing, while another job is busy.
    bool RunInBackground(Work work, Job done = {});
    bool busy() const { return busy_.load(); }
    // The Cancel button: an erase or programming run stops between packets
    // or waits; any thread.
    void CancelRun() {
        job_cancel_.store(true);
        transfer_.Cancel();
    }
    // Forgets a Cancel pressed while nothing ran.
    void ClearCancel() { transfer_.ClearCancel(); }
    bool cancel_pending() const { return transfer_.CancelPending(); }
    // Whether an erase or programming run is under way.
    bool run_active() const { return session_.RunActive(); }
    // How often a link was really released (a run closes it exactly once).
    unsigned link_closings() const { return link_.close_count(); }
    // Where the core's messages go: the window's message sink.
    MessageSink& sink() { return session_.sink(); }

    // --- finding panels ------------------------------------------------------
    // Searches as `options` say on a thread of its own (the search uses no
    // link, so it may run beside panel work) and calls `done` on that thread
    // when it ends; `progress` must outlive the search. False while a search
    // runs.
    bool Discover(DiscoverOptions options, ProgressSink& progress,
                  std::function<void(DiscoverResult)> done);
    // Asks a running search to stop and waits until it has.
    void StopDiscover();
    bool discovering() const { return discovering_.load(); }
    // Blocks until no job runs; never call it from a thread that a job's
    // message box needs (the user-interface thread while a job may show one).
    void WaitIdle();

  private:
    SettingsFile settings_;
    OpenFailureSink sink_;  // before the link, which reports through it
    LinkManager link_;
    PanelSession session_;
    FlashTransfer transfer_;
    Poster post_;
    std::atomic<bool> busy_{false};
    std::atomic<bool> job_cancel_{false};  // PanelWork::cancel of the running job
    std::mutex worker_mutex_;
    std::thread worker_;
    std::atomic<bool> discover_cancel_{false};
    std::atomic<bool> discovering_{false};
    std::thread discover_thread_;
};

}  // namespace korvane
