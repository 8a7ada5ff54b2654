#pragma once
// The window's own texts beyond the core's (link/texts.h), under stable names.
// The stored text is Chinese; translations/korvane_en.ts holds the English.
// Templates use %1, %2 … as QString::arg() fills them.
#include <QCoreApplication>
#include <QString>
#include <cstddef>

namespace korvane {

enum class WindowTextId {
    // runs and the link display
    RunCancelled,
    LinkLockedDuringRun,
    LanguageLockedDuringRun,
    LanguageNotSaved,
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
    const char* name;  // stable snake_case identifier
    const char* text;  // the stored (Chinese) text; English comes from the translation
};

// In the order of WindowTextId.
inline constexpr WindowTextEntry kWindowTexts[] = {
    // runs and the link display
    {WindowTextId::RunCancelled, "run_cancelled",
     QT_TRANSLATE_NOOP("korvane::WindowText", "已取消：面板保留已经写入的内容。")},
    {WindowTextId::LinkLockedDuringRun, "link_locked_during_run",
     QT_TRANSLATE_NOOP("korvane::WindowText", "操作进行中，不能更改通讯参数。")},
    {WindowTextId::LanguageLockedDuringRun, "language_locked_during_run",
     QT_TRANSLATE_NOOP("korvane::WindowText", "操作进行中，不能更改界面语言。")},
    {WindowTextId::LanguageNotSaved, "language_not_saved",
     QT_TRANSLATE_NOOP("korvane::WindowText",
                       "界面语言未能保存到 %1：下次启动时仍使用原来的语言。")},
    // Images are often named without a dot (zImage, rootfs): list every file.
    {WindowTextId::ImageFileFilter, "image_file_filter",
     QT_TRANSLATE_NOOP("korvane::WindowText", "所有文件 (*)")},
    // the settings dialog
    {WindowTextId::AddressMissing, "address_missing",
     QT_TRANSLATE_NOOP("korvane::WindowText", "请输入完整的IP地址!")},
    {WindowTextId::SettingsNotSaved, "settings_not_saved",
     QT_TRANSLATE_NOOP("korvane::WindowText", "通讯参数未保存：无法写入 %1（%2）。")},
    {WindowTextId::NoSettingsFile, "no_settings_file",
     QT_TRANSLATE_NOOP("korvane::WindowText", "本程序没有通讯参数文件：设置只在本次运行中有效。")},
    // the logo picker
    {WindowTextId::PictureMissing, "picture_missing",
     QT_TRANSLATE_NOOP("korvane::WindowText", "图片不存在：%1\n它可能已被删除或移动。")},
    {WindowTextId::PictureCannotOpen, "picture_cannot_open",
     QT_TRANSLATE_NOOP("korvane::WindowText", "不能打开图片：%1\n%2")},
    {WindowTextId::PictureEmpty, "picture_empty",
     QT_TRANSLATE_NOOP("korvane::WindowText", "图片文件是空的：%1")},
    {WindowTextId::PictureUndecodable, "picture_undecodable",
     QT_TRANSLATE_NOOP("korvane::WindowText",
                       "不能识别图片：%1\n文件已损坏，或不是BMP、GIF、JPEG、PNG图片（%2）。")},
    {WindowTextId::PictureTooLargeToOpen, "picture_too_large_to_open",
     QT_TRANSLATE_NOOP("korvane::WindowText",
                       "图片太大，不能打开：%1\n图片为 %2 x %3 像素，LOGO图片最多 131072 像素。")},
    {WindowTextId::LogoFileWritten, "logo_file_written",
     QT_TRANSLATE_NOOP("korvane::WindowText", "LOGO文件已写入：\n%1")},
    // start-up
    {WindowTextId::SettingsUnusable, "settings_unusable",
     QT_TRANSLATE_NOOP("korvane::WindowText",
                       "通讯参数文件有误（%1）。现使用默认设置；在“设置”中保存后将替换该文件。")},
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
    return QCoreApplication::translate("korvane::WindowText",
                                       kWindowTexts[static_cast<size_t>(id)].text);
}

// A text kept as a constant beside the code that shows it (kInvalidPort …),
// marked with QT_TRANSLATE_NOOP("korvane::Window", …), in the window's language.
inline QString Translated(const char* stored) {
    return QCoreApplication::translate("korvane::Window", stored);
}

}  // namespace korvane
