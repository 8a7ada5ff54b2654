// korvane-cli and korvane-panel-sim behave as well-kept command-line tools
// do: usage errors, --version, help, messages one can act on, JSON events,
// the progress line on a terminal, the simulator's options, the manual pages
// and the completion. Whole programs, loopback and pseudo-terminals only.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "child_process.h"
#include "cli_fixture.h"
#include "pty_child.h"
#include "support/temp_dir.h"

#if KORVANE_QT
#include <QColor>
#include <QImage>
#endif

namespace korvane {
namespace {

using korvane::testing::ChildProcess;
using korvane::testing::PtyChild;
using korvane::testing::RunProgram;
using korvane::testing::RunResult;
using namespace std::chrono_literals;

constexpr char kUsageLine[] =
    "usage: korvane-cli [options] COMMAND [arguments]   (korvane-cli --help for more)\n";

std::string ReadText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The simulator, the settings folder and Cli() come from CliTest.
class ConventionsTest : public CliTest {
  protected:
    std::string Settings() const { return (dir.path() / "Para.dat").string(); }
    std::string WriteModels() {
        const auto file = dir.path() / "models.xml";
        std::ofstream(file) << "<ge><HMI_Types>"
                               "<HMI_Type id=\"1\" name=\"800 x 480\"><screen_size_cx>800"
                               "</screen_size_cx><screen_size_cy>480</screen_size_cy></HMI_Type>"
                               "<HMI_Type id=\"2\" name=\"320 x 240\"><screen_size_cx>320"
                               "</screen_size_cx><screen_size_cy>240</screen_size_cy></HMI_Type>"
                               "</HMI_Types></ge>";
        return file.string();
    }
};

// 1. Whatever the command, a command line that is wrong exits 64 with the
// problem and the usage line, and nothing is tried; with --json stdout holds
// exactly one verdict line.
TEST_F(ConventionsTest, UsageErrorsExit64WithTheUsageLineAndOneJsonLine) {
    const std::string models = WriteModels();
    const std::string picture = (dir.path() / "p.png").string();
    struct Case {
        std::vector<std::string> args;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {{"logo", picture}, "give either --model NAME or --screen WxH"},
        {{"logo", picture, "--screen", "0x0"}, "not a screen size WxH (each side 1 to 32767): 0x0"},
        {{"logo", picture, "--screen", "9x9", "--background", "GGGGGG"},
         "not a colour RRGGBB (six hex digits, red first): GGGGGG"},
        {{"--models", models, "flash", "logo", picture, "--model", "nope"},
         "no model named \"nope\" in " + models + "; the models are \"800 x 480\", \"320 x 240\""},
        {{"--udp", "127.0.0.1", "--serial", "/dev/null", "status"},
         "give one link only: --udp, --serial or --usb"},
        {{"--usb", "/dev/null", "--udp", "127.0.0.1", "status"},
         "give one link only: --udp, --serial or --usb"},
        {{"--serial", "", "status"}, "--serial needs a device path or COMn, not an empty word"},
        {{"--usb", "", "status"}, "--usb needs a device path, not an empty word"},
        {{"set-ip", "10.0.0.1", "-1"}, "not a port from 1 to 65535: -1"},
        {{"status", "--gateway", "10.0.0.1"}, "status takes no option --gateway"},
        {{"flash", "kernel", "k.bin", "--screen", "9x9"}, "flash kernel takes no option --screen"},
        {{"logo", picture, "--screen", "9x9", "-o", ""}, "-o needs FILE, not an empty word"},
        {{"--quiet=yes", "status"}, "--quiet takes no value"},
        {{"--lang", "xx", "status"}, "not a language: xx (--lang takes zh or en)"},
        {{"status", "--lang=zh_CN"}, "not a language: zh_CN (--lang takes zh or en)"},
        {{"status", "--lang"}, "--lang needs zh|en"},
        {{"--udp"}, "--udp needs IP[:PORT]"},
        {{"help", "bogus"}, "unknown command bogus"},
        {{"help", "status", "get-ip"}, "help takes one COMMAND at most"},
        // After "--" every word is an argument, even one that looks like an option.
        {{"--", "--help"}, "unknown command --help"},
        {{"--frobnicate", "status"}, "unknown option --frobnicate"},
        {{}, "no command given"},
    };
    for (const Case& c : cases) {
        for (const bool json : {false, true}) {
            std::vector<std::string> args = c.args;
            if (json)
                args.insert(args.begin(), "--json");
            const auto started = std::chrono::steady_clock::now();
            const RunResult r = RunProgram(KORVANE_CLI, args);
            EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << c.problem;
            EXPECT_EQ(r.code, 64) << c.problem;
            EXPECT_EQ(r.err, "korvane-cli: " + c.problem + "\n" + kUsageLine);
            EXPECT_EQ(r.out, json ? "{\"event\":\"verdict\",\"result\":\"UsageError\",\"code\":64,"
                                    "\"text\":\"" +
                                        std::regex_replace(c.problem, std::regex("\""), "\\\"") +
                                        "\"}\n"
                                  : "")
                << c.problem;
        }
    }
}

TEST_F(ConventionsTest, OptionsTakeTheirValueWithEqualsAndNumbersAreValues) {
    StartSim();
    // --name=value, and a value after "--".
    auto r =
        RunProgram(KORVANE_CLI, {"--settings=" + Settings(), "--udp=127.0.0.1:" + port_, "get-ip"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "192.168.0.100 21845\n");
    r = Cli({"set-clock", "--", "2021-02-03 04:05:06"});
    EXPECT_EQ(r.code, 0) << r.err;
}

// 2. --version names the program, the project's version and, from a
// checkout, the commit; `help` is --help.
TEST_F(ConventionsTest, VersionAndHelpCommand) {
    std::vector<std::pair<std::string, std::string>> programs = {
        {KORVANE_CLI, "korvane-cli"}, {KORVANE_SIM, "korvane-panel-sim"}};
#ifdef KORVANE_APP
    programs.emplace_back(KORVANE_APP, "korvane");
#endif
    const std::regex version("^([a-z-]+) " +
                             std::regex_replace(KORVANE_VERSION, std::regex("\\."), "\\.") +
                             "( \\(commit [0-9a-f]{12}(-dirty)?\\))?\n$");
    for (const auto& [program, name] : programs) {
        const RunResult r = RunProgram(program, {"--version"});
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_EQ(r.err, "") << name;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(r.out, m, version)) << r.out;
        EXPECT_EQ(m[1], name);
    }
    const RunResult help = RunProgram(KORVANE_CLI, {"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(RunProgram(KORVANE_CLI, {"help"}).out, help.out);
    for (const char* command : {"set-ip", "flash", "logo", "help"}) {
        const RunResult one = RunProgram(KORVANE_CLI, {"help", command});
        EXPECT_EQ(one.code, 0) << command;
        EXPECT_EQ(one.out, RunProgram(KORVANE_CLI, {command, "--help"}).out) << command;
        EXPECT_NE(help.out.find("\n  " + std::string(command)), std::string::npos) << command;
    }
    // The exit statuses are listed, with the three of the tool itself.
    EXPECT_NE(help.out.find("8 RunCancelled, 9 ImageChanged, 10\nPanelsFailed, 64 usage error, 65 "
                            "refused input."),
              std::string::npos)
        << help.out;
    // The logo's pixel limit is stated where the command is described.
    EXPECT_NE(RunProgram(KORVANE_CLI, {"logo", "--help"}).out.find("at most 131,072 pixels"),
              std::string::npos);
}

// 3 and 4. A read-only command writes no settings file; fresh settings name
// no panel, and the failure says so and how to set one.
TEST_F(ConventionsTest, ReadOnlyCommandsCreateNothingAndFreshSettingsSayWhatIsMissing) {
    const auto para = dir.path() / "new" / "Para.dat";
    std::filesystem::create_directory(dir.path() / "new");
    const std::string hint =
        "no panel address is configured yet (255.255.255.255 is what fresh settings hold): give "
        "--udp IP[:PORT] for this run, or save it with korvane-cli settings --link udp --ip IP "
        "--port 21845";
    auto r = RunProgram(KORVANE_CLI, {"--settings", para.string(), "status"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "发送数据失败\nkorvane-cli: " + hint + "\n");
    r = RunProgram(KORVANE_CLI, {"--settings", para.string(), "--json", "get-ip"});
    EXPECT_EQ(
        r.out,
        "{\"event\":\"message\",\"kind\":\"error\",\"id\":\"send_failed\",\"text\":\"发送数据失败"
        "\",\"hint\":\"" +
            hint + "\"}\n{\"event\":\"verdict\",\"result\":\"IoError\",\"code\":1}\n");
    r = RunProgram(KORVANE_CLI, {"--settings", para.string(), "settings"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("\nip 255.255.255.255\n"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(para));
    // Saving is what writes it.
    r = RunProgram(KORVANE_CLI, {"--settings", para.string(), "settings", "--ip", "10.0.0.9"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(std::filesystem::exists(para));
}

// 4. A model list that yields no models is named with the reason.
TEST_F(ConventionsTest, AModelListWithoutModelsIsNamedWithTheReason) {
    struct Case {
        std::string text;
        std::string why;
    };
    const std::vector<Case> cases = {
        {"<ge><HMI_Types>", " is not well-formed XML: "},
        {"<gx><HMI_Types/></gx>", " has no root element \"ge\""},
        {"<ge><Types/></ge>", " has no \"HMI_Types\" element in its root \"ge\""},
    };
    const auto file = dir.path() / "list.xml";
    for (const Case& c : cases) {
        std::ofstream(file, std::ios::trunc) << c.text;
        for (const char* command : {"models", "logo"}) {
            std::vector<std::string> args = {"--models", file.string(), command};
            if (std::string(command) == "logo")
                args.insert(args.end(), {"p.png", "--model", "800 x 480"});
            const RunResult r = RunProgram(KORVANE_CLI, args);
            EXPECT_EQ(r.code, 7) << c.text;
            EXPECT_EQ(r.err.rfind("korvane-cli: the model list " + file.string() + c.why, 0), 0u)
                << r.err;
            EXPECT_EQ(SplitLines(r.err).size(), 1u) << r.err;
        }
    }
    const RunResult r =
        RunProgram(KORVANE_CLI, {"--models", (dir.path() / "none.xml").string(), "models"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.err, "korvane-cli: cannot read the model list " +
                         (dir.path() / "none.xml").string() + ": No such file or directory\n");
}

// 4 and 5. Every message event has the core's kind, the text's identifier
// and, where the user can act, a hint; tool problems have a kind too; every
// run ends with one verdict.
TEST_F(ConventionsTest, JsonEventsCarryKindIdHintAndEndWithOneVerdict) {
    StartSim({"--drop", "0x03"});
    auto r = Cli({"--json", "status"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out,
              "{\"event\":\"message\",\"kind\":\"error\",\"id\":\"timeout\",\"text\":"
              "\"通讯超时\",\"hint\":\"no answer on udp 127.0.0.1:" +
                  port_ +
                  ": check that the panel is on and connected, and the link (korvane-cli "
                  "settings shows the saved one)\"}\n"
                  "{\"event\":\"verdict\",\"result\":\"Timeout\",\"code\":2}\n");
    // A serial port that does not open is an error, though the window shows
    // it in its default box; each line of the explanation is the tool's.
    const std::string nope = (dir.path() / "ttyNOPE").string();
    r = RunProgram(KORVANE_CLI, {"--settings", Settings(), "--json", "--serial", nope, "status"});
    EXPECT_EQ(r.code, 6);
    EXPECT_EQ(
        r.out.rfind("{\"event\":\"message\",\"kind\":\"error\",\"id\":\"serial_open_failed\"", 0),
        0u)
        << r.out;
    r = RunProgram(KORVANE_CLI, {"--settings", Settings(), "--serial", nope, "status"});
    EXPECT_NE(r.err.find("korvane-cli: " + nope +
                         ": No such file or directory\nkorvane-cli: name the device with --serial"),
              std::string::npos)
        << r.err;

    // A panel that answers, for the rest.
    sim_->Signal(SIGTERM);
    sim_->Wait(5s);
    StartSim();
    r = Cli({"--json", "set-ip", "0.0.0.0", "21845"});
    EXPECT_EQ(r.code, 65);
    const auto lines = SplitLines(r.out);
    ASSERT_GE(lines.size(), 2u) << r.out;
    EXPECT_EQ(
        lines.front().rfind("{\"event\":\"problem\",\"kind\":\"error\",\"text\":\"refused: ", 0),
        0u)
        << r.out;
    EXPECT_EQ(lines.back(), "{\"event\":\"verdict\",\"result\":\"RefusedInput\",\"code\":65}");
    r = Cli({"--json", "set-ip", "10.1.2.3", "21845"});
    EXPECT_EQ(r.out.rfind("{\"event\":\"problem\",\"kind\":\"warning\",\"text\":\"warning: gateway "
                          "192.168.0.1 lies outside",
                          0),
              0u)
        << r.out;
    // Exactly one verdict, last, whatever the outcome.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--json", "get-ip"}, {"--json", "set-ip", "0.0.0.0", "1"}, {"--json", "models"}}) {
        const auto out = SplitLines(Cli(args).out);
        ASSERT_FALSE(out.empty());
        int verdicts = 0;
        for (const auto& line : out)
            verdicts += line.find("\"event\":\"verdict\"") != std::string::npos;
        EXPECT_EQ(verdicts, 1) << args[1];
        EXPECT_NE(out.back().find("\"event\":\"verdict\""), std::string::npos) << args[1];
    }
}

#if KORVANE_QT
// 4. The logo's pixel limit is stated, a decoder prints no line of its own,
// and a logo file that cannot be created is named with the reason.
TEST_F(ConventionsTest, LogoMessagesSayWhatToDo) {
    const std::string models = WriteModels();
    QImage big(800, 480, QImage::Format_RGB32);
    big.fill(Qt::blue);
    const auto big_png = dir.path() / "big.png";
    ASSERT_TRUE(big.save(QString::fromStdString(big_png.string()), "PNG"));
    const std::string limit =
        "korvane-cli: the picture is 800 x 480, 384,000 pixels; a logo may have at most 131,072 "
        "pixels (e.g. 512 x 256 or 480 x 272): make it smaller\n";
    auto r = RunProgram(KORVANE_CLI,
                        {"--models", models, "logo", big_png.string(), "--model", "800 x 480"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.err, "图片过大!\n" + limit);
    r = RunProgram(KORVANE_CLI, {"--json", "--models", models, "logo", big_png.string(), "--model",
                                 "800 x 480"});
    EXPECT_EQ(
        r.out.rfind("{\"event\":\"message\",\"kind\":\"error\",\"id\":\"logo_too_many_pixels\"", 0),
        0u)
        << r.out;

    // A cut-off PNG: the decoder's own words go into the tool's one line.
    const std::string bytes = ReadText(big_png);
    const auto cut = dir.path() / "cut.png";
    std::ofstream(cut, std::ios::binary).write(bytes.data(), 200);
    r = RunProgram(KORVANE_CLI, {"logo", cut.string(), "--screen", "800x480"});
    EXPECT_EQ(r.code, 7);
    ASSERT_EQ(SplitLines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("korvane-cli: cannot read the picture " + cut.string() + ": ", 0), 0u)
        << r.err;

    QImage small(20, 10, QImage::Format_RGB32);
    small.fill(Qt::red);
    const auto small_png = dir.path() / "small.png";
    ASSERT_TRUE(small.save(QString::fromStdString(small_png.string()), "PNG"));
    std::ofstream(dir.path() / "file") << "x";
    const auto inside = dir.path() / "file" / "start.logo";
    r = RunProgram(KORVANE_CLI,
                   {"logo", small_png.string(), "--screen", "800x480", "-o", inside.string()});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.err, "korvane-cli: cannot write the logo file " + inside.string() +
                         ": no file can be created in " + (dir.path() / "file").string() +
                         " (Not a directory); name another place with -o FILE\n");
}
#endif

// Display columns of what the terminal shows: the wide characters of the
// panel texts (three-byte sequences here) take two.
int Columns(const std::string& text) {
    int columns = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80)
            columns += 1;
        else if (c >= 0xE0 && c < 0xF0)
            columns += 2;
        else if (c >= 0xC0)
            columns += 1;
    }
    return columns;
}

// The redraws of the progress line: the pieces between carriage returns,
// with the erase-to-end-of-line removed.
std::vector<std::string> Redraws(const std::string& terminal) {
    const std::string plain = std::regex_replace(terminal, std::regex("\x1b\\[K"), "");
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : plain) {
        if (c == '\r' || c == '\n') {
            if (!piece.empty())
                pieces.push_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.empty())
        pieces.push_back(piece);
    return pieces;
}

// 6. On a terminal of 40 and of 200 columns the progress line fits, is
// redrawn in place (no line ends but the message's) and nothing follows the
// final message; a resize is heard.
TEST_F(ConventionsTest, ProgressLineFitsTheTerminalAndEndsBeforeTheLastMessage) {
    StartSim({"--delay", "0x82=4"});
    const auto image = dir.path() / "boot.bin";
    std::ofstream(image, std::ios::binary) << std::string(160 * 1024, 'x');
    const std::vector<std::string> args = {"--settings",         Settings(), "--udp",
                                           "127.0.0.1:" + port_, "flash",    "bootloader",
                                           image.string()};
    for (const int columns : {40, 200}) {
        PtyChild cli(KORVANE_CLI, args, columns);
        EXPECT_EQ(cli.Wait(30s), 0) << cli.terminal();
        const std::string& t = cli.terminal();
        EXPECT_EQ(cli.out(), "programmed 163840 bytes\n");
        // The one line end is the message's, and the message is last.
        const std::string done = "\r\x1b[K更新完毕!\r\n";
        ASSERT_GE(t.size(), done.size());
        EXPECT_EQ(t.substr(t.size() - done.size()), done) << columns;
        EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 1) << columns;
        const auto pieces = Redraws(t);
        ASSERT_GT(pieces.size(), 20u) << columns;
        int widest = 0;
        for (const std::string& p : pieces) {
            EXPECT_LT(Columns(p), columns) << p;
            widest = std::max(widest, Columns(p));
        }
        if (columns == 200) {
            // Wide enough for all of it: the figures are there in full.
            EXPECT_TRUE(std::regex_search(t, std::regex("100% 163840/163840 bytes [0-9.]+ KiB/s")))
                << t.substr(0, 400);
        } else {
            EXPECT_EQ(widest, 39);
        }
    }

    // Made narrower during the run: once the resize is heard, every redraw fits.
    PtyChild cli(KORVANE_CLI, args, 200);
    for (int i = 0; i < 100 && Redraws(cli.terminal()).size() < 5; ++i)
        cli.ReadFor(50ms);
    cli.Resize(40);
    const size_t before = Redraws(cli.terminal()).size();
    EXPECT_EQ(cli.Wait(30s), 0);
    const auto pieces = Redraws(cli.terminal());
    bool was_wide = false;
    for (size_t i = 0; i < before; ++i)
        was_wide = was_wide || Columns(pieces[i]) >= 40;
    EXPECT_TRUE(was_wide);
    // Redraws written before the signal came may still be read after it.
    size_t heard = before;
    while (heard < pieces.size() && Columns(pieces[heard]) >= 40)
        ++heard;
    ASSERT_GT(pieces.size(), heard + 10) << "the run ended too soon after the resize";
    for (size_t i = heard; i < pieces.size(); ++i)
        EXPECT_LT(Columns(pieces[i]), 40) << pieces[i];
}

// 7. The simulator lists every option it takes, and refuses what it cannot do.
TEST_F(ConventionsTest, SimulatorOptions) {
    const std::vector<std::string> options = {
        "--udp-port", "--pty",  "--jumper",  "--protocol-version", "--status", "--drop",
        "--delay",    "--dump", "--burn-ms", "--fail-final",       "--help",   "--version"};
    const RunResult help = RunProgram(KORVANE_SIM, {"--help"});
    EXPECT_EQ(help.code, 0);
    const std::string usage = SplitLines(help.out).front() + "\n";
    for (const std::string& o : options) {
        const bool help_option = o == "--help";
        EXPECT_NE(help.out.find(help_option ? "\n  -h, --help" : "\n  " + o), std::string::npos)
            << o;
        EXPECT_NE(usage.find(help_option ? "[-h]" : "[" + o), std::string::npos) << o;
    }
    std::ofstream(dir.path() / "file") << "x";
    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"--jumper", "3"}, "--jumper takes 1 (update) or 2 (normal), not \"3\""},
        {{"--jumper", "0"}, "--jumper takes 1 (update) or 2 (normal), not \"0\""},
        {{"--status", "0x82"},
         "--status takes CODE=STATUS, each from 0 to 255 (0x00 to 0xFF), "
         "not \"0x82\""},
        {{"--status", "0x82=0x100"},
         "--status takes CODE=STATUS, each from 0 to 255 (0x00 to "
         "0xFF), not \"0x82=0x100\""},
        {{"--drop", "-1"}, "--drop takes a command code from 0 to 255 (0x00 to 0xFF), not \"-1\""},
        {{"--delay", "0x82=x"}, "--delay takes CODE=MS, MS from 0 to 600000, not \"0x82=x\""},
        {{"--udp-port"}, "--udp-port needs N"},
        {{"--pty=1"}, "--pty takes no value"},
        {{"--bogus"}, "unknown option --bogus"},
    };
    for (const auto& [args, problem] : wrong) {
        const RunResult r = RunProgram(KORVANE_SIM, args);
        EXPECT_EQ(r.code, 64) << problem;
        EXPECT_EQ(r.err, "korvane-panel-sim: " + problem + "\n" + usage);
    }
    const auto into_file = dir.path() / "file" / "dumps";
    RunResult r = RunProgram(KORVANE_SIM, {"--udp-port", "0", "--dump", into_file.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "korvane-panel-sim: cannot create the dump folder " + into_file.string() +
                         ": Not a directory\n");

    // A hex status, and a dump folder that did not exist yet.
    const auto dumps = dir.path() / "a" / "b";
    StartSim({"--status", "0x21=0x00", "--dump", dumps.string()});
    EXPECT_TRUE(std::filesystem::is_directory(dumps));
    r = Cli({"get-ip"});
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.err, "失败\n");
}

// The options a manual page lists: each tagged paragraph that opens with one.
std::set<std::string> ManOptions(const std::string& page) {
    std::set<std::string> names;
    const auto lines = SplitLines(page);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] != ".TP" || lines[i + 1].rfind("\\fB\\-", 0) != 0)
            continue;
        const std::string tag = std::regex_replace(lines[i + 1], std::regex("\\\\-"), "-");
        const std::regex name("(^\\\\fB|, )(--?[a-z-]*)");
        for (std::sregex_iterator it(tag.begin(), tag.end(), name), end; it != end; ++it)
            names.insert((*it)[2]);
    }
    return names;
}

// The options --help lists: each row that opens with one.
std::set<std::string> HelpOptions(const std::string& help) {
    std::set<std::string> names;
    for (const std::string& line : SplitLines(help)) {
        if (line.rfind("  -", 0) != 0)
            continue;
        const std::regex name("(^  |, )(--?[a-z-]*)");
        for (std::sregex_iterator it(line.begin(), line.end(), name), end; it != end; ++it)
            names.insert((*it)[2]);
    }
    return names;
}

// 8. The manual pages list exactly the options --help lists (for
// korvane-cli: of the program and of every command).
TEST_F(ConventionsTest, ManualPagesListTheOptionsOfTheHelp) {
    std::set<std::string> cli_help = HelpOptions(RunProgram(KORVANE_CLI, {"--help"}).out);
    const std::string page = ReadText(std::filesystem::path(KORVANE_DOC_DIR) / "korvane-cli.1");
    ASSERT_FALSE(page.empty());
    std::smatch m;
    std::string commands = page;
    for (const std::string& line : SplitLines(RunProgram(KORVANE_CLI, {"--help"}).out)) {
        if (!std::regex_search(line, m, std::regex("^  ([a-z][a-z-]+)")))
            continue;
        const auto more = HelpOptions(RunProgram(KORVANE_CLI, {m[1], "--help"}).out);
        cli_help.insert(more.begin(), more.end());
        EXPECT_NE(page.find("\\fB" + std::regex_replace(std::string(m[1]), std::regex("-"), "\\-") +
                            "\\fR"),
                  std::string::npos)
            << m[1];
    }
    EXPECT_EQ(ManOptions(page), cli_help);
    EXPECT_TRUE(cli_help.count("--gateway") && cli_help.count("--json") && cli_help.count("-o"));

    const std::string sim_page =
        ReadText(std::filesystem::path(KORVANE_DOC_DIR) / "korvane-panel-sim.1");
    const auto sim_help = HelpOptions(RunProgram(KORVANE_SIM, {"--help"}).out);
    EXPECT_EQ(ManOptions(sim_page), sim_help);
    EXPECT_TRUE(sim_help.count("--burn-ms") && sim_help.count("--dump"));
    // Both pages carry the version the programs print.
    EXPECT_NE(page.find(".TH KORVANE-CLI 1 \"\" \"Korvane " KORVANE_VERSION "\""),
              std::string::npos);
    EXPECT_NE(sim_page.find(".BR korvane\\-cli (1)"), std::string::npos);
#ifdef KORVANE_APP
    const std::string app_page = ReadText(std::filesystem::path(KORVANE_DOC_DIR) / "korvane.1");
    const auto app_help = HelpOptions(RunProgram(KORVANE_APP, {"--help"}).out);
    EXPECT_EQ(ManOptions(app_page), app_help);
    EXPECT_TRUE(app_help.count("--version"));
#endif
}

// 8. The completion offers commands, options of the command, flash kinds,
// model names from the list (quoted, they hold spaces) and serial devices.
TEST_F(ConventionsTest, BashCompletionOffersCommandsOptionsModelsAndDevices) {
    const std::string models = WriteModels();
    const std::string script = std::string(KORVANE_DOC_DIR) + "/korvane-cli.bash";
    auto complete = [&](const std::string& words) {
        const std::string program = "source '" + script + "'\nCOMP_WORDS=(" + words +
                                    ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_korvane_cli\n"
                                    "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
        const RunResult r = RunProgram("/bin/bash", {"-c", program});
        EXPECT_EQ(r.code, 0) << r.err;
        return r.out;
    };
    const std::string cli = std::string("'") + KORVANE_CLI + "'";
    EXPECT_EQ(complete(cli + " se"), "set-ip\nset-clock\nsettings\n");
    EXPECT_EQ(complete(cli + " set-ip 10.0.0.1 80 --g"), "--gateway\n");
    EXPECT_EQ(complete(cli + " --mod"), "--models\n");
    EXPECT_EQ(complete(cli + " flash ''"), "kernel\nbootloader\nfilesystem\nlogo\n");
    EXPECT_EQ(complete(cli + " help fl"), "flash\n");
    EXPECT_EQ(complete(cli + " settings --link u"), "udp\nusb\n");
    EXPECT_EQ(complete(cli + " --models '" + models + "' logo p.png --model ''"),
              "800\\ x\\ 480\n320\\ x\\ 240\n");
    EXPECT_EQ(complete(cli + " --models '" + models + "' logo p.png --model '3'"),
              "320\\ x\\ 240\n");
    // Serial devices as `ports` lists them: COM numbers and paths.
    const RunResult ports = RunProgram(KORVANE_CLI, {"ports"});
    std::string expected;
    for (const std::string& line : SplitLines(ports.out)) {
        if (line.rfind("COM", 0) == 0)
            expected +=
                line.substr(0, line.find('\t')) + "\n" + line.substr(line.find('\t') + 1) + "\n";
    }
    EXPECT_EQ(complete(cli + " --serial ''"), expected);
}

}  // namespace
}  // namespace korvane
