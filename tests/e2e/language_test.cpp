// korvane-cli shows the panel's texts in Chinese or English: --lang, else the
// locale; its own lines are English either way.
#include <gtest/gtest.h>

#include <fstream>

#include "cli_fixture.h"
#include "pty_child.h"
#include "support/scoped_env.h"

namespace korvane {
namespace {

using korvane::testing::PtyChild;
using korvane::testing::ScopedEnv;
using namespace std::chrono_literals;

constexpr char kWhen[] = "2021-02-03 04:05:06";

TEST_F(CliTest, TheSuccessOfSetClockIsInTheLanguageChosen) {
    StartSim();
    struct Case {
        std::vector<std::string> options;
        testing::EnvSettings locale;
        std::string said;
    };
    const Case cases[] = {
        // No locale: the stored text, byte for byte.
        {{}, {}, "设置成功\n"},
        {{"--lang", "en"}, {}, "Set successfully\n"},
        {{"--lang=zh"}, {}, "设置成功\n"},
        {{}, {{"LANG", "en_US.UTF-8"}}, "Set successfully\n"},
        {{}, {{"LANG", "C.UTF-8"}}, "设置成功\n"},
        {{}, {{"LC_ALL", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "设置成功\n"},
        {{}, {{"LANGUAGE", "de:zh"}, {"LANG", "zh_CN.UTF-8"}}, "Set successfully\n"},
        {{}, {{"LC_ALL", ""}, {"LC_MESSAGES", "fr_FR.UTF-8"}}, "Set successfully\n"},
        // The option outweighs the locale, either way.
        {{"--lang", "zh"}, {{"LANG", "en_US.UTF-8"}}, "设置成功\n"},
        {{"--lang", "en"}, {{"LANG", "zh_CN.UTF-8"}}, "Set successfully\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"set-clock", kWhen});
        const auto r = Cli(args, c.locale);
        const std::string named = args[0] + (c.locale.empty() ? "" : " " + c.locale[0].second);
        EXPECT_EQ(r.code, 0) << named << r.err;
        EXPECT_EQ(r.err, c.said) << named;
        EXPECT_EQ(r.out, std::string(kWhen) + "\n") << named;
    }
}

// A locale the developer's shell passes on reaches no test's child: every
// expectation of the stored texts holds wherever the tests run.
TEST_F(CliTest, TheTestsOwnLocaleDoesNotReachTheProgram) {
    StartSim();
    const ScopedEnv language("LANGUAGE", "en"), all("LC_ALL", "en_US.UTF-8"),
        lang("LANG", "en_US.UTF-8");
    const auto r = Cli({"set-clock", kWhen});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "设置成功\n");
}

TEST_F(CliTest, JsonKeepsTheIdAndCarriesTheEnglishText) {
    StartSim();
    auto r = Cli({"--json", "--lang", "en", "set-clock", kWhen});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              "{\"event\":\"message\",\"kind\":\"plain\",\"id\":\"status_set_done\",\"text\":"
              "\"Set successfully\"}\n"
              "{\"event\":\"result\",\"clock\":\"2021-02-03 04:05:06\"}\n"
              "{\"event\":\"verdict\",\"result\":\"Ok\",\"code\":0}\n");
    EXPECT_EQ(r.err, "");
}

// The hint after a stored text is the tool's own line: English in both.
TEST_F(CliTest, ATimeOutIsEnglishWithItsHintUnchanged) {
    StartSim({"--drop", "0x03"});
    const std::string hint = "korvane-cli: no answer on udp 127.0.0.1:" + port_ +
                             ": check that the panel is on and connected, and the link "
                             "(korvane-cli settings shows the saved one)\n";
    auto r = Cli({"status"}, {{"LANG", "en_GB.UTF-8"}});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "Communication timed out\n" + hint);
    r = Cli({"status"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "通讯超时\n" + hint);
}

// A template the core fills in (an unknown status of a command that changes
// the panel) is filled in the language chosen too.
TEST_F(CliTest, AFilledTemplateIsInTheLanguageChosen) {
    StartSim({"--status", "0x2C=0x77"});
    auto r = Cli({"--json", "--lang", "en", "set-clock", kWhen});
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.out,
              "{\"event\":\"message\",\"kind\":\"error\",\"id\":\"status_unknown\",\"text\":"
              "\"Failed: command 0x2C returned unknown status 119\"}\n"
              "{\"event\":\"verdict\",\"result\":\"PanelRefused\",\"code\":5}\n");
    r = Cli({"set-clock", kWhen});
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.err, "失败，命令0x2C返回未知状态119\n");
}

// The progress line names the step the core reports in the language chosen.
TEST_F(CliTest, TheProgressLineIsInTheLanguageChosen) {
    StartSim();
    const auto image = dir.path() / "boot.bin";
    std::ofstream(image, std::ios::binary) << std::string(16 * 1024, 'x');
    PtyChild cli(KORVANE_CLI, LinkArgs({"--lang", "en", "flash", "bootloader", image.string()}),
                 200);
    EXPECT_EQ(cli.Wait(30s), 0) << cli.terminal();
    const std::string& t = cli.terminal();
    EXPECT_NE(t.find("Updating the boot loader, please wait"), std::string::npos) << t;
    EXPECT_EQ(t.find("更新BootLoader"), std::string::npos) << t;
    const std::string done = "\r\x1b[KUpdate done!\r\n";
    ASSERT_GE(t.size(), done.size());
    EXPECT_EQ(t.substr(t.size() - done.size()), done);
}

}  // namespace
}  // namespace korvane
