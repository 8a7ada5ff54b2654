#include "logo/logo_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <array>
#include <csignal>

#include "test_files.h"

namespace korvane {
namespace {

using test::Le16At;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// A render callback that fills the canvas with one colour and remembers what it got.
struct Painter {
    uint32_t fill = 0;
    bool paint = true;
    int calls = 0;
    int width = -1, height = -1;
    bool canvasWasBlack = false;

    LogoRender Callback() {
        return [this](Canvas& canvas) {
            ++calls;
            width = canvas.width;
            height = canvas.height;
            canvasWasBlack = true;
            for (uint32_t p : canvas.pixels)
                canvasWasBlack = canvasWasBlack && p == kCanvasBlack;
            if (paint) {
                for (uint32_t& p : canvas.pixels)
                    p = fill;
            }
            return true;
        };
    }
};

struct FileCase {
    const char* what;
    int picture_width, picture_height;
    uint32_t background;
    int screen_width, screen_height;
    bool paint;
    uint32_t fill;  // canvas colour when painting
    std::array<uint8_t, 16> header;
    int canvasW;
    uint16_t pixel;  // every pixel of the area
    size_t fileSize;
};

TEST(LogoFile, WritesHeaderRowsAndTrailingZeros) {
    const FileCase cases[] = {
        {"100x50 white on 800x480",
         100,
         50,
         0x00FFFFFF,
         800,
         480,
         true,
         0xFFFFFFFF,
         {0x5E, 0x01, 0xD7, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00, 0x10, 0xFF, 0xFF, 0xDA, 0x02, 0x00,
          0x00},
         100,
         0xFFFF,
         10216},
        {"101x50 black, nothing painted",
         101,
         50,
         0x00000000,
         800,
         480,
         false,
         0,
         {0x5D, 0x01, 0xD7, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00, 0x10, 0x21, 0x08, 0xFB, 0x0A, 0x00,
          0x00},
         100,
         0x0821,
         10216},
        {"103x60 red on 320x240",
         103,
         60,
         0x000000FF,
         320,
         240,
         true,
         0xFFFF0000,
         {0x6C, 0x00, 0x5A, 0x00, 0x68, 0x00, 0x3C, 0x00, 0x00, 0x10, 0x00, 0xF8, 0x7A, 0xF9, 0xFF,
          0xFF},
         104,
         0xF800,
         16 + 60 * (2 * 104 + 4)},
        {"green picture as large as the screen",
         320,
         240,
         0x00FF0000,
         320,
         240,
         true,
         0xFF00FF00,
         {0x00, 0x00, 0x00, 0x00, 0x40, 0x01, 0xF0, 0x00, 0x00, 0x10, 0x1F, 0x00, 0x5F, 0x02, 0x00,
          0x00},
         320,
         0x07E0,
         16 + 240 * (2 * 320 + 4)},
        {"blue",
         2,
         1,
         0x00000000,
         2,
         1,
         true,
         0xFF0000FF,
         {0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x10, 0x21, 0x08, 0x34, 0x08, 0x00,
          0x00},
         2,
         0x001F,
         16 + 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Painter painter{c.fill, c.paint};
        const auto result =
            WriteLogoFile(dir / "start.bmp", c.picture_width, c.picture_height, c.background,
                          c.screen_width, c.screen_height, painter.Callback());
        ASSERT_TRUE(result.ok()) << result.message;
        EXPECT_EQ(result.logo_path, dir / "start.bmp.logo");
        EXPECT_EQ(painter.calls, 1);
        EXPECT_EQ(painter.width, c.canvasW);
        EXPECT_EQ(painter.height, c.picture_height);
        EXPECT_TRUE(painter.canvasWasBlack);

        const auto bytes = ReadBytes(dir / "start.bmp.logo");
        ASSERT_EQ(bytes.size(), c.fileSize);
        EXPECT_TRUE(std::equal(c.header.begin(), c.header.end(), bytes.begin()));
        const size_t pixelEnd = 16 + 2 * static_cast<size_t>(c.canvasW) * c.picture_height;
        size_t wrongPixels = 0;
        for (size_t i = 16; i < pixelEnd; i += 2)
            wrongPixels += Le16At(bytes, i) != c.pixel;
        EXPECT_EQ(wrongPixels, 0u);
        size_t nonZeroTail = 0;
        for (size_t i = pixelEnd; i < bytes.size(); ++i)
            nonZeroTail += bytes[i] != 0;
        EXPECT_EQ(bytes.size() - pixelEnd, 4u * c.picture_height);
        EXPECT_EQ(nonZeroTail, 0u);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"start.bmp.logo"}) << "no temporary left";
    }
}

TEST(LogoFile, OnePixelWidePictureHasOnlyZeroBytesAndIsNotRendered) {
    TempDir dir;
    Painter painter{0xFFFFFFFF};
    const auto result = WriteLogoFile(dir / "line.gif", 1, 3, 0, 100, 100, painter.Callback());
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(painter.calls, 0);
    const auto bytes = ReadBytes(result.logo_path);
    ASSERT_EQ(bytes.size(), 16u + 12u);
    EXPECT_EQ(Le16At(bytes, 4), 0) << "width";
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 16, bytes.end()), std::vector<uint8_t>(12, 0));
}

TEST(LogoFile, ReplacesALongerLogoFileCompletely) {
    TempDir dir;
    WriteBytes(dir / "a.bmp.logo", std::vector<uint8_t>(20000, 0xAA));
    Painter painter{0xFFFFFFFF};
    ASSERT_TRUE(
        WriteLogoFile(dir / "a.bmp", 100, 50, 0x00FFFFFF, 800, 480, painter.Callback()).ok());
    const auto bytes = ReadBytes(dir / "a.bmp.logo");
    ASSERT_EQ(bytes.size(), 10216u);
    EXPECT_EQ(bytes[0], 0x5E);
    EXPECT_EQ(bytes.back(), 0x00);
}

struct FailureCase {
    const char* what;
    int picture_width;
    LogoRender render;
    LogoWriteStatus expected;
};

TEST(LogoFile, FailureLeavesThePreviousLogoAndNoOtherFile) {
    const std::vector<uint8_t> previous(300, 0x5A);
    const FailureCase cases[] = {
        {"render refuses", 100, [](Canvas&) { return false; }, LogoWriteStatus::RenderFailed},
        {"render resizes the canvas", 100,
         [](Canvas& c) {
             c = Canvas(10, 10);
             return true;
         },
         LogoWriteStatus::RenderFailed},
        {"no render callback", 100, LogoRender(), LogoWriteStatus::RenderFailed},
        {"picture without pixels", 0, [](Canvas&) { return true; },
         LogoWriteStatus::PictureSizeInvalid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteBytes(dir / "p.jpg.logo", previous);
        const auto result =
            WriteLogoFile(dir / "p.jpg", c.picture_width, 50, 0, 800, 480, c.render);
        EXPECT_EQ(result.status, c.expected);
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.message.empty());
        EXPECT_EQ(ReadBytes(dir / "p.jpg.logo"), previous);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"p.jpg.logo"});
    }
}

TEST(LogoFile, FolderThatDoesNotExistGivesCannotCreate) {
    TempDir dir;
    Painter painter{0xFFFFFFFF};
    const auto result =
        WriteLogoFile(dir / "missing" / "a.bmp", 100, 50, 0, 800, 480, painter.Callback());
    EXPECT_EQ(result.status, LogoWriteStatus::CannotCreate);
    EXPECT_FALSE(result.message.empty());
    EXPECT_TRUE(dir.Names().empty());
}

// A file-size limit below the logo's size makes the write fail part way, as a
// full disk would. (Windows has no file-size limit to set.)
#ifndef _WIN32
TEST(LogoFile, WriteThatStopsPartWayLeavesThePreviousLogo) {
    TempDir dir;
    const std::vector<uint8_t> previous(300, 0x5A);
    WriteBytes(dir / "big.bmp.logo", previous);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Painter painter{0xFFFFFFFF};
    const auto result =
        WriteLogoFile(dir / "big.bmp", 100, 50, 0x00FFFFFF, 800, 480, painter.Callback());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.status, LogoWriteStatus::WriteFailed);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(ReadBytes(dir / "big.bmp.logo"), previous);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"big.bmp.logo"});
}
#endif

}  // namespace
}  // namespace korvane
