#pragma once
// The window's own texts beyond the core's (link/texts.h): each in Chinese,
// the language the window shows, and in English, under a stable name.
// Templates use %1, %2 … as QString::arg() fills them.
#include <QString>
#include <cstddef>

namespace korvane {

enum class WindowTextId {
    // runs and the link display
    RunCancelled,
    LinkLockedDuringRun,
    ImageFileFilter,
    // the settings dialog
    AddressMissing,
    SettingsNotSaved,
    NoSettingsFile,
    // the logo picker
    PictureMissing,
    PictureCannotOpen,
    PictureEmpty,
    PictureUndecodable,
    PictureTooLargeToOpen,
    LogoFileWritten,
    // start-up
    SettingsUnusable,
};

struct WindowTextEntry {
    WindowTextId id;
    const char* name;     // stable snake_case identifier
    const char* chinese;  // the text the window shows
    const char* english;  // the same text in English
};

// In the order of WindowTextId.
inline constexpr WindowTextEntry kWindowTexts[] = {
    // runs and the link display
    {WindowTextId::RunCancelled, "run_cancelled", "已取消：面板保留已经写入的内容。",
     "Cancelled: the panel keeps what it had written so far."},
    {WindowTextId::LinkLockedDuringRun, "link_locked_during_run", "操作进行中，不能更改通讯参数。",
     "A run is under way; the link cannot be changed now."},
    // Images are often named without a dot (zImage, rootfs): list every file.
    {WindowTextId::ImageFileFilter, "image_file_filter", "所有文件 (*)", "All files (*)"},

    // the settings dialog
    {WindowTextId::AddressMissing, "address_missing", "请输入完整的IP地址!",
     "Enter the whole IP address."},
    {WindowTextId::SettingsNotSaved, "settings_not_saved", "通讯参数未保存：无法写入 %1（%2）。",
     "The settings were not saved: cannot write %1 (%2)."},
    {WindowTextId::NoSettingsFile, "no_settings_file",
     "本程序没有通讯参数文件：设置只在本次运行中有效。",
     "This program has no settings file: the settings hold for this run only."},

    // the logo picker
    {WindowTextId::PictureMissing, "picture_missing", "图片不存在：%1\n它可能已被删除或移动。",
     "The picture does not exist: %1\nIt may have been deleted or moved."},
    {WindowTextId::PictureCannotOpen, "picture_cannot_open", "不能打开图片：%1\n%2",
     "Cannot open the picture: %1\n%2"},
    {WindowTextId::PictureEmpty, "picture_empty", "图片文件是空的：%1",
     "The picture file is empty: %1"},
    {WindowTextId::PictureUndecodable, "picture_undecodable",
     "不能识别图片：%1\n文件已损坏，或不是BMP、GIF、JPEG、PNG图片（%2）。",
     "Cannot decode the picture: %1\nThe file is damaged or not a BMP, GIF, JPEG or PNG "
     "picture (%2)."},
    {WindowTextId::PictureTooLargeToOpen, "picture_too_large_to_open",
     "图片太大，不能打开：%1\n图片为 %2 x %3 像素，LOGO图片最多 131072 像素。",
     "The picture is too large to open: %1\nIt is %2 x %3 pixels; a logo picture has at most "
     "131072 pixels."},
    {WindowTextId::LogoFileWritten, "logo_file_written", "LOGO文件已写入：\n%1",
     "The logo file was written to:\n%1"},

    // start-up
    {WindowTextId::SettingsUnusable, "settings_unusable",
     "通讯参数文件有误（%1）。现使用默认设置；在“设置”中保存后将替换该文件。",
     "The saved settings cannot be used (%1). The defaults are in use; saving the "
     "settings replaces the file."},
};

constexpr bool WindowTextsInIdOrder() {
    for (size_t i = 0; i < std::size(kWindowTexts); ++i)
        if (static_cast<size_t>(kWindowTexts[i].id) != i)
            return false;
    return true;
}
static_assert(WindowTextsInIdOrder(), "one entry per WindowTextId, in order");

// The text as the window shows it.
inline QString WindowText(WindowTextId id) {
    return QString::fromUtf8(kWindowTexts[static_cast<size_t>(id)].chinese);
}

}  // namespace korvane
