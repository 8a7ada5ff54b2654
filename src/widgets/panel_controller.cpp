#include "widgets/panel_controller.h"

#include <utility>

namespace korvane {

LinkDisplayTexts DescribeLink(const CommSettings& s) {
    const std::string none = "NULL";
    switch (s.link_mode) {
        case 1: {
            const auto& a = s.address;
            return {"网口",
                    std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) +
                        "." + std::to_string(a[3]),
                    std::to_string(s.port), none};
        }
        case 2:
            return {"串口", none, none, "COM" + std::to_string(s.com)};
        case 3:
            return {"USB口", none, none, none};
        default:
            return {none, none, none, none};
    }
}

PanelController::PanelController(MessageSink& sink, SettingsFile settings)
    : settings_(std::move(settings)),
      sink_(sink, link_),
      link_(sink_),
      session_(link_, FrontEnd::Window),
      transfer_(link_) {}

PanelController::~PanelController() {
    StopDiscover();
    WaitIdle();
}

std::string PanelController::LoadSettings() {
    settings_.Load();
    std::string why = settings_.UnusableBecause();
    if (!why.empty())
        settings_.record() = CommSettings::Defaults();
    return why;
}

CommSettings PanelController::SavedSettings() const {
    // A copy reads the file over the record in use, so that a missing or
    // short file still shows the values in use, and a cancelled dialog
    // leaves the record untouched.
    SettingsFile copy = settings_;
    copy.Reload();
    // A file that cannot serve would lay its garbage over them.
    return copy.UnusableBecause().empty() ? copy.record() : settings();
}

bool PanelController::SaveSettings(const CommSettings& record) {
    const CommSettings before = settings_.record();
    settings_.record() = record;
    if (settings_.Save())
        return true;
    // The link keeps running on what was saved, not on what failed to be.
    // Without a file the record is all there is: it holds for this run.
    if (settings_.path())
        settings_.record() = before;
    return false;
}

bool PanelController::RunInBackground(Work work, Job done) {
    bool expected = false;
    if (!busy_.compare_exchange_strong(expected, true))
        return false;
    std::lock_guard lock(worker_mutex_);
    // The previous worker has cleared the busy flag, so it is ending: joining
    // it here costs at most its last few instructions.
    if (worker_.joinable())
        worker_.join();
    // The link is configured here, never while a job runs, so the worker
    // reads settings that nobody changes under it.
    link_.Configure(settings().ToLinkSettings());
    // A Cancel pressed before this job was meant for an earlier one.
    job_cancel_.store(false);
    worker_ = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
        PanelWork lent{session_, transfer_, settings_, job_cancel_};
        work(lent);
        // Erase and programming runs go on in the session's own worker; the
        // job lasts until that has ended, so the buttons stay disabled.
        session_.WaitForRun();
        busy_.store(false);
        if (done) {
            if (post_)
                post_(std::move(done));
            else
                done();
        }
    });
    return true;
}

bool PanelController::Discover(DiscoverOptions options, ProgressSink& progress,
                               std::function<void(DiscoverResult)> done) {
    if (discovering_.exchange(true))
        return false;
    // The last search has posted its result by now; its thread is ending.
    if (discover_thread_.joinable())
        discover_thread_.join();
    discover_cancel_.store(false);
    options.cancel = &discover_cancel_;
    discover_thread_ = std::thread([this, options, &progress, done = std::move(done)] {
        DiscoverResult result = DiscoverPanels(options, progress);
        if (done)
            done(std::move(result));
        discovering_.store(false);
    });
    return true;
}

void PanelController::StopDiscover() {
    if (!discover_thread_.joinable())
        return;
    // The search looks at the flag every few tens of milliseconds.
    discover_cancel_.store(true);
    discover_thread_.join();
}

void PanelController::WaitIdle() {
    std::lock_guard lock(worker_mutex_);
    if (worker_.joinable())
        worker_.join();
    session_.WaitForRun();
}

}  // namespace korvane
