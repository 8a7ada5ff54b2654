#include "models/panel_models.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/platform_names.h"
#include "system/program_files.h"
#include "xml/utf8.h"

namespace korvane {

void PrintTo(const PanelModel& t, std::ostream* os) {
    *os << "{" << t.id << ", \"" << EncodeUtf8(t.name) << "\", " << t.screen_width << "x"
        << t.screen_height << "}";
}

namespace {

class PanelModelsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("korvane_models_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& bytes) {
        const auto path = dir_ / ("XMLName" + std::to_string(files_++) + ".dat");
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path dir_;
    int files_ = 0;
};

std::string Model(const std::string& attributes, const std::string& children) {
    return "<HMI_Type " + attributes + ">" + children + "</HMI_Type>";
}

std::string ModelFile(const std::string& models) {
    return "<ge><HMI_Types>" + models + "</HMI_Types></ge>";
}

struct FileCase {
    const char* what;
    std::string bytes;
    bool loaded;
    std::vector<PanelModel> models;
    std::vector<PanelModel> refused = {};  // as read, left out for impossible values
};

TEST_F(PanelModelsFile, ReadsModelsAsTheFileGivesThem) {
    const std::string sizes =
        "<screen_size_cx>800</screen_size_cx><screen_size_cy>480</screen_size_cy>";
    const FileCase cases[] = {
        {"one model",
         ModelFile(Model("id='3' name='Seven'", sizes)),
         true,
         {{3, u"Seven", 800, 480}}},
        {"byte-order mark and declaration",
         "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n" +
             ModelFile(Model("id='1' name='A'", sizes)),
         true,
         {{1, u"A", 800, 480}}},
        {"models in file order, other children skipped",
         ModelFile(Model("id='1' name='A'", sizes) + "<Other id='9'/>" +
                   Model("id='2' name='B'",
                         "<screen_size_cx>320</screen_size_cx>"
                         "<screen_size_cy>240</screen_size_cy>")),
         true,
         {{1, u"A", 800, 480}, {2, u"B", 320, 240}}},
        {"references in the name",
         ModelFile(Model("name='A &amp; B'", sizes)),
         true,
         {{0, u"A & B", 800, 480}}},
        {"non-ASCII name",
         ModelFile(Model("name='\xE4\xB8\xAD'", sizes)),
         true,
         {{0, u"\u4E2D", 800, 480}}},
        {"missing attributes and sizes", ModelFile("<HMI_Type/>"), true, {}, {{0, u"", 0, 0}}},
        {"height before width is not found",
         ModelFile(Model("id='1' name='A'",
                         "<screen_size_cy>480</screen_size_cy>"
                         "<screen_size_cx>800</screen_size_cx>")),
         true,
         {},
         {{1, u"A", 800, 0}}},
        {"height without width",
         ModelFile(Model("name='A'", "<screen_size_cy>480</screen_size_cy>")),
         true,
         {},
         {{0, u"A", 0, 480}}},
        {"size with child elements gives 0",
         ModelFile(Model("name='A'",
                         "<screen_size_cx>800<b/></screen_size_cx>"
                         "<screen_size_cy>480</screen_size_cy>")),
         true,
         {},
         {{0, u"A", 0, 480}}},
        {"only the first HMI_Types is read",
         "<ge><HMI_Types>" + Model("id='1' name='A'", sizes) + "</HMI_Types><HMI_Types>" +
             Model("id='2' name='B'", sizes) + "</HMI_Types></ge>",
         true,
         {{1, u"A", 800, 480}}},
        {"HMI_Types after other children",
         "<ge><x/>" + std::string("<HMI_Types>") + Model("id='4' name='D'", sizes) +
             "</HMI_Types></ge>",
         true,
         {{4, u"D", 800, 480}}},
        {"empty model list", ModelFile(""), true, {}},
        {"root HMI_Types without ge",
         "<HMI_Types>" + Model("id='1'", "") + "</HMI_Types>",
         false,
         {}},
        {"root named otherwise",
         "<gex><HMI_Types>" + Model("id='1'", "") + "</HMI_Types></gex>",
         false,
         {}},
        {"no HMI_Types", "<ge><HMI_Typesx/></ge>", false, {}},
        {"document not sound", "<ge><HMI_Types>" + Model("id='1'", ""), false, {}},
        {"two roots", ModelFile(Model("id='1'", "")) + "<ge/>", false, {}},
        {"empty file", "", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<PanelModel> models{{7, u"stale", 1, 1}};
        std::vector<PanelModelRefusal> refused(1);
        EXPECT_EQ(LoadPanelModels(Write(c.bytes), models, &refused), c.loaded) << c.what;
        EXPECT_EQ(models, c.models) << c.what;
        std::vector<PanelModel> refused_models;
        for (const auto& r : refused)
            refused_models.push_back(r.model);
        EXPECT_EQ(refused_models, c.refused) << c.what;
    }
}

// Each impossible model is left out with all its faults; the good ones stay.
TEST_F(PanelModelsFile, ImpossibleModelsAreRefusedOneByOne) {
    auto sized = [](const std::string& name, const std::string& w, const std::string& h) {
        return Model(
            "name='" + name + "'",
            "<screen_size_cx>" + w + "</screen_size_cx><screen_size_cy>" + h + "</screen_size_cy>");
    };
    const std::string file =
        ModelFile(sized("Negative", "-800", "480") + sized("Zero", "0", "0") +
                  sized("Saturated", "2147483647", "480") + sized("Edge", "32767", "1") +
                  sized("Over", "32768", "480") + sized("", "800", "480") +
                  sized("Tab&#9;bed", "800", "480") + sized("Del\x7F", "800", "480") +
                  sized("Edge", "800", "480") + sized("Fine", "800", "480"));
    std::vector<PanelModel> models;
    std::vector<PanelModelRefusal> refused;
    ASSERT_TRUE(LoadPanelModels(Write(file), models, &refused));
    EXPECT_EQ(models, (std::vector<PanelModel>{{0, u"Edge", 32767, 1}, {0, u"Fine", 800, 480}}));
    using F = PanelModelFault;
    struct Expected {
        size_t position;
        std::u16string name;
        std::vector<PanelModelFault> faults;
    };
    const std::vector<Expected> expected = {
        {1, u"Negative", {F::BadWidth}},
        {2, u"Zero", {F::BadWidth, F::BadHeight}},
        {3, u"Saturated", {F::BadWidth}},
        {5, u"Over", {F::BadWidth}},
        {6, u"", {F::EmptyName}},
        {7, u"Tab\tbed", {F::ControlInName}},
        {8, u"Del\x7F", {F::ControlInName}},
        {9, u"Edge", {F::DuplicateName}},
    };
    ASSERT_EQ(refused.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(refused[i].position, expected[i].position) << i;
        EXPECT_EQ(refused[i].model.name, expected[i].name) << i;
        EXPECT_EQ(refused[i].faults, expected[i].faults) << i;
    }
    // Without a list for them, they are still left out.
    std::vector<PanelModel> quiet;
    ASSERT_TRUE(LoadPanelModels(Write(file), quiet));
    EXPECT_EQ(quiet, models);
}

TEST_F(PanelModelsFile, MissingFileGivesNoModels) {
    std::vector<PanelModel> models;
    EXPECT_FALSE(LoadPanelModels(dir_ / "XMLName.dat", models));
    EXPECT_TRUE(models.empty());
}

TEST_F(PanelModelsFile, ModelFileBesideTheProgram) {
    const auto program = dir_ / testing::kProgramFileName;
    const auto file = PanelModelsFileFor(program);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(*file, dir_ / "XMLName.dat");
    std::ofstream(*file, std::ios::binary)
        << ModelFile(Model("id='5' name='Five'",
                           "<screen_size_cx>5</screen_size_cx><screen_size_cy>5</screen_size_cy>"));
    std::vector<PanelModel> models;
    EXPECT_TRUE(LoadPanelModels(*file, models));
    EXPECT_EQ(models, (std::vector<PanelModel>{{5, u"Five", 5, 5}}));
}

TEST(HmiNumber, ConvertsLikeTheModelFileExpects) {
    struct Case {
        std::u16string_view text;
        int32_t value;
    };
    const Case cases[] = {
        {u"800", 800},
        {u" 800 ", 800},
        {u"\n\t800", 800},
        {u"800px", 800},
        {u"px", 0},
        {u"", 0},
        {u"-5", -5},
        {u"+7", 7},
        {u"- 5", 0},
        {u"1 2", 1},
        {u"0x20", 0},
        {u"2147483647", 2147483647},
        {u"99999999999", 2147483647},
        {u"-99999999999", -2147483647 - 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParsePanelModelNumber(c.text), c.value) << EncodeUtf8(c.text);
    }
}

// The name rule itself is the program files' (tests/system); here only that
// the model list follows it and is named XMLName.dat.
TEST(PanelModelsPath, TheModelFileLiesBesideTheProgram) {
    EXPECT_EQ(
        PanelModelsFileFor(std::filesystem::path("/Opt/My Tools") / testing::kProgramFileName),
        std::filesystem::path("/Opt/My Tools/XMLName.dat"));
    EXPECT_FALSE(PanelModelsFileFor("/opt/tools/korvane-cli"));
    EXPECT_EQ(PanelModelsFileIn(ProgramFiles::InFolder("/opt/tools")),
              std::filesystem::path("/opt/tools/XMLName.dat"));
}

// This test program is not the program itself, so nothing beside it is read,
// although the shipped model file lies there.
TEST(PanelModelsPath, TestProgramFindsNoModelFile) {
    const auto self = RunningExecutable();
    ASSERT_FALSE(self.empty());
    ASSERT_TRUE(std::filesystem::exists(self.parent_path() / "XMLName.dat"));
    std::vector<PanelModel> models{{1, u"stale", 1, 1}};
    EXPECT_FALSE(LoadPanelModels(models));
    EXPECT_TRUE(models.empty());
}

TEST(ShippedModelFile, ListsTheCommonPanelSizes) {
    const auto file = RunningExecutable().parent_path() / "XMLName.dat";
    std::vector<PanelModel> models;
    ASSERT_TRUE(LoadPanelModels(file, models));
    const std::vector<PanelModel> expected = {
        {1, u"320 x 240", 320, 240},   {2, u"480 x 272", 480, 272},   {3, u"640 x 480", 640, 480},
        {4, u"800 x 480", 800, 480},   {5, u"800 x 600", 800, 600},   {6, u"1024 x 600", 1024, 600},
        {7, u"1024 x 768", 1024, 768}, {8, u"1280 x 800", 1280, 800},
    };
    EXPECT_EQ(models, expected);
}

}  // namespace
}  // namespace korvane
