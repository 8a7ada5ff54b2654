// The window's controller without a window: settings in and out, the link
// display texts, and panel work off the calling thread.
#include "widgets/panel_controller.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>

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
        [&] {
            worker_id = std::this_thread::get_id();
            gate.wait();
        },
        [&] { ++done_runs; }));
    EXPECT_TRUE(c.busy());
    EXPECT_FALSE(c.RunInBackground([] {}, [] {})) << "a second job while one runs";
    release.set_value();
    c.WaitIdle();
    EXPECT_FALSE(c.busy());
    EXPECT_NE(worker_id, std::this_thread::get_id());
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(done_runs, 0) << "done runs where the poster puts it, not on the worker";
    posted[0]();
    EXPECT_EQ(done_runs, 1);
    EXPECT_TRUE(c.RunInBackground([] {}));
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
    ASSERT_TRUE(c.RunInBackground([&] { address = GetPanelAddress(c.session()); }));
    c.WaitIdle();
    ASSERT_TRUE(address);
    EXPECT_EQ(address->IpText(), "192.168.0.100");
    EXPECT_EQ(c.link().result(), LinkResult::Ok);
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
    ASSERT_TRUE(c.RunInBackground([&] { ASSERT_TRUE(StartEraseFlash(c.session(), progress)); },
                                  [&] { session_run_active_at_done = c.session().RunActive(); }));
    finished.get_future().wait();
    EXPECT_FALSE(session_run_active_at_done);
    // Over the network the panel is left erasing: the run ends asking to wait.
    EXPECT_EQ(sink.Texts().back(), msg::kEraseWait);
}

}  // namespace
}  // namespace korvane
