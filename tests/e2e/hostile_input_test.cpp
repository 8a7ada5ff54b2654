// korvane-cli under hostile input: names that are no UTF-8.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
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
    EXPECT_EQ(ReadAll(dir.path() / "image-5.bin"), ReadAll(dir.path() / "expected.logo"));
}
#endif

TEST(NoUtf8Json, AFailureNamingTheFileStaysUtf8WithTheNameEscaped) {
    testing::TempDir dir;
    const auto missing = dir.path() / "missing\xFF.bmp";
    auto r = testing::RunProgram(KORVANE_CLI,
                                 {"--json", "logo", missing.string(), "--screen", "320x240"});
    EXPECT_EQ(r.code, 7);
    EXPECT_TRUE(IsUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("missing\\\\xFF.bmp"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"event\":\"verdict\",\"result\":\"FileError\",\"code\":7}"),
              std::string::npos)
        << r.out;
    // The person on the terminal reads the same escape.
    EXPECT_NE(r.err.find("missing\\xFF.bmp"), std::string::npos) << r.err;

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

}  // namespace
}  // namespace korvane
