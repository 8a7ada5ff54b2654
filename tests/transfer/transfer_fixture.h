#pragma once
// A simulated panel behind either link (loopback UDP or a pseudo-terminal),
// a session on it, and a recorder for what a programming run shows.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "link/link_manager.h"
#include "link/message_sink.h"
#include "protocol/panel_session.h"
#include "sim/panel.h"
#include "sim/pty_server.h"
#include "sim/udp_server.h"
#include "support/printers.h"
#include "support/temp_dir.h"
#include "transfer/firmware_run.h"

namespace korvane::testing {

// Keeps the progress bar's state and counts its steps; a test may act at a
// given step (the Cancel button pressed mid-run).
class RecordingProgress : public ProgressSink {
  public:
    void MoveTo(int position) override {
        std::lock_guard lock(mutex_);
        position_ = position;
    }
    void SetSpan(int lower, int upper) override {
        std::lock_guard lock(mutex_);
        upper_ = upper - lower;
    }
    void Step() override {
        std::function<void()> action;
        {
            std::lock_guard lock(mutex_);
            ++position_;
            if (++steps_ == act_at_)
                action = action_;
        }
        if (action)
            action();
    }
    void SetText(std::string_view text) override {
        std::lock_guard lock(mutex_);
        text_ = text;
        texts_.emplace_back(text);
    }
    void ShowText(bool show) override {
        std::lock_guard lock(mutex_);
        shown_ = show;
    }
    void AtStep(int step, std::function<void()> action) {
        std::lock_guard lock(mutex_);
        act_at_ = step;
        action_ = std::move(action);
    }
    int position() const {
        std::lock_guard lock(mutex_);
        return position_;
    }
    int steps() const {
        std::lock_guard lock(mutex_);
        return steps_;
    }
    int span() const {
        std::lock_guard lock(mutex_);
        return upper_;
    }
    std::string text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    std::vector<std::string> texts() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }
    bool shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

  private:
    mutable std::mutex mutex_;
    int position_ = 0, upper_ = 0, steps_ = 0, act_at_ = -1;
    bool shown_ = false;
    std::string text_;
    std::vector<std::string> texts_;
    std::function<void()> action_;
};

inline std::vector<uint8_t> RandomBytes(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

class TransferTest : public ::testing::Test {
  protected:
    // Serves the panel on `mode` and configures the link for it.
    void Serve(LinkMode mode) {
        LinkSettings s;
        s.mode = mode;
        std::string error;
        if (mode == LinkMode::Udp) {
            udp_ = std::make_unique<sim::UdpServer>(panel);
            ASSERT_TRUE(udp_->Start(0, &error)) << error;
            s.address = 0x0100007F;  // 127.0.0.1, first octet low
            s.port = udp_->port();
        } else {
            pty_ = std::make_unique<sim::PtyServer>(panel);
            ASSERT_TRUE(pty_->Start(&error)) << error;
            s.baud = kDefaultBaud;
            if (mode == LinkMode::Usb) {
                s.usb_device = pty_->slave_path();
            } else {
                s.serial_device = pty_->slave_path();
            }
        }
        link.Configure(s);
    }

    void TearDown() override {
        session.WaitForRun();
        link.CloseLink();
        if (udp_)
            udp_->Stop();
        if (pty_)
            pty_->Stop();
    }

    std::filesystem::path WriteImage(const std::vector<uint8_t>& bytes,
                                     const std::string& name = "image.dat") {
        const auto path = dir.path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Runs one programming run to its end; false when it did not start.
    bool Program(ImageKind kind, const std::filesystem::path& image) {
        const bool started = UpdateFirmware(session, transfer, kind, image, progress);
        session.WaitForRun();
        return started;
    }

    size_t DataFrames() const { return panel.FramesWithCommand(0x82).size(); }

    sim::Panel panel;
    RecordingSink sink;
    LinkManager link{sink};
    PanelSession session{link, FrontEnd::Cli};
    FlashTransfer transfer{link};
    RecordingProgress progress;
    TempDir dir;

  private:
    std::unique_ptr<sim::UdpServer> udp_;
    std::unique_ptr<sim::PtyServer> pty_;
};

}  // namespace korvane::testing
