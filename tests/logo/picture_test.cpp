#include "logo/picture.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <array>
#include <cstdlib>

#include "gif_writer.h"
#include "logo/logo_from_picture.h"
#include "logo/qt_path.h"
#include "logo/rgb565.h"
#include "test_files.h"

namespace korvane {
namespace {

using test::Le16At;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

std::vector<uint16_t> LogoPixels(const std::vector<uint8_t>& file, int width, int height) {
    std::vector<uint16_t> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.push_back(Le16At(file, 16 + 2 * i));
    return pixels;
}

bool TailIsZero(const std::vector<uint8_t>& file, int width, int height) {
    const size_t start = 16 + 2 * static_cast<size_t>(width) * height;
    if (file.size() != start + 4 * static_cast<size_t>(height))
        return false;
    return std::all_of(file.begin() + static_cast<long>(start), file.end(),
                       [](uint8_t b) { return b == 0; });
}

TEST(Picture, BmpRoundTripKeepsEveryPixelAndTheFileIsExact) {
    struct Pixel {
        QRgb rgb;
        uint16_t expected;
    };
    const Pixel pixels[3][6] = {
        {{0xFFFFFF, 0xFFFF},
         {0x000000, 0x0821},
         {0xFF0000, 0xF800},
         {0x00FF00, 0x07E0},
         {0x0000FF, 0x001F},
         {0x070307, 0x0821}},
        {{0xF7FBF7, 0xF7DE},
         {0x080000, 0x0800},
         {0x000400, 0x0020},
         {0x000008, 0x0001},
         {0x0F0B1F, 0x0843},
         {0x808080, 0x8410}},
        {{0x123456, 0x11AA},
         {0xFEDCBA, 0xFEF7},
         {0x406080, 0x4310},
         {0x800000, 0x8000},
         {0x008000, 0x0400},
         {0x000080, 0x0010}},
    };
    QImage image(6, 3, QImage::Format_RGB32);
    std::vector<uint16_t> expected;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6; ++x) {
            image.setPixel(x, y, 0xFF000000 | pixels[y][x].rgb);
            expected.push_back(pixels[y][x].expected);
        }
    }
    TempDir dir;
    ASSERT_TRUE(image.save(Q(dir / "pic.bmp"), "BMP"));

    const auto result = WriteLogoFromPicture(dir / "pic.bmp", 0x00FFFFFF, 800, 480);
    ASSERT_TRUE(result.ok()) << result.message;
    const auto file = ReadBytes(dir / "pic.bmp.logo");
    ASSERT_EQ(file.size(), 16u + 3 * (2 * 6 + 4));
    // x 397, y 238, width 6, height 3, white, checksum 659
    const std::vector<uint8_t> header = {0x8D, 0x01, 0xEE, 0x00, 0x06, 0x00, 0x03, 0x00,
                                         0x00, 0x10, 0xFF, 0xFF, 0x93, 0x02, 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 16), header);
    EXPECT_EQ(LogoPixels(file, 6, 3), expected);
    EXPECT_TRUE(TailIsZero(file, 6, 3));
}

TEST(Picture, OddWidthIsStretchedOrSqueezedToTheEvenWidth) {
    struct Case {
        int width, even_width;
    };
    for (const Case c : {Case{5, 4}, Case{7, 8}, Case{9, 8}, Case{103, 104}}) {
        SCOPED_TRACE(c.width);
        // One colour per row, so the result does not depend on which columns
        // the stretch repeats or drops.
        QImage image(c.width, 3, QImage::Format_RGB32);
        const QRgb rows[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < c.width; ++x)
                image.setPixel(x, y, rows[y]);
        }
        TempDir dir;
        ASSERT_TRUE(image.save(Q(dir / "odd.bmp"), "BMP"));
        const auto result = WriteLogoFromPicture(dir / "odd.bmp", 0, 320, 240);
        ASSERT_TRUE(result.ok()) << result.message;
        const auto file = ReadBytes(result.logo_path);
        EXPECT_EQ(Le16At(file, 4), c.even_width);
        ASSERT_TRUE(TailIsZero(file, c.even_width, 3));
        std::vector<uint16_t> expected;
        for (uint16_t v : {0xF800, 0x07E0, 0x001F})
            expected.insert(expected.end(), c.even_width, v);
        EXPECT_EQ(LogoPixels(file, c.even_width, 3), expected);
    }
}

TEST(Picture, TransparentGifAreaIsBlack) {
    const test::GifPalette palette = {
        {{0xFF, 0, 0}, {0, 0xFF, 0}, {0, 0, 0xFF}, {0xFF, 0xFF, 0xFF}}};
    const std::vector<uint8_t> indices = {0, 1, 2, 3, 3, 2, 1, 0};
    TempDir dir;
    WriteBytes(dir / "t.gif", test::EncodeGif(4, 2, palette, indices, uint8_t{3}));
    WriteBytes(dir / "o.gif", test::EncodeGif(4, 2, palette, indices, std::nullopt));

    Picture holder;
    ASSERT_TRUE(holder.Load(dir / "t.gif"));
    EXPECT_EQ(holder.NaturalSize(), QSize(4, 2));

    struct Case {
        const char* name;
        uint16_t white;
    };
    for (const Case c : {Case{"t.gif", 0x0821}, Case{"o.gif", 0xFFFF}}) {
        SCOPED_TRACE(c.name);
        const auto result = WriteLogoFromPicture(dir / c.name, 0x00FFFFFF, 4, 2);
        ASSERT_TRUE(result.ok()) << result.message;
        const auto file = ReadBytes(result.logo_path);
        ASSERT_TRUE(TailIsZero(file, 4, 2));
        const std::vector<uint16_t> expected = {0xF800,  0x07E0, 0x001F, c.white,
                                                c.white, 0x001F, 0x07E0, 0xF800};
        EXPECT_EQ(LogoPixels(file, 4, 2), expected);
    }
}

TEST(Picture, JpegRoundTripMatchesTheDecodedColours) {
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(QColor(0x40, 0x80, 0xC0));
    TempDir dir;
    ASSERT_TRUE(image.save(Q(dir / "pic.jpg"), "JPEG", 100));

    const auto result = WriteLogoFromPicture(dir / "pic.jpg", 0, 640, 480);
    ASSERT_TRUE(result.ok()) << result.message;
    const auto file = ReadBytes(result.logo_path);
    ASSERT_EQ(file.size(), 16u + 8 * (2 * 16 + 4));
    ASSERT_TRUE(TailIsZero(file, 16, 8));

    const QImage decoded = QImage(Q(dir / "pic.jpg")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(decoded.size(), QSize(16, 8));
    const auto pixels = LogoPixels(file, 16, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const uint16_t v = pixels[static_cast<size_t>(y * 16 + x)];
            EXPECT_EQ(v, Rgb565FromPixel(decoded.pixel(x, y))) << x << "," << y;
            // Lossy, but within one step of 0x40 0x80 0xC0 -> 8, 32, 24.
            EXPECT_LE(std::abs((v >> 11) - 8), 1);
            EXPECT_LE(std::abs(((v >> 5) & 0x3F) - 32), 1);
            EXPECT_LE(std::abs((v & 0x1F) - 24), 1);
        }
    }
}

TEST(Picture, UnreadableFileKeepsThePreviousPictureAndWritesNothing) {
    TempDir dir;
    QImage image(12, 7, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(Q(dir / "good.bmp"), "BMP"));
    const std::string text = "this is not a picture";
    WriteBytes(dir / "bad.jpg", std::vector<uint8_t>(text.begin(), text.end()));
    const std::vector<uint8_t> previous(40, 0x77);
    WriteBytes(dir / "bad.jpg.logo", previous);

    for (const char* name : {"bad.jpg", "missing.bmp"}) {
        SCOPED_TRACE(name);
        Picture holder;
        ASSERT_TRUE(holder.Load(dir / "good.bmp"));
        std::string error;
        EXPECT_FALSE(holder.Load(dir / name, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(holder.NaturalSize(), QSize(12, 7)) << "the old picture stays";

        const auto result = WriteLogoFromPicture(dir / name, 0, 800, 480);
        EXPECT_EQ(result.status, LogoWriteStatus::PictureUnreadable);
        EXPECT_NE(result.message.find(name), std::string::npos) << result.message;
    }
    EXPECT_EQ(ReadBytes(dir / "bad.jpg.logo"), previous);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.bmp.logo"));
}

#ifndef _WIN32
// A name is the system's bytes: one that is no UTF-8 loads, and its logo file
// is written beside it, named by the same bytes; a name from a file dialog
// reaches the system through QFile's own encoding.
TEST(Picture, APictureNamedByBytesThatAreNoUtf8Loads) {
    TempDir dir;
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(Q(dir / "plain.bmp"), "BMP"));
    const auto odd = dir / "\xFF\xFEstart.bmp";
    std::filesystem::copy_file(dir / "plain.bmp", odd);

    Picture holder;
    std::string error;
    EXPECT_TRUE(holder.Load(odd, &error)) << error;
    EXPECT_EQ(holder.NaturalSize(), QSize(6, 4));
    const auto written = WriteLogoFromPicture(odd, 0, 800, 480);
    EXPECT_TRUE(written.ok()) << written.message;
    EXPECT_EQ(written.logo_path.native(), odd.native() + ".logo");
    EXPECT_TRUE(std::filesystem::exists(written.logo_path));

    const auto missing = WriteLogoFromPicture(dir / "gone\xFF.bmp", 0, 800, 480);
    EXPECT_EQ(missing.status, LogoWriteStatus::PictureUnreadable);
    EXPECT_NE(missing.message.find("gone\\xFF.bmp"), std::string::npos) << missing.message;

    const QString chosen = QString::fromUtf8("启动画面.bmp");
    EXPECT_EQ(PathFromQString(chosen).native(), std::string("启动画面.bmp"));
    EXPECT_EQ(PathToQString(PathFromQString(chosen)), chosen);
}
#endif

TEST(Picture, EmptyHolderHasNoSizeAndDrawsNothing) {
    TempDir dir;
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    ASSERT_TRUE(image.save(Q(dir / "w.bmp"), "BMP"));

    Picture holder;
    EXPECT_TRUE(holder.IsEmpty());
    EXPECT_EQ(holder.NaturalSize(), QSize(0, 0));
    Canvas canvas(3, 2, 0xFF123456);
    EXPECT_FALSE(holder.RenderInto(canvas));

    ASSERT_TRUE(holder.Load(dir / "w.bmp"));
    EXPECT_EQ(holder.NaturalSize(), QSize(3, 2));
    ASSERT_TRUE(holder.RenderInto(canvas));
    EXPECT_EQ(canvas.pixels, std::vector<uint32_t>(6, 0xFFFFFFFF));

    holder.Release();
    EXPECT_TRUE(holder.IsEmpty());
    EXPECT_EQ(holder.NaturalSize(), QSize(0, 0));
}

}  // namespace
}  // namespace korvane
