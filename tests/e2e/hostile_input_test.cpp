// korvane-cli under hostile input: names that are no UTF-8, termination
// signals, and settings files that cannot serve.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"

#if KORVANE_QT
#include <QColor>
#include <QImage>

#include "logo/logo_from_picture.h"
#endif

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using namespace std::chrono_literals;

// Whether the bytes are UTF-8 as RFC 3629 has it, checked here on its own
// terms rather than with the tool's escaping.
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
        size_t n = b(0) < 0x80                    ? 1
                   : b(0) >= 0xC2 && b(0) <= 0xDF ? 2
                   : b(0) >= 0xE0 && b(0) <= 0xEF ? 3
                   : b(0) >= 0xF0 && b(0) <= 0xF4 ? 4
                                                  : 0;
        if (n == 0 || i + n > text.size())
            return false;
        uint32_t c = n == 1 ? b(0) : b(0) & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            if ((b(k) & 0xC0) != 0x80)
                return false;
            c = c << 6 | (b(k) & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

constexpr char kCancelled[] = "{\"event\":\"verdict\",\"result\":\"RunCancelled\",\"code\":8}\n";

#if KORVANE_QT
// A picture under a name that holds byte 0xFF, which no UTF-8 text has.
class NoUtf8NameTest : public CliTest {
  protected:
    fs::path Picture() {
        QImage picture(30, 20, QImage::Format_RGB32);
        picture.fill(QColor(10, 200, 30));
        const auto plain = dir.path() / "plain.bmp";
        EXPECT_TRUE(picture.save(QString::fromStdString(plain.string()), "BMP"));
        const auto odd = dir.path() / "start\xFF.bmp";
        fs::copy_file(plain, odd);
        EXPECT_TRUE(
            WriteLogoFromPicture(plain, 0x00FFFFFF, 320, 240, dir.path() / "expected.logo").ok());
        return odd;
    }
};

TEST_F(NoUtf8NameTest, LogoAndFlashLogoTakeThePicture) {
    const auto picture = Picture();
    auto r = Cli({"logo", picture.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 0) << r.err;
    // The result line is the name itself, for a script to use.
    EXPECT_EQ(r.out, picture.string() + ".logo\n");
    EXPECT_EQ(ReadAll(picture.string() + ".logo"), ReadAll(dir.path() / "expected.logo"));

    // JSON shows the name escaped and stays UTF-8.
    const auto output = dir.path() / "out\xFE.logo";
    r = Cli({"--json", "logo", picture.string(), "--screen", "320x240", "-o", output.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(IsUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("out\\\\xFE.logo\"}"), std::string::npos) << r.out;
    EXPECT_EQ(ReadAll(output), ReadAll(dir.path() / "expected.logo"));

    StartSim({"--dump", (dir.path()).string()});
    r = Cli({"flash", "logo", picture.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "更新完毕!\n");
    EXPECT_EQ(ReadAll(dir.path() / "image-logo.bin"), ReadAll(dir.path() / "expected.logo"));
}
#endif

TEST(NoUtf8Json, AFailureNamingTheFileStaysUtf8WithTheNameEscaped) {
    testing::TempDir dir;
    const auto missing = dir.path() / "missing\xFF.bmp";
    auto r = testing::RunProgram(KORVANE_CLI, {"--json", "--models", missing.string(), "models"});
    EXPECT_EQ(r.code, 7);
    EXPECT_TRUE(IsUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("cannot read the model list " + dir.path().string() +
                         "/missing\\\\xFF.bmp: No such file or directory"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"event\":\"verdict\",\"result\":\"FileError\",\"code\":7}"),
              std::string::npos)
        << r.out;
    // The person on the terminal reads the same escape.
    EXPECT_NE(r.err.find("missing\\xFF.bmp"), std::string::npos) << r.err;

#if KORVANE_QT
    r = testing::RunProgram(KORVANE_CLI,
                            {"--json", "logo", missing.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 7);
    EXPECT_TRUE(IsUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("cannot read the picture " + dir.path().string() + "/missing\\\\xFF.bmp"),
              std::string::npos)
        << r.out;
#endif

    r = testing::RunProgram(KORVANE_CLI, {"--json", "--settings", missing.string(), "flash",
                                          "kernel", missing.string()});
    EXPECT_EQ(r.code, 7);
    EXPECT_TRUE(IsUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("cannot read the image " + dir.path().string() + "/missing\\\\xFF.bmp"),
              std::string::npos)
        << r.out;

    // A word typed is no name, but the same holds for it.
    r = testing::RunProgram(KORVANE_CLI, {"--json", "\xC3", "\xFF\xFE"});
    EXPECT_EQ(r.code, 64);
    EXPECT_TRUE(IsUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("unknown command \\\\xC3"), std::string::npos) << r.out;
}

TEST_F(CliTest, SettingsNamedByBytesThatAreNoUtf8AreReadAndWritten) {
    const auto para = dir.path() / "Para\xFF.dat";
    auto r = testing::RunProgram(KORVANE_CLI, {"--settings", para.string(), "settings", "--link",
                                               "udp", "--ip", "192.168.0.7"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAll(para).size(), 24u);
    r = testing::RunProgram(KORVANE_CLI, {"--json", "--settings", para.string(), "settings"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(IsUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("Para\\\\xFF.dat\",\"link\":\"udp\",\"ip\":\"192.168.0.7\""),
              std::string::npos)
        << r.out;
}

// A supervisor's SIGTERM and a closed terminal's SIGHUP cancel as Ctrl-C
// does: the link is closed and the run ends with its one verdict.
TEST_F(CliTest, TerminationSignalsCancelAFlashRunWithOneVerdict) {
    // Slow acknowledgements keep the run going long enough to stop it.
    StartSim({"--delay", "0x82=20"});
    Bytes image(400 * 1024, 0x5A);
    WriteAll(dir.path() / "boot.bin", image);
    for (const int signal : {SIGTERM, SIGHUP}) {
        ChildProcess cli(KORVANE_CLI, LinkArgs({"--json", "flash", "bootloader",
                                                (dir.path() / "boot.bin").string()}));
        ASSERT_TRUE(cli.WaitForOutput("\"for\":\"flash_prepare\"", false, 5s)) << cli.err();
        std::this_thread::sleep_for(300ms);
        cli.Signal(signal);
        EXPECT_EQ(cli.Wait(10s), 8) << signal;
        EXPECT_EQ(Count(cli.out(), "\"event\":\"verdict\""), 1u) << cli.out();
        EXPECT_EQ(cli.out().substr(cli.out().size() - std::string(kCancelled).size()), kCancelled)
            << cli.out();
        EXPECT_EQ(cli.err(), "korvane-cli: cancelled: the panel keeps what it had written so far\n")
            << signal;
    }
}

// Every command ends with its verdict, not only flash: here each waits for
// a panel that never answers.
TEST_F(CliTest, EveryCommandWaitingForAPanelEndsWithItsVerdictOnSigterm) {
    StartSim({"--drop", "0x21", "--drop", "0x8F", "--drop", "0x03"});
    const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"get-ip", LinkArgs({"--json", "get-ip"})},
        {"erase", LinkArgs({"--json", "erase"})},
        {"discover",
         {"--json", "discover", "--range", "127.0.0.1-1", "--port", port_, "--wait", "20000"}},
    };
    for (const auto& [command, args] : commands) {
        ChildProcess cli(KORVANE_CLI, args);
        // Long enough to be waiting for the answer.
        cli.WaitForOutput("never printed", false, 400ms);
        const auto sent = std::chrono::steady_clock::now();
        cli.Signal(SIGTERM);
        EXPECT_EQ(cli.Wait(10s), 8) << command;
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s) << command;
        EXPECT_EQ(Count(cli.out(), "\"event\":\"verdict\""), 1u) << cli.out();
        EXPECT_NE(cli.out().find(kCancelled), std::string::npos) << cli.out();
        EXPECT_EQ(cli.err(), "korvane-cli: cancelled\n") << command;
    }
}

// `settings` shows nothing of a file that cannot serve: it names the file and
// the command that mends it, as every other command does.
TEST_F(CliTest, SettingsNamesAFileThatCannotServeWithItsFix) {
    const auto para = dir.path() / "Para.dat";
    // udp 192.168.0.7:21845, COM1, baud 3661490713.
    Bytes garbled_baud(24, 0);
    garbled_baud[0] = 1;
    const uint8_t rest[] = {192, 168, 0, 7, 0x55, 0x55, 0x01, 0, 0x19, 0xEA, 0x3D, 0xDA};
    std::copy(std::begin(rest), std::end(rest), garbled_baud.begin() + 4);
    Bytes link_nine = garbled_baud;
    link_nine[0] = 9;
    link_nine[12] = 0x00;  // 115200
    link_nine[13] = 0xC2;
    link_nine[14] = 0x01;
    link_nine[15] = 0x00;
    const std::vector<std::pair<Bytes, std::string>> files = {
        {{}, " is empty"},
        {{1, 0, 0, 0, 192, 168, 0}, " is 7 bytes long, not 24"},
        {garbled_baud, " names no baud rate the serial link can set (baud 3661490713)"},
        {link_nine, " names no link (link mode 9; 1 is udp, 2 serial, 3 usb)"},
    };
    for (const auto& [bytes, because] : files) {
        WriteAll(para, bytes);
        auto r = Cli({"settings"});
        EXPECT_EQ(r.code, 7) << because;
        EXPECT_EQ(r.out, "") << because;
        EXPECT_EQ(r.err, "korvane-cli: settings file " + para.string() + because +
                             "; choose the link with korvane-cli settings --link udp --ip IP "
                             "--port 21845 (or --link serial --com N, --link usb)\n");
        r = Cli({"--json", "settings"});
        EXPECT_EQ(r.code, 7) << because;
        EXPECT_EQ(r.out.find("\"event\":\"result\""), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("{\"event\":\"verdict\",\"result\":\"FileError\",\"code\":7}"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(ReadAll(para), bytes) << "only read";

        // A change writes a fresh file: the defaults and the value given.
        r = Cli({"settings", "--ip", "10.0.0.9"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "korvane-cli: warning: settings file " + para.string() + because +
                             "; writing a fresh file from the defaults and the values given\n");
        EXPECT_EQ(r.out.substr(r.out.find("\nlink")),
                  "\nlink udp\nip 10.0.0.9\nport 21845\ncom 1 (" +
                      r.out.substr(r.out.find("com 1 (") + 7));
        const Bytes fresh = {0x01, 0,    0,    0,    10, 0, 0, 9, 0x55, 0x55, 0x01, 0,
                             0x00, 0xC2, 0x01, 0x00, 0,  0, 0, 0, 0,    0,    0,    0};
        EXPECT_EQ(ReadAll(para), fresh) << because;
        r = Cli({"settings"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }

    fs::remove(para);
    fs::create_directory(para);
    auto r = Cli({"settings"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("korvane-cli: settings file " + para.string() +
                              " is a folder, not a file; choose the link with",
                          0),
              0u)
        << r.err;
    // Nothing can be written in a folder's place: said, and nothing shown.
    r = Cli({"settings", "--link", "udp"});
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("korvane-cli: cannot write " + para.string() + ": "), std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::is_directory(para));
}

}  // namespace
}  // namespace korvane
