#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "settings/settings_file.h"
#include "support/temp_dir.h"
#include "system/program_files.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

void WriteAll(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

const Bytes kDefaults = {0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x55, 0x55, 0x01, 0x00,
                         0x00, 0xC2, 0x01, 0x00, 0,    0,    0,    0,    0,    0,    0,    0};

class SettingsTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    fs::path file() const { return dir.path() / "Para.dat"; }
};

TEST_F(SettingsTest, FirstStartWritesTheDefaults) {
    SettingsFile s(file());
    s.Load();
    EXPECT_EQ(ReadAll(file()), kDefaults);
    const LinkSettings link = s.record().ToLinkSettings();
    EXPECT_EQ(link.mode, LinkMode::Udp);
    EXPECT_EQ(link.address, 0xFFFFFFFFu);
    EXPECT_EQ(link.port, 21845);
    EXPECT_EQ(link.com, 1);
    EXPECT_EQ(link.baud, 115200u);
}

TEST_F(SettingsTest, SavedSettingsSurviveARestart) {
    {
        SettingsFile s(file());
        s.Load();
        s.record().link_mode = 2;
        s.record().address = {192, 168, 0, 100};
        s.record().com = 3;
        ASSERT_TRUE(s.Save());
    }
    SettingsFile again(file());
    again.Load();
    EXPECT_EQ(again.record().link_mode, 2u);
    EXPECT_EQ(again.record().ToLinkSettings().address, 0x6400A8C0u);
    EXPECT_EQ(again.record().com, 3);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(SettingsTest, AShortFileReplacesOnlyWhatItHolds) {
    WriteAll(file(), {0x02, 0x00, 0x00, 0x00, 10, 0, 0});  // 7 bytes
    SettingsFile s(file());
    s.record() = CommSettings::Defaults();
    s.Reload();
    EXPECT_EQ(s.record().link_mode, 2u);
    EXPECT_EQ(s.record().address, (std::array<uint8_t, 4>{10, 0, 0, 0xFF}));
    EXPECT_EQ(s.record().port, 21845);
    EXPECT_EQ(ReadAll(file()).size(), 7u);  // reading never writes
}

TEST_F(SettingsTest, ALongerFileIsReadOnlyUpToTheRecord) {
    Bytes big = kDefaults;
    big[0] = 3;
    big.resize(4096, 0xEE);
    WriteAll(file(), big);
    SettingsFile s(file());
    s.Load();
    EXPECT_EQ(s.record().link_mode, 3u);
    EXPECT_EQ(s.record().reserved, (std::array<uint8_t, 8>{}));
}

TEST_F(SettingsTest, ReloadKeepsTheRecordWhenTheFileIsGone) {
    SettingsFile s(file());
    s.record().link_mode = 2;
    s.Reload();
    EXPECT_EQ(s.record().link_mode, 2u);
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(SettingsTest, AnUnwritableFolderLosesNothingAndSaysSo) {
    WriteAll(dir.path() / "plain", {1});
    SettingsFile s(dir.path() / "plain" / "Para.dat");
    s.Load();  // defaults cannot be written: the record still holds them
    EXPECT_EQ(s.record().link_mode, 1u);
    EXPECT_FALSE(s.Save());
    EXPECT_EQ(s.SavePanelNetwork({}), LinkResult::FileError);
    EXPECT_EQ(ReadAll(dir.path() / "plain"), Bytes{1});
}

TEST_F(SettingsTest, AProgramNotOursReadsAndWritesNothing) {
    SettingsFile s(std::nullopt);
    s.Load();
    EXPECT_EQ(s.record().link_mode, 0u);
    EXPECT_FALSE(s.Save());
    EXPECT_EQ(s.SavePanelNetwork({}), LinkResult::PanelRefused);
}

TEST_F(SettingsTest, PanelNetworkRecordLayout) {
    SettingsFile s(file());
    PanelNetworkRecord r;
    r.address = ParseDottedLoose("192.168.0.100");
    r.port = ParsePortLoose("21845");
    r.gateway = ParseDottedLoose("192.168.0.1");
    r.mask = ParseDottedLoose("255.255.255.0");
    ASSERT_EQ(s.SavePanelNetwork(r), LinkResult::Ok);
    EXPECT_EQ(ReadAll(dir.path() / "PanelNet.dat"),
              (Bytes{0, 0, 0, 0, 0xC0, 0xA8, 0x00, 0x64, 0x55, 0x55, 0,   0,
                     0, 0, 0, 0, 192,  168,  0,    1,    255,  255,  255, 0}));
    EXPECT_FALSE(fs::exists(file()));
}

TEST(TextConversions, FollowTheLooseDecimalRule) {
    EXPECT_EQ(ParseDottedLoose("10.1.2.3"), (std::array<uint8_t, 4>{10, 1, 2, 3}));
    EXPECT_EQ(ParseDottedLoose("300.1"), (std::array<uint8_t, 4>{44, 1, 0, 0}));  // low 8 bits
    EXPECT_EQ(ParseDottedLoose(""), (std::array<uint8_t, 4>{}));
    EXPECT_EQ(ParsePortLoose("70000"), 70000 & 0xFFFF);
    EXPECT_EQ(ParsePortLoose(" 502x"), 502);
    EXPECT_EQ(ParsePortLoose("abc"), 0);
}

TEST(ProgramFiles, SettingsBesideTheProgramAreUsedWhenPresent) {
    testing::TempDir dir;
    WriteAll(dir.path() / "Para.dat", kDefaults);
    const SettingsFile s = SettingsFile::ForExecutable(dir.path() / "korvane");
    ASSERT_TRUE(s.path());
    EXPECT_EQ(*s.path(), dir.path() / "Para.dat");
    EXPECT_FALSE(SettingsFile::ForExecutable(dir.path() / "korvane-cli").path());
    // The command-line tool names its folder and finds the same file.
    const SettingsFile cli = SettingsFile::For(ProgramFiles::InFolder(dir.path()));
    ASSERT_TRUE(cli.path());
    EXPECT_EQ(*cli.path(), dir.path() / "Para.dat");
}

}  // namespace
}  // namespace korvane
