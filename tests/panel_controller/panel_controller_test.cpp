// The window's controller without a window: settings in and out, the link
// display texts, and panel work off the calling thread.
#include "widgets/panel_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "link/texts.h"
#include "protocol/panel_operations.h"
#include "sim/panel.h"
#include "sim/udp_server.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

CommSettings Record(uint32_t mode, std::array<uint8_t, 4> ip, uint16_t port, uint16_t com) {
    CommSettings s = CommSettings::Defaults();
    s.link_mode = mode;
    s.address = ip;
    s.port = port;
    s.com = com;
    return s;
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(DescribeLink, FieldsPerLinkMode) {
    const struct {
        uint32_t mode;
        LinkDisplayTexts want;
    } cases[] = {
        {1, {"网口", "192.168.0.7", "21845", "NULL"}}, {2, {"串口", "NULL", "NULL", "COM12"}},
        {3, {"USB口", "NULL", "NULL", "NULL"}},        {0, {"NULL", "NULL", "NULL", "NULL"}},
        {4, {"NULL", "NULL", "NULL", "NULL"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeLink(Record(c.mode, {192, 168, 0, 7}, 21845, 12)), c.want)
            << "mode " << c.mode;
    }
}

TEST(PanelControllerSettings, StartWritesDefaultsAndSavedSettingsLeaveTheRecordInUse) {
    TempDir dir;
    const auto path = dir.path() / "Para.dat";
    RecordingSink sink;
    PanelController c(sink, SettingsFile(path));
    c.LoadSettings();
    ASSERT_EQ(FileBytes(path).size(), 24u);
    EXPECT_EQ(c.settings(), CommSettings::Defaults());

    // Another writer changes the file: the dialog sees it, the record in use does not.
    const CommSettings other = Record(2, {10, 0, 0, 1}, 80, 3);
    const RecordBytes bytes = other.Encode();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 24);
    EXPECT_EQ(c.SavedSettings(), other);
    EXPECT_EQ(c.settings(), CommSettings::Defaults());

    ASSERT_TRUE(c.SaveSettings(Record(1, {127, 0, 0, 1}, 9000, 12)));
    EXPECT_EQ(c.settings().port, 9000);
    const RecordBytes want = c.settings().Encode();
    EXPECT_EQ(FileBytes(path), std::vector<uint8_t>(want.begin(), want.end()));
}

TEST(PanelControllerSettings, NoFileForTheProgramSavesNothing) {
    RecordingSink sink;
    PanelController c(sink, SettingsFile(std::nullopt));
    c.LoadSettings();
    EXPECT_EQ(c.settings().link_mode, 0u);
    EXPECT_FALSE(c.SaveSettings(Record(1, {1, 2, 3, 4}, 5, 6)));
}

TEST(PanelControllerJobs, OneJobAtATimeAndDoneGoesThroughThePoster) {
    RecordingSink sink;
    PanelController c(sink, SettingsFile(std::nullopt));
    std::vector<std::function<void()>> posted;
    std::mutex posted_mutex;
    c.SetPoster([&](std::function<void()> done) {
        std::lock_guard lock(posted_mutex);
        posted.push_back(std::move(done));
    });

    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::thread::id worker_id;
    int done_runs = 0;
    ASSERT_TRUE(c.RunInBackground(
        [&](PanelWork&) {
            worker_id = std::this_thread::get_id();
            gate.wait();
        },
        [&] { ++done_runs; }));
    EXPECT_TRUE(c.busy());
    EXPECT_FALSE(c.RunInBackground([](PanelWork&) {}, [] {})) << "a second job while one runs";
    release.set_value();
    c.WaitIdle();
    EXPECT_FALSE(c.busy());
    EXPECT_NE(worker_id, std::this_thread::get_id());
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(done_runs, 0) << "done runs where the poster puts it, not on the worker";
    posted[0]();
    EXPECT_EQ(done_runs, 1);
    EXPECT_TRUE(c.RunInBackground([](PanelWork&) {}));
}

TEST(PanelControllerMessages, AUsbLinkThatDoesNotOpenNamesWhatItTriedAndWhy) {
    TempDir dir;
    RecordingSink sink;
    PanelController c(sink, SettingsFile(dir.path() / "Para.dat"));
    c.LoadSettings();
    ASSERT_TRUE(c.SaveSettings(Record(3, {0, 0, 0, 0}, 0, 1)));
    // However the machine's USB devices stand, nothing is found in the
    // test's own folder: the link looks where the settings say.
    ASSERT_TRUE(c.RunInBackground([](PanelWork& w) { GetPanelAddress(w.session); }));
    c.WaitIdle();
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_TRUE(messages[0].id.has_value());
    EXPECT_EQ(*messages[0].id, TextId::UsbOpenFailed);
    const std::string& text = messages[0].text;
    EXPECT_EQ(text.rfind(std::string(Text(TextId::UsbOpenFailed)) + "\n", 0), 0u) << text;
    EXPECT_NE(text.find("usb"), std::string::npos)
        << "names the device or where it looked: " << text;

    // Other links keep the text they always had.
    sink.Clear();
    ASSERT_TRUE(c.SaveSettings(Record(2, {0, 0, 0, 0}, 0, 250)));
    ASSERT_TRUE(c.RunInBackground([](PanelWork& w) { GetPanelAddress(w.session); }));
    c.WaitIdle();
    const auto ids = sink.Ids();
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.back(), TextId::LinkSetupFailed);
}

// A controller whose settings point at a simulated panel on loopback UDP.
class ServedController : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Start(0, &error)) << error;
        c.LoadSettings();
        ASSERT_TRUE(c.SaveSettings(Record(1, {127, 0, 0, 1}, server.port(), 1)));
    }
    void TearDown() override {
        c.WaitIdle();
        server.Stop();
    }

    sim::Panel panel;
    sim::UdpServer server{panel};
    TempDir dir;
    RecordingSink sink;
    PanelController c{sink, SettingsFile(dir.path() / "Para.dat")};
};

TEST_F(ServedController, AJobUsesTheSettingsInUseAgainstThePanel) {
    std::optional<PanelAddress> address;
    LinkResult result = LinkResult::IoError;
    ASSERT_TRUE(c.RunInBackground([&](PanelWork& w) {
        address = GetPanelAddress(w.session);
        result = w.session.result();
    }));
    c.WaitIdle();
    ASSERT_TRUE(address);
    EXPECT_EQ(address->IpText(), "192.168.0.100");
    EXPECT_EQ(result, LinkResult::Ok);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(ServedController, AnEraseRunKeepsTheJobBusyUntilItsWorkerEnds) {
    std::atomic<bool> session_run_active_at_done{true};
    std::promise<void> finished;
    c.SetPoster([&](std::function<void()> done) {
        done();
        finished.set_value();
    });
    NullProgress progress;
    ASSERT_TRUE(
        c.RunInBackground([&](PanelWork& w) { ASSERT_TRUE(StartEraseFlash(w.session, progress)); },
                          [&] { session_run_active_at_done = c.run_active(); }));
    finished.get_future().wait();
    EXPECT_FALSE(session_run_active_at_done);
    // Over the network the panel is left erasing: the run ends asking to wait.
    EXPECT_EQ(sink.Texts().back(), Text(TextId::EraseWait));
}

TEST_F(ServedController, FindsPanelsOnAThreadOfItsOwnAndStopsASearchOnRequest) {
    DiscoverOptions options;
    options.target = DiscoverOptions::Target::Range;
    options.range = *ParseAddressRange("127.0.0.1-127.0.0.1");
    options.port = server.port();
    options.wait_ms = 300;
    NullProgress progress;
    std::promise<DiscoverResult> found;
    std::thread::id search_thread;
    ASSERT_TRUE(c.Discover(options, progress, [&](DiscoverResult r) {
        search_thread = std::this_thread::get_id();
        found.set_value(std::move(r));
    }));
    EXPECT_TRUE(c.discovering());
    EXPECT_FALSE(c.Discover(options, progress, {})) << "a second search while one runs";
    const DiscoverResult result = found.get_future().get();
    EXPECT_NE(search_thread, std::this_thread::get_id());
    ASSERT_EQ(result.panels.size(), 1u);
    EXPECT_EQ(result.panels[0].port, server.port());

    // A long search is cut short: StopDiscover returns well before its wait.
    c.StopDiscover();
    options.wait_ms = 30000;
    std::promise<DiscoverOutcome> stopped;
    ASSERT_TRUE(
        c.Discover(options, progress, [&](DiscoverResult r) { stopped.set_value(r.outcome); }));
    const auto start = std::chrono::steady_clock::now();
    c.StopDiscover();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(stopped.get_future().get(), DiscoverOutcome::Cancelled);
    EXPECT_FALSE(c.discovering());
}

}  // namespace
}  // namespace korvane
