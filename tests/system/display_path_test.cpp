// Names that are no UTF-8 are shown escaped, and valid text passes unchanged.
#include "system/display_path.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(DisplayPathTest, OnlyBytesOutsideValidUtf8AreEscaped) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"start.bmp", "start.bmp"},
        {"启动画面.png", "启动画面.png"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},      // four bytes
        {"a\xFF.bmp", "a\\xFF.bmp"},                   // never in UTF-8
        {"\xE5\x90", "\\xE5\\x90"},                    // cut short at the end
        {"\xE5\x90z", "\\xE5\\x90z"},                  // cut short before another
        {"\xC0\xAF", "\\xC0\\xAF"},                    // overlong '/'
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},           // a UTF-16 surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
        {"\x80x", "\\x80x"},                           // a lone continuation
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeInvalidUtf8(c.bytes), c.shown) << c.shown;
}

#ifndef _WIN32
TEST(DisplayPathTest, APosixNameIsShownEscapedAndKeptAsItsBytes) {
    const std::filesystem::path name = std::filesystem::path("/tmp") / "logo\xFF\xFE.png";
    EXPECT_EQ(DisplayPath(name), "/tmp/logo\\xFF\\xFE.png");
    EXPECT_EQ(PathBytes(name), "/tmp/logo\xFF\xFE.png");
}
#else
TEST(DisplayPathTest, AWindowsNameIsUtf8AndALoneSurrogateEscaped) {
    const std::filesystem::path name(std::wstring(L"C:\\\u542F") + wchar_t(0xD800) + L".png");
    EXPECT_EQ(DisplayPath(name), "C:\\\xE5\x90\xAF\\uD800.png");
    EXPECT_EQ(PathBytes(name), DisplayPath(name));
}
#endif

}  // namespace
}  // namespace korvane
