// Every command of korvane-cli is listed, documented and run by one table
// entry: what --help lists is what dispatches, each to its own handler.
#include "cli/command_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_commands.h"
#include "support/temp_dir.h"

namespace korvane::cli {
namespace {

struct RunResult {
    int code;
    std::string out;
    std::string err;
};

RunResult RunInProcess(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    std::atomic<bool> interrupt{false};
    CliEnvironment env{out, err, false, {}, &interrupt};
    const int code = RunCli(args, env);
    return {code, out.str(), err.str()};
}

// The command names of the "commands:" block of --help, in order.
std::vector<std::string> CommandsInHelp() {
    std::istringstream help(RunInProcess({"--help"}).out);
    std::vector<std::string> names;
    std::string line;
    while (std::getline(help, line) && line != "commands:") {
    }
    while (std::getline(help, line) && !line.empty()) {
        if (line.size() < 3 || line.rfind("  ", 0) != 0 || line[2] == ' ')
            continue;  // a summary carried on to the next line
        const std::string name = line.substr(2, line.find(' ', 2) - 2);
        if (names.empty() || names.back() != name)  // a command with several forms
            names.push_back(name);
    }
    return names;
}

std::vector<std::string> TableNames() {
    std::vector<std::string> names;
    for (const CliCommand& c : CommandTable())
        names.push_back(c.doc().name);
    return names;
}

TEST(CommandTable, EachCommandIsDocumentedOnceAndIsWhatTheHelpLists) {
    std::set<std::string> seen;
    for (const CliCommand& c : CommandTable()) {
        const CommandDoc& doc = c.doc();
        SCOPED_TRACE(doc.name);
        EXPECT_TRUE(seen.insert(doc.name).second) << "listed twice";
        EXPECT_FALSE(doc.text.empty());
        EXPECT_EQ(doc.example.rfind("korvane-cli ", 0), 0u) << doc.example;
        EXPECT_NE(doc.example.find(doc.name), std::string::npos) << doc.example;
        EXPECT_EQ(FindCliCommand(doc.name), &c);
    }
    EXPECT_EQ(FindCliCommand("reboot"), nullptr);
    // --help, the manual page and the completion all read CliDoc().
    std::vector<std::string> documented;
    for (const CommandDoc& d : CliDoc().commands)
        documented.push_back(d.name);
    EXPECT_EQ(documented, TableNames());
    EXPECT_EQ(CommandsInHelp(), TableNames());
}

// Stray words reach the command's own handler, which names itself in its
// usage error; a command wired to another's handler would name that one.
TEST(CommandTable, EachListedCommandDispatchesToItsOwnHandler) {
    const std::vector<std::string> listed = CommandsInHelp();
    ASSERT_GE(listed.size(), 16u);
    for (const std::string& name : listed) {
        SCOPED_TRACE(name);
        const RunResult r = RunInProcess({name, "w1", "w2", "w3", "w4"});
        EXPECT_EQ(r.code, kUsageError);
        EXPECT_EQ(r.err.rfind("korvane-cli: " + name + " ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

// What each command does with no panel to reach: a command that runs
// nothing and reports success (exit 0, nothing said) fails here, and a new
// command must say what it does.
TEST(CommandTable, EachListedCommandDoesItsWorkWithoutAPanel) {
    testing::TempDir dir;
    const std::string device = "/nonexistent/korvane-test-device";
    const std::string kernel = (dir.path() / "kernel.bin").string();
    std::ofstream(kernel) << "image";
    struct Probe {
        std::vector<std::string> args;
        int code;
        std::string said;  // a regular expression the output or the errors match
    };
    const Probe panel{{}, 6, device};
    const std::map<std::string, Probe> probes = {
        {"status", panel},
        {"get-ip", panel},
        {"set-ip", {{"192.168.0.120", "21845"}, 6, device}},
        {"get-clock", panel},
        {"set-clock", panel},
        {"erase", panel},
        {"flash", {{"kernel", kernel}, 6, device}},
        {"logo", {{"none.bmp", "--screen", "800x480"}, 7, "picture|Qt build"}},
        {"models", {{}, 7, "the model list"}},
        {"enter-download", panel},
        {"end-download", panel},
        {"change-mac", panel},
        {"settings", {{}, 0, "\nport 21845\n"}},
        {"ports", {{}, 0, "^((COM[0-9]+|USB)\t[^\n]*\n)*$"}},
        {"discover",
         {{"--range", "127.0.0.1-127.0.0.1", "--wait", "0"}, 2, "no panel answered at 127"}},
        {"batch", {{"flash", "kernel", kernel}, 10, device}},
        {"log", {{}, 0, "^TIME \\(UTC\\) |no runs logged"}},
        {"help", {{}, 0, "^usage: korvane-cli "}},
    };
    for (const std::string& name : CommandsInHelp()) {
        SCOPED_TRACE(name);
        const auto probe = probes.find(name);
        if (probe == probes.end()) {
            ADD_FAILURE() << "no probe for " << name;
            continue;
        }
        std::vector<std::string> args = {"--settings", (dir.path() / "Para.dat").string(),
                                         "--models",   (dir.path() / "none.dat").string(),
                                         "--serial",   device,
                                         name};
        args.insert(args.end(), probe->second.args.begin(), probe->second.args.end());
        const RunResult r = RunInProcess(args);
        EXPECT_EQ(r.code, probe->second.code) << r.out << r.err;
        const std::regex said(probe->second.said);
        EXPECT_TRUE(std::regex_search(probe->second.code == 0 ? r.out : r.err, said))
            << r.out << r.err;
    }
}

TEST(Dispatch, AnUnknownCommandIsAUsageError) {
    const std::string usage =
        "usage: korvane-cli [options] COMMAND [arguments]   (korvane-cli --help for more)\n";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"reboot"}, {"help", "reboot"}, {"reboot", "--help"}}) {
        const RunResult r = RunInProcess(args);
        EXPECT_EQ(r.code, kUsageError);
        EXPECT_EQ(r.err, "korvane-cli: unknown command reboot\n" + usage);
        EXPECT_EQ(r.out, "");
    }
    const RunResult json = RunInProcess({"--json", "reboot"});
    EXPECT_EQ(json.code, kUsageError);
    EXPECT_EQ(json.out,
              "{\"event\":\"verdict\",\"result\":\"UsageError\",\"code\":64,\"text\":\"unknown "
              "command reboot\"}\n");
}

}  // namespace
}  // namespace korvane::cli
