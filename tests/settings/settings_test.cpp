#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "support/platform_names.h"
#include "support/scoped_env.h"
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
    const SettingsFile s = SettingsFile::ForExecutable(dir.path() / testing::kProgramFileName);
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

namespace korvane {
namespace {

TEST_F(SettingsTest, SaysWhyARecordCannotServeAsTheLinksSettings) {
    Bytes no_link = kDefaults;
    no_link[0] = 0;
    Bytes garbage(24, 'A');
    Bytes udp_nowhere(24, 0);
    udp_nowhere[0] = 1;
    Bytes garbled_baud = kDefaults;
    garbled_baud[12] = 0x19;  // 3661490713, little-endian
    garbled_baud[13] = 0xEA;
    garbled_baud[14] = 0x3D;
    garbled_baud[15] = 0xDA;
    Bytes slow_serial = kDefaults;
    slow_serial[0] = 2;
    slow_serial[12] = 0x80;  // 9600
    slow_serial[13] = 0x25;
    slow_serial[14] = slow_serial[15] = 0;
    struct Case {
        const char* name;
        Bytes bytes;
        const char* because;  // empty: usable
    };
    const Case cases[] = {
        {"sound", kDefaults, ""},
        {"empty", {}, " is empty"},
        {"short", {1, 0, 0, 0, 192}, " is 5 bytes long, not 24"},
        {"long", Bytes(100, 1), " is 100 bytes long, not 24"},
        {"no link", no_link, " names no link (link mode 0; 1 is udp, 2 serial, 3 usb)"},
        {"garbage", garbage, " names no link (link mode 1094795585; 1 is udp, 2 serial, 3 usb)"},
        {"udp to nowhere", udp_nowhere,
         " names no panel to reach over udp (address 0.0.0.0, port 0)"},
        {"garbled baud", garbled_baud,
         " names no baud rate the serial link can set (baud 3661490713)"},
        {"another rate a port takes", slow_serial, ""},
    };
    for (const Case& c : cases) {
        WriteAll(file(), c.bytes);
        SettingsFile s(file());
        s.Load();
        const std::string expected =
            *c.because ? "settings file " + file().string() + c.because : std::string();
        EXPECT_EQ(s.UnusableBecause(), expected) << c.name;
    }

    fs::remove(file());
    fs::create_directory(file());
    SettingsFile folder(file());
    folder.Load();
    EXPECT_EQ(folder.UnusableBecause(),
              "settings file " + file().string() + " is a folder, not a file");
    EXPECT_FALSE(folder.Save());
    EXPECT_TRUE(folder.write_error());

    // Defaults just written are sound.
    SettingsFile fresh(dir.path() / "new" / "Para.dat");
    fresh.Load();
    EXPECT_EQ(fresh.UnusableBecause(), "");
}

TEST_F(SettingsTest, APanelNetworkRecordThatCannotBeWrittenKeepsTheSystemsReason) {
    fs::create_directory(dir.path() / "PanelNet.dat");
    fs::create_directory(dir.path() / "PanelNet.dat" / "inside");
    SettingsFile s(file());
    EXPECT_EQ(s.SavePanelNetwork(PanelNetworkRecord{}), LinkResult::FileError);
    EXPECT_TRUE(s.write_error());
    EXPECT_FALSE(s.write_error().message().empty());
}

bool NeverWritable(const fs::path&) {
    return false;
}

class InstalledProgramTest : public SettingsTest {
  protected:
    void SetUp() override { fs::create_directory(program()); }
    fs::path program() const { return dir.path() / "opt"; }
    fs::path user() const { return dir.path() / "config" / "korvane"; }

    testing::ScopedEnv config_home{testing::kUserConfigVariable, (dir.path() / "config").string()};
};

TEST_F(InstalledProgramTest, ShippedSettingsAreReadAndTheUsersOwnAreWrittenToTheUsersFolder) {
    Bytes shipped = kDefaults;
    shipped[0] = 2;  // serial
    WriteAll(program() / "Para.dat", shipped);
    SettingsFile s = SettingsFile::For(ProgramFiles::InFolder(program(), &NeverWritable));
    ASSERT_TRUE(s.path());
    EXPECT_EQ(*s.path(), user() / "Para.dat");
    s.Load();
    EXPECT_EQ(s.record().link_mode, 2u);
    EXPECT_FALSE(fs::exists(user() / "Para.dat"));  // reading wrote nothing

    s.record().com = 4;
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(ReadAll(user() / "Para.dat")[10], 4);
    EXPECT_EQ(ReadAll(program() / "Para.dat"), shipped);
    EXPECT_EQ(s.SavePanelNetwork(PanelNetworkRecord{}), LinkResult::Ok);
    EXPECT_TRUE(fs::exists(user() / "PanelNet.dat"));
    EXPECT_FALSE(fs::exists(program() / "PanelNet.dat"));

    // From now on the user's copy is the one read.
    SettingsFile again = SettingsFile::For(ProgramFiles::InFolder(program(), &NeverWritable));
    again.Load();
    EXPECT_EQ(again.record().com, 4u);
}

TEST_F(InstalledProgramTest, AProgramFolderThatIsNoFolderSendsEverythingToTheUsersFolder) {
    WriteAll(dir.path() / "plain", {1});
    SettingsFile s = SettingsFile::For(ProgramFiles::InFolder(dir.path() / "plain"));
    ASSERT_TRUE(s.path());
    EXPECT_EQ(*s.path(), user() / "Para.dat");
    s.Load();
    EXPECT_EQ(ReadAll(user() / "Para.dat"), kDefaults);
}

}  // namespace
}  // namespace korvane
