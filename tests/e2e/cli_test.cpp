// korvane-cli run as a program against korvane-panel-sim on loopback.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "cli/cli_app.h"
#include "cli_fixture.h"
#include "link/frame.h"
#include "protocol/command_codes.h"
#include "support/loopback_socket.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#if KORVANE_QT
#include <QColor>
#include <QImage>

#include "logo/logo_from_picture.h"
#endif

namespace korvane {
namespace {

using korvane::testing::ChildProcess;
using korvane::testing::RunProgram;
using korvane::testing::RunResult;
using namespace std::chrono_literals;

TEST_F(CliTest, ReadsStateAddressAndClock) {
    StartSim({"--jumper", "2"});
    auto r = Cli({"status"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "jumper 2\n");
    EXPECT_EQ(r.err, "");

    r = Cli({"get-ip"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "192.168.0.100 21845\n");

    r = Cli({"set-clock", "2020-12-31 23:59:58"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "设置成功\n");
    r = Cli({"get-clock"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.rfind("2020-12-31 23:59:5", 0) == 0 || r.out == "2021-01-01 00:00:00\n")
        << r.out;
}

TEST_F(CliTest, SetsTheAddressWithOneSuccessMessage) {
    StartSim();
    auto r = Cli({"set-ip", "192.168.1.20", "502", "--gateway", "192.168.1.1"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "设置成功\n");
    EXPECT_EQ(Cli({"get-ip"}).out, "192.168.1.20 502\n");
    // The panel network record went beside the settings, which were not written.
    EXPECT_EQ(ReadAll(dir.path() / "PanelNet.dat").size(), 24u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Para.dat"));
}

TEST_F(CliTest, ARefusalExitsWithPanelRefused) {
    StartSim({"--status", "0x21=0"});
    const auto r = Cli({"get-ip"});
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.err, "失败\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, ASilentPanelExitsWithTimeout) {
    StartSim({"--drop", "0x03"});
    const auto r = Cli({"status"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "通讯超时\nkorvane-cli: no answer on udp 127.0.0.1:" + port_ +
                         ": check that the panel is on and connected, and the link "
                         "(korvane-cli settings shows the saved one)\n");
}

TEST_F(CliTest, TraceShowsEachFrameAsHex) {
    StartSim();
    const auto r = Cli({"--trace", "status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(
        std::regex_search(r.err, std::regex(R"(\[ *\d+\.\d{6}\] >    6: 5A A5 00 06 03 08\n)")))
        << r.err;
    EXPECT_TRUE(std::regex_search(r.err, std::regex(R"(\] <    8: 5A A5 00 08 03 01 01 0C\n)")))
        << r.err;
}

// The panel is a socket of the test's own here, so that a stranger on
// 127.0.0.2 can answer first, knowing where the request came from.
TEST_F(CliTest, TraceShowsAStrangersReplyAsIgnoredAndThePanelsIsTaken) {
    korvane::testing::LoopbackSocket panel(0x7F000001), stranger(0x7F000002);
    ASSERT_TRUE(panel.ok() && stranger.ok());
    ChildProcess cli(KORVANE_CLI,
                     {"--settings", (dir.path() / "Para.dat").string(), "--udp",
                      "127.0.0.1:" + std::to_string(panel.port()), "--trace", "status"});
    const auto request = panel.Receive(5000);
    ASSERT_TRUE(request) << "no request came";
    auto reply = [](uint8_t jumper) {
        FrameBuffer frame{};
        const uint8_t payload[] = {1, jumper};
        const uint16_t n = BuildFrame(frame, cmd::kQueryState, payload);
        return Bytes(frame.begin(), frame.begin() + n);
    };
    EXPECT_TRUE(stranger.SendTo(reply(2), request->from));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(panel.SendTo(reply(1), request->from));
    EXPECT_EQ(cli.Wait(10s), 0) << cli.err();
    EXPECT_EQ(cli.out(), "jumper 1\n");
    EXPECT_TRUE(std::regex_search(
        cli.err(),
        std::regex(R"(\] x    8: 5A A5 00 08 03 01 02 0D \(ignored: from 127\.0\.0\.2:)" +
                   std::to_string(stranger.port()) + R"(, not the panel\)\n)")))
        << cli.err();
    EXPECT_TRUE(std::regex_search(cli.err(), std::regex(R"(\] <    8: 5A A5 00 08 03 01 01 0C\n)")))
        << cli.err();
}

TEST_F(CliTest, JsonGivesMessagesResultsAndAVerdict) {
    StartSim();
    auto r = Cli({"--json", "set-clock", "2021-02-03", "04:05:06"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              "{\"event\":\"message\",\"kind\":\"plain\",\"id\":\"status_set_done\",\"text\":"
              "\"设置成功\"}\n"
              "{\"event\":\"result\",\"clock\":\"2021-02-03 04:05:06\"}\n"
              "{\"event\":\"verdict\",\"result\":\"Ok\",\"code\":0}\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, EraseAndDownloadSwitches) {
    StartSim({"--jumper", "2"});
    auto r = Cli({"erase"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "请等待擦写Flash成功！\n");
    r = Cli({"enter-download"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "成功\n");
    r = Cli({"end-download"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "成功\n");
    r = Cli({"change-mac"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "设置成功\n");
}

TEST_F(CliTest, ABrokenSettingsFileIsNamedWithItsFixInsteadOfATimeOut) {
    const auto para = dir.path() / "Para.dat";
    Bytes no_link(24, 0);
    no_link[8] = 0x55;
    const std::vector<std::pair<Bytes, std::string>> files = {
        {{}, " is empty"},
        {{1, 0, 0}, " is 3 bytes long, not 24"},
        {Bytes(24, '#'), " names no link (link mode 589505315;"},
        {no_link, " names no link (link mode 0;"},
    };
    for (const auto& [bytes, because] : files) {
        std::ofstream(para, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        const auto r = Cli({"status"});
        EXPECT_EQ(r.code, 7) << because;
        EXPECT_EQ(r.err.rfind("korvane-cli: settings file " + para.string() + because, 0), 0u)
            << r.err;
        EXPECT_NE(r.err.find("korvane-cli settings --link udp --ip IP --port 21845"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.find("通讯超时"), std::string::npos) << r.err;
    }
    std::filesystem::remove(para);
    std::filesystem::create_directory(para);
    auto r = Cli({"erase"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.err.rfind("korvane-cli: settings file " + para.string() + " is a folder", 0), 0u)
        << r.err;

    // A link named on the command line needs nothing of the file.
    StartSim();
    r = Cli({"status"});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST_F(CliTest, AFailureTheCoreLeavesUnexplainedStillGetsALine) {
    StartSim();
    // The panel network record's place is taken by a folder: nothing is sent.
    const auto record = dir.path() / "PanelNet.dat";
    std::filesystem::create_directories(record / "inside");
    auto r = Cli({"set-ip", "192.168.0.120", "21845"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(
        r.err.rfind("korvane-cli: cannot write the panel network record " + record.string() + ": ",
                    0),
        0u)
        << r.err;
    EXPECT_NE(r.err.find("; nothing was sent to the panel\n"), std::string::npos) << r.err;
    EXPECT_EQ(Cli({"get-ip"}).out, "192.168.0.100 21845\n");

    // A device that is no panel: the system's word on it.
    r = RunProgram(KORVANE_CLI, {"--settings", (dir.path() / "Para.dat").string(), "--usb",
                                 "/dev/null", "status"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "korvane-cli: /dev/null: end of file: the device hung up\nkorvane-cli: the device "
              "failed during the run, after it had opened: check its cable or adapter "
              "(korvane-cli ports lists the devices present), then run again\n");

    // An image that cannot be read says what the system said.
    std::ofstream(dir.path() / "plain") << "x";
    r = Cli({"flash", "kernel", (dir.path() / "plain" / "k.bin").string()});
    EXPECT_EQ(r.code, 7);
    EXPECT_NE(r.err.find(": Not a directory"), std::string::npos) << r.err;
}

TEST_F(CliTest, AnAddressOrMaskThatCutsTheUserOffIsRefusedUnlessForced) {
    StartSim();
    const std::vector<std::vector<std::string>> refused = {
        {"set-ip", "0.0.0.0", "21845"},
        {"set-ip", "255.255.255.255", "21845"},
        {"set-ip", "127.0.0.1", "21845"},
        {"set-ip", "224.0.0.1", "21845"},
        {"set-ip", "250.1.2.3", "21845"},
        {"set-ip", "192.168.0.120", "21845", "--mask", "255.0.255.0"},
        {"set-ip", "192.168.0.120", "21845", "--mask", "0.0.0.0"},
    };
    for (const auto& args : refused) {
        const auto r = Cli(args);
        EXPECT_EQ(r.code, 65) << args[1] << " " << args.back();
        EXPECT_EQ(r.err.rfind("korvane-cli: refused: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("korvane-cli: nothing was sent; --force sends it anyway\n"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(Cli({"get-ip"}).out, "192.168.0.100 21845\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "PanelNet.dat"));

    // A gateway outside the new subnet (the default 192.168.0.1 here) goes, with a warning.
    auto r = Cli({"set-ip", "10.1.2.3", "21845"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.rfind("korvane-cli: warning: gateway 192.168.0.1 lies outside", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find("设置成功\n"), std::string::npos);
    EXPECT_EQ(Cli({"get-ip"}).out, "10.1.2.3 21845\n");

    r = Cli({"--force", "set-ip", "127.0.0.9", "21845", "--gateway", "127.0.0.1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("korvane-cli: sent anyway (--force): panel address 127.0.0.9"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Cli({"get-ip"}).out, "127.0.0.9 21845\n");
}

TEST_F(CliTest, AClockThePanelCannotReportBackIsRefusedUnlessForced) {
    StartSim();
    for (const char* when : {"1999-12-31 23:59:59", "2100-01-01 00:00:00", "0001-01-01 00:00:00"}) {
        const auto r = Cli({"set-clock", when});
        EXPECT_EQ(r.code, 65) << when;
        EXPECT_EQ(r.err.rfind("korvane-cli: refused: year ", 0), 0u) << r.err;
    }
    auto r = Cli({"set-clock", "2000-01-01 00:00:00"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Cli({"get-clock"}).out.rfind("2000-01-01 00:00:0", 0), 0u);
    r = Cli({"set-clock", "2099-12-31 12:00:00"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Cli({"get-clock"}).out.rfind("2099-12-31 12:00:0", 0), 0u);

    r = Cli({"--force", "set-clock", "1999-12-31 12:00:00"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("sent anyway (--force): year 1999"), std::string::npos) << r.err;

    r = RunProgram(KORVANE_CLI, {"set-clock", "--help"});
    EXPECT_NE(r.out.find("years 2000\nto 2099"), std::string::npos) << r.out;
    r = RunProgram(KORVANE_CLI, {"--help"});
    EXPECT_NE(r.out.find("years 2000 to 2099"), std::string::npos) << r.out;
}

// The program's folder is named by the caller here: a path that is a file
// stands in for a folder the user may not write (root may write any folder).
TEST_F(CliTest, AProgramFolderThatCannotBeWrittenKeepsTheFilesInTheUsersFolder) {
    StartSim();
    std::ofstream(dir.path() / "bin") << "a file, not a folder";
    const korvane::testing::ScopedEnv home("XDG_CONFIG_HOME", (dir.path() / "config").string());
    const auto user = dir.path() / "config" / "korvane";
    std::ostringstream out, err;
    cli::CliEnvironment env{out, err, false, dir.path() / "bin", nullptr};
    int code =
        cli::RunCli({"--udp", "127.0.0.1:" + port_, "set-ip", "192.168.0.120", "21845"}, env);
    EXPECT_EQ(code, 0) << err.str();
    EXPECT_EQ(ReadAll(user / "PanelNet.dat").size(), 24u);

    code = cli::RunCli({"settings", "--link", "serial", "--com", "3"}, env);
    EXPECT_EQ(code, 0) << err.str();
    EXPECT_EQ(out.str().find("file " + (user / "Para.dat").string() + "\n"), 0u) << out.str();
    EXPECT_EQ(ReadAll(user / "Para.dat")[0], 2);
}

// A switch the jumper does not allow did nothing: that is no success.
TEST_F(CliTest, DownloadSwitchesRefusedByTheJumperExit5) {
    StartSim({"--jumper", "1"});
    for (const char* c : {"enter-download", "end-download"}) {
        const auto r = Cli({c});
        EXPECT_EQ(r.code, 5) << c;
        EXPECT_EQ(r.err,
                  "请将屏跳线,置1-OFF,2-OFF\nkorvane-cli: set the panel's jumpers to 1-OFF, "
                  "2-OFF first (korvane-cli status shows the position)\n")
            << c;
    }
}

// A long wait says what it waits for and how long it may take, and Ctrl-C
// ends it at once.
TEST_F(CliTest, EraseWaitIsReportedAndCtrlCEndsIt) {
    StartSim({"--delay", "0x8F=60000"});
    ChildProcess cli(KORVANE_CLI, LinkArgs({"--json", "erase"}));
    // Once a second: what is awaited and the most it may still take.
    ASSERT_TRUE(cli.WaitForOutput("{\"event\":\"wait\",\"for\":\"erase\",\"remaining_s\":499}\n",
                                  false, 5s))
        << cli.out() << cli.err();
    EXPECT_NE(cli.out().find("{\"event\":\"wait\",\"for\":\"erase\",\"remaining_s\":500}\n"),
              std::string::npos)
        << cli.out();
    const auto pressed = std::chrono::steady_clock::now();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(10s), 8);
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 500ms);
    EXPECT_NE(cli.out().find("{\"event\":\"verdict\",\"result\":\"RunCancelled\",\"code\":8}"),
              std::string::npos)
        << cli.out();
    EXPECT_EQ(cli.err(), "korvane-cli: cancelled\n");
}

TEST_F(CliTest, UsageErrorsExit64WithAUsageLine) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"bogus"},
                                               {"set-ip", "300.1.1.1", "80"},
                                               {"set-ip", "10.0.0.1", "0"},
                                               {"set-clock", "2021-02-30 00:00:00"},
                                               {"get-ip", "extra"},
                                               {"--udp"},
                                               {"--frobnicate", "status"}}) {
        const auto r = RunProgram(KORVANE_CLI, args);
        EXPECT_EQ(r.code, 64) << args.size();
        EXPECT_NE(r.err.find("usage: korvane-cli"), std::string::npos) << r.err;
    }
}

TEST_F(CliTest, HelpForTheToolAndEachCommand) {
    auto r = RunProgram(KORVANE_CLI, {"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("commands:"), std::string::npos);
    for (const char* c :
         {"status", "get-ip", "set-ip", "get-clock", "set-clock", "erase", "flash", "logo",
          "models", "enter-download", "end-download", "change-mac", "settings"}) {
        r = RunProgram(KORVANE_CLI, {c, "--help"});
        EXPECT_EQ(r.code, 0) << c;
        EXPECT_NE(r.out.find("example: korvane-cli"), std::string::npos) << c;
    }
}

TEST_F(CliTest, SettingsAreShownAndSaved) {
    auto r = Cli({"settings", "--link", "serial", "--com", "3"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("link serial\n"), std::string::npos);
    const Bytes saved = ReadAll(dir.path() / "Para.dat");
    ASSERT_EQ(saved.size(), 24u);
    EXPECT_EQ(saved[0], 2);
    EXPECT_EQ(saved[10], 3);
    r = Cli({"settings"});
    // The number is shown with the device it names on this machine now.
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("\ncom 3 \\((/dev/\\S+|no such device now)\\)\n")))
        << r.out;

    // Every serial device is listed under the COM number that names it.
    r = Cli({"ports"});
    EXPECT_EQ(r.code, 0);
    std::istringstream lines(r.out);
    int n = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("USB\t", 0) == 0)
            continue;
        EXPECT_EQ(line.rfind("COM" + std::to_string(++n) + "\t/dev/", 0), 0u) << line;
    }
}

TEST_F(CliTest, ModelsThatNoPanelCouldBeAreLeftOutWithAWarningEach) {
    auto model = [](const std::string& name, const std::string& w, const std::string& h) {
        return "<HMI_Type name=\"" + name + "\"><screen_size_cx>" + w +
               "</screen_size_cx><screen_size_cy>" + h + "</screen_size_cy></HMI_Type>";
    };
    std::ofstream(dir.path() / "models.xml")
        << "<ge><HMI_Types>" + model("Wide", "-800", "480") + model("Good", "800", "480") +
               model("Tab&#9;bed", "320", "240") + model("Good", "640", "480") +
               model("Huge", "2147483647", "0") + "</HMI_Types></ge>";
    const auto r = Cli({"--models", (dir.path() / "models.xml").string(), "models"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Good\t800x480\n");
    const std::string list =
        "korvane-cli: warning: the model list " + (dir.path() / "models.xml").string() + ": model ";
    EXPECT_EQ(r.err, list + "1 (\"Wide\") left out: width -800 is not 1 to 32767\n" + list +
                         "3 (\"Tab\\tbed\") left out: a control character in its name\n" + list +
                         "4 (\"Good\") left out: the name of an earlier model\n" + list +
                         "5 (\"Huge\") left out: width 2147483647 is not 1 to 32767; height 0 "
                         "is not 1 to 32767\n");
}

TEST_F(CliTest, ModelsFromAGivenFile) {
    std::ofstream(dir.path() / "models.xml")
        << "<ge><HMI_Types><HMI_Type id=\"1\" name=\"A &amp; B\"><screen_size_cx>800"
           "</screen_size_cx><screen_size_cy>480</screen_size_cy></HMI_Type></HMI_Types></ge>";
    auto r = Cli({"--models", (dir.path() / "models.xml").string(), "models"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "A & B\t800x480\n");
    r = Cli({"--models", (dir.path() / "none.xml").string(), "models"});
    EXPECT_EQ(r.code, 7);
}

#if KORVANE_QT
TEST_F(CliTest, LogoFileIsTheOneTheCoreWrites) {
    QImage picture(101, 50, QImage::Format_RGB32);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 101; ++x)
            picture.setPixelColor(x, y, QColor(x * 2, y * 5, 128));
    }
    const auto bmp = dir.path() / "start.bmp";
    ASSERT_TRUE(picture.save(QString::fromStdString(bmp.string()), "BMP"));
    const auto expected = dir.path() / "expected.logo";
    ASSERT_TRUE(WriteLogoFromPicture(bmp, 0x00800000, 800, 480, expected).ok());

    const auto r = Cli({"logo", bmp.string(), "--screen", "800x480", "--background", "000080"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, bmp.string() + ".logo\n");
    EXPECT_EQ(ReadAll(bmp.string() + ".logo"), ReadAll(expected));
}

// A PNG's header with no pixels: the size a decoder reads before any pixel.
std::string PngHeaderOnly(uint32_t width, uint32_t height) {
    auto crc32 = [](const std::string& bytes) {
        uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            crc ^= b;
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const std::string ihdr = "IHDR" + be32(width) + be32(height) + std::string("\x08\x02\0\0\0", 5);
    // An empty data chunk and the end: the header is whole, the pixels missing.
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(crc32(ihdr)) + be32(0) +
           "IDAT" + be32(crc32("IDAT")) + be32(0) + "IEND" + be32(crc32("IEND"));
}

TEST_F(CliTest, LogoRefusalsAndMissingPictures) {
    QImage big(321, 240, QImage::Format_RGB32);
    big.fill(Qt::white);
    const auto bmp = dir.path() / "big.bmp";
    ASSERT_TRUE(big.save(QString::fromStdString(bmp.string()), "BMP"));
    auto r = Cli({"logo", bmp.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.err,
              "图片尺寸大于触摸屏的大小，打开图片错误！\nkorvane-cli: the picture is 321 x 240, "
              "larger than the 320 x 240 screen: make it no larger than the screen\n");
    EXPECT_FALSE(std::filesystem::exists(bmp.string() + ".logo"));

    // Too large to decode at all, it is still measured and gets the same word.
    const auto huge = dir.path() / "huge.png";
    {
        std::ofstream out(huge, std::ios::binary);
        const std::string png = PngHeaderOnly(8000, 8000);
        out.write(png.data(), static_cast<std::streamsize>(png.size()));
    }
    r = Cli({"logo", huge.string(), "--screen", "800x480"});
    EXPECT_EQ(r.code, 7);
    EXPECT_NE(r.err.find("the picture is 8000 x 8000, larger than the 800 x 480 screen"),
              std::string::npos)
        << r.err;

    r = Cli({"logo", (dir.path() / "missing.bmp").string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 7);
    EXPECT_NE(r.err.find("cannot read the picture"), std::string::npos) << r.err;

    // The system's reason, not the decoder's "not found".
    const auto inside_a_file = bmp / "start.bmp";
    r = Cli({"flash", "logo", inside_a_file.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.err, "korvane-cli: cannot read the picture " + inside_a_file.string() +
                         ": Not a directory\n");
}
#else
// Without Qt nothing decodes pictures: both commands say so, exit as an
// unreadable picture does and write nothing.
TEST_F(CliTest, LogoConversionNeedsTheQtBuild) {
    const auto picture = dir.path() / "start.bmp";
    std::ofstream(picture) << "BM";
    const std::vector<std::vector<std::string>> commands = {
        {"logo", picture.string(), "--screen", "800x480"},
        {"flash", "logo", picture.string(), "--screen", "800x480"},
    };
    for (const auto& command : commands) {
        const auto r = Cli(command);
        EXPECT_EQ(r.code, 7) << command[0];
        EXPECT_EQ(r.out, "") << command[0];
        EXPECT_EQ(r.err,
                  "korvane-cli: logo conversion needs the Qt build of korvane-cli (configured "
                  "with KORVANE_QT=ON)\n")
            << command[0];
        EXPECT_FALSE(std::filesystem::exists(picture.string() + ".logo")) << command[0];
    }
}
#endif

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

class CliFlashTest : public CliTest {
  protected:
    std::filesystem::path WriteImage(const Bytes& bytes, const std::string& name) {
        const auto path = dir.path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // The simulator writes each finished image into this folder.
    std::filesystem::path Dumps() {
        const auto d = dir.path() / "dump";
        std::filesystem::create_directories(d);
        return d;
    }
};

// A panel quick enough to send its final result in the same read as the
// last acknowledgement: the result is heard, not lost to a time-out.
TEST_F(CliFlashTest, AQuickFinalResultOverSerialIsHeard) {
    StartSim({"--pty", "--burn-ms", "0", "--dump", Dumps().string()});
    std::smatch m;
    std::string out;
    for (int i = 0; i < 50; ++i) {
        out = sim_->out();
        if (std::regex_search(out, m, std::regex("pty (\\S+)\n")))
            break;
        sim_->WaitForOutput("never printed", false, 100ms);  // reads what came meanwhile
    }
    ASSERT_TRUE(std::regex_search(out, m, std::regex("pty (\\S+)\n"))) << out;
    const std::string pty = m[1];
    const Bytes kernel = RandomImage(1 << 20, 11);
    const auto r =
        RunProgram(KORVANE_CLI, {"--settings", (dir.path() / "Para.dat").string(), "--serial", pty,
                                 "flash", "kernel", WriteImage(kernel, "k.bin").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "下载完成，请等待烧写成功！\n更新完毕!\n");
    EXPECT_EQ(ReadAll(Dumps() / "image-kernel.bin"), kernel);
}

TEST_F(CliFlashTest, ProgramsEachKindAndThePanelHoldsTheImage) {
    // A burn of 150 ms: the final result comes well after the wait for it
    // begins, so the wait's event is there however loaded the machine is.
    StartSim({"--dump", Dumps().string(), "--burn-ms", "150"});
    const Bytes kernel = RandomImage(10000, 1);
    auto r = Cli({"flash", "kernel", WriteImage(kernel, "k.bin").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "下载完成，请等待烧写成功！\n更新完毕!\n");
    EXPECT_EQ(r.out, "programmed 10000 bytes\n");
    EXPECT_EQ(ReadAll(Dumps() / "image-kernel.bin"), kernel);

    const Bytes boot = RandomImage(4097, 2);
    r = Cli({"--json", "flash", "bootloader", WriteImage(boot, "b.bin").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(
        r.out,
        // The two long waits say what they wait for and their limit.
        "{\"event\":\"wait\",\"for\":\"flash_prepare\",\"remaining_s\":240}\n"
        "{\"event\":\"wait\",\"for\":\"final_result\",\"remaining_s\":120}\n"
        "{\"event\":\"message\",\"kind\":\"plain\",\"id\":\"update_done\",\"text\":\"更新完毕!\"}\n"
        "{\"event\":\"result\",\"bytes\":4097,\"packets\":5}\n"
        "{\"event\":\"verdict\",\"result\":\"Ok\",\"code\":0}\n");
    EXPECT_EQ(ReadAll(Dumps() / "image-bootloader.bin"), boot);

    const Bytes fs = RandomImage(3000, 3);
    r = Cli({"flash", "filesystem", WriteImage(fs, "f.bin").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAll(Dumps() / "image-filesystem.bin"), fs);
    EXPECT_TRUE(sim_->WaitForOutput("image kind 2 at 0x00280000-0x00280BB8", false, 5s))
        << sim_->out();
}

#if KORVANE_QT
TEST_F(CliFlashTest, LogoIsConvertedThenProgrammed) {
    StartSim({"--dump", Dumps().string()});
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(QColor(10, 200, 30));
    const auto bmp = dir.path() / "start.bmp";
    ASSERT_TRUE(picture.save(QString::fromStdString(bmp.string()), "BMP"));
    const auto r = Cli({"flash", "logo", bmp.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "更新完毕!\n");
    const Bytes logo = ReadAll(dir.path() / "start.bmp.logo");
    ASSERT_FALSE(logo.empty());
    EXPECT_EQ(ReadAll(Dumps() / "image-logo.bin"), logo);
}
#endif

TEST_F(CliFlashTest, RefusalsAndBadFilesExitWithTheirResult) {
    StartSim({"--jumper", "2"});
    const auto image = WriteImage(RandomImage(100, 4), "k.bin");
    auto r = Cli({"flash", "kernel", image.string()});
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.err,
              "请拨跳线1到指定位置\n进行系统更新\nkorvane-cli: programming needs the panel's "
              "jumper in the update position (korvane-cli status then prints \"jumper 1\")\n");

    r = Cli({"flash", "kernel", (dir.path() / "missing.bin").string()});
    EXPECT_EQ(r.code, 7);
    EXPECT_NE(r.err.find("cannot read the image"), std::string::npos) << r.err;

    r = Cli({"flash", "rootfs", image.string()});
    EXPECT_EQ(r.code, 64);
    EXPECT_NE(r.err.find("unknown image kind rootfs"), std::string::npos);

    r = RunProgram(KORVANE_CLI, {"--settings", (dir.path() / "Para.dat").string(), "--usb",
                                 "/dev/null", "flash", "kernel", image.string()});
    EXPECT_EQ(r.code, 6);
    EXPECT_EQ(r.err,
              "不能通过USB口进行烧写\nkorvane-cli: programming and erase need the udp or serial "
              "link (--udp IP or --serial DEVICE)\n");
}

// Under the address sanitizer an empty image once aborted the simulator
// (nothing to write from), and the tool waited for its final result.
TEST_F(CliFlashTest, AnEmptyImageLeavesAnEmptyDumpNamedByItsKind) {
    StartSim({"--dump", Dumps().string()});
    const auto r = Cli({"flash", "kernel", WriteImage({}, "empty.bin").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(sim_->WaitForOutput("image kind 1 at", false, 5s)) << sim_->out() << sim_->err();
    ASSERT_TRUE(std::filesystem::exists(Dumps() / "image-kernel.bin"))
        << sim_->out() << sim_->err();
    EXPECT_EQ(std::filesystem::file_size(Dumps() / "image-kernel.bin"), 0u);
    EXPECT_FALSE(std::filesystem::exists(Dumps() / "image-1.bin"));
}

// The simulator's pseudo-terminal disappears while the tool waits for a
// reply: a device lost during the run, not one that could not be opened.
TEST_F(CliTest, ASerialDeviceLostDuringTheRunIsAnIoErrorWithTheSystemsReason) {
    StartSim({"--pty", "--delay", "0x03=3000"});
    std::smatch m;
    std::string out;
    for (int i = 0; i < 50 && !std::regex_search(out, m, std::regex("pty (\\S+)\n")); ++i) {
        sim_->WaitForOutput("never printed", false, 100ms);
        out = sim_->out();
    }
    ASSERT_TRUE(std::regex_search(out, m, std::regex("pty (\\S+)\n"))) << out;
    const std::string pty = m[1];
    ChildProcess cli(KORVANE_CLI,
                     {"--settings", (dir.path() / "Para.dat").string(), "--serial", pty, "status"});
    std::this_thread::sleep_for(500ms);  // the request is out, the reply held back
    sim_->Signal(SIGKILL);
    sim_->Wait(5s);
    sim_.reset();
    EXPECT_EQ(cli.Wait(10s), 1) << cli.err();
    EXPECT_EQ(cli.out(), "");
    EXPECT_NE(cli.err().find("读取数据失败\n"), std::string::npos) << cli.err();
    EXPECT_TRUE(std::regex_search(
        cli.err(), std::regex("\nkorvane-cli: " + pty +
                              ": (Input/output error|end of file: the device hung up)\n")))
        << cli.err();
    EXPECT_EQ(cli.err().find("could not be opened"), std::string::npos) << cli.err();
}

TEST_F(CliFlashTest, AnImageThatWouldOverwriteTheNextIsRefusedUnlessForced) {
    StartSim({"--dump", Dumps().string()});
    const Bytes boot = RandomImage(0x80001, 7);
    const auto boot_file = WriteImage(boot, "kernel-picked-as-bootloader.bin");
    auto r = Cli({"--trace", "flash", "bootloader", boot_file.string()});
    EXPECT_EQ(r.code, 65);
    EXPECT_EQ(r.err,
              "korvane-cli: refused: the bootloader image is 524289 bytes (0x80001); from 0x0 it "
              "would overwrite the kernel at 0x80000 (at most 0x80000 bytes fit)\n"
              "korvane-cli: nothing was sent; --force sends it anyway\n");
    r = Cli(
        {"--trace", "flash", "kernel", WriteImage(RandomImage(0x200001, 8), "big.bin").string()});
    EXPECT_EQ(r.code, 65);
    EXPECT_EQ(r.err.find("] >"), std::string::npos) << "a frame was sent";
    EXPECT_TRUE(std::filesystem::is_empty(Dumps()));

    r = Cli({"--force", "flash", "bootloader", boot_file.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.rfind("korvane-cli: sent anyway (--force): the bootloader image", 0), 0u)
        << r.err;
    EXPECT_EQ(ReadAll(Dumps() / "image-bootloader.bin"), boot);

    r = Cli({"flash", "kernel", WriteImage({}, "empty.bin").string()});
    EXPECT_EQ(r.err.rfind("korvane-cli: warning: the kernel image is empty: nothing will be "
                          "written\n",
                          0),
              0u)
        << r.err;
}

TEST_F(CliFlashTest, CtrlCCancelsTheRunQuietly) {
    // Slow acknowledgements keep the run going long enough to interrupt it.
    StartSim({"--delay", "0x82=20", "--dump", Dumps().string()});
    const auto image = WriteImage(RandomImage(400 * 1024, 5), "k.bin");
    ChildProcess cli(KORVANE_CLI, LinkArgs({"flash", "bootloader", image.string()}));
    std::this_thread::sleep_for(500ms);
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(10s), 8);
    EXPECT_EQ(cli.err(), "korvane-cli: cancelled: the panel keeps what it had written so far\n");
    EXPECT_EQ(cli.out(), "");
    EXPECT_FALSE(std::filesystem::exists(Dumps() / "image-bootloader.bin"));

    // The panel serves the next run as usual.
    const auto small = WriteImage(RandomImage(2000, 6), "s.bin");
    const auto r = Cli({"flash", "bootloader", small.string()});
    EXPECT_EQ(r.code, 0) << r.err;
}

// Writes go to regular files only: a FIFO or a device in the settings
// file's place is named and left as it was; a link is followed.
TEST_F(CliTest, SettingsAreNeverWrittenOverWhatIsNoFile) {
    const auto fifo = dir.path() / "fifo.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    ChildProcess cli(KORVANE_CLI, {"--settings", fifo.string(), "settings", "--link", "udp", "--ip",
                                   "127.0.0.1", "--port", "5"});
    ASSERT_EQ(cli.Wait(10s), 7) << cli.err();
    EXPECT_NE(cli.err().find("korvane-cli: cannot write " + fifo.string() + ": is a FIFO"),
              std::string::npos)
        << cli.err();
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    const auto node = dir.path() / "full";
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        const auto r = RunProgram(KORVANE_CLI, {"--settings", node.string(), "settings", "--link",
                                                "udp", "--ip", "127.0.0.1", "--port", "5"});
        EXPECT_EQ(r.code, 7);
        EXPECT_NE(r.err.find(node.string() + ": is a character device"), std::string::npos)
            << r.err;
        EXPECT_TRUE(std::filesystem::is_character_file(node));
    }

    // A link keeps pointing at the file, which now holds the settings.
    const auto real = dir.path() / "real.dat";
    std::ofstream(real) << "";
    std::filesystem::create_symlink(real, dir.path() / "Para.dat");
    const auto r = Cli({"settings", "--link", "serial", "--com", "3"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "Para.dat"));
    const Bytes saved = ReadAll(real);
    ASSERT_EQ(saved.size(), 24u);
    EXPECT_EQ(saved[0], 2);
}

#if KORVANE_QT
TEST_F(CliTest, ALogoIsNeverWrittenOverAFifo) {
    QImage picture(10, 10, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const auto bmp = dir.path() / "p.bmp";
    ASSERT_TRUE(picture.save(QString::fromStdString(bmp.string()), "BMP"));
    const auto fifo = dir.path() / "out.logo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ChildProcess cli(KORVANE_CLI,
                     LinkArgs({"logo", bmp.string(), "--screen", "800x480", "-o", fifo.string()}));
    ASSERT_EQ(cli.Wait(10s), 7) << cli.err();
    EXPECT_NE(cli.err().find(fifo.string() + ": it is a FIFO, not a file; nothing was written"),
              std::string::npos)
        << cli.err();
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}
#endif

TEST_F(CliFlashTest, AnImageThatIsNoFileOrOfUnknownSizeIsRefusedAtOnce) {
    StartSim();
    const auto fifo = dir.path() / "k.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ChildProcess cli(KORVANE_CLI, LinkArgs({"flash", "kernel", fifo.string()}));
    ASSERT_EQ(cli.Wait(5s), 7) << "blocked on the FIFO? " << cli.err();
    EXPECT_EQ(cli.err(), "korvane-cli: cannot read the image " + fifo.string() + ": is a FIFO\n");

    std::error_code ec;
    if (std::filesystem::file_size("/proc/self/status", ec) == 0 && !ec) {
        const auto r = Cli({"flash", "kernel", "/proc/self/status"});
        EXPECT_EQ(r.code, 7);
        EXPECT_EQ(r.err,
                  "korvane-cli: cannot read the image /proc/self/status: its size cannot be known "
                  "(it reads as empty yet has content)\n");
    }
}

TEST_F(CliFlashTest, AnEmptyImagesFailedBurnIsHeardAtOnce) {
    StartSim({"--burn-ms", "100", "--fail-final", "1"});
    const auto empty = WriteImage({}, "empty.bin");
    const auto begun = std::chrono::steady_clock::now();
    auto r = Cli({"--force", "flash", "kernel", empty.string()});
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 3s);
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_NE(r.err.find("包校验错误,烧写失败\n"), std::string::npos) << r.err;
    r = Cli({"--force", "flash", "kernel", empty.string()});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST_F(CliFlashTest, AnImageChangedDuringTheRunExits9) {
    // Slow acknowledgements leave time to change the file mid-run.
    StartSim({"--delay", "0x82=100", "--dump", Dumps().string()});
    const auto image = WriteImage(RandomImage(10 * 1024, 8), "fs.bin");
    ChildProcess cli(KORVANE_CLI, LinkArgs({"flash", "bootloader", image.string()}));
    std::this_thread::sleep_for(400ms);
    WriteImage(RandomImage(10 * 1024, 9), "fs.bin");
    EXPECT_EQ(cli.Wait(20s), 9) << cli.err();
    EXPECT_NE(cli.err().find("烧写中文件被改动,其余未再发送\n"), std::string::npos) << cli.err();
    // The panel burnt nothing: the last packet never came.
    sim_->WaitForOutput("image kind", false, 500ms);
    EXPECT_EQ(sim_->out().find("image kind"), std::string::npos) << sim_->out();
    EXPECT_FALSE(std::filesystem::exists(Dumps() / "image-bootloader.bin"));
}

}  // namespace
}  // namespace korvane
