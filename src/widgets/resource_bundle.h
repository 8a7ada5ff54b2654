#pragma once
// The run-time resource bundle (resource/korvane-zh_CN.rcc beside the
// executable): the window's strings and icons by their resource ids.
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace korvane {

inline constexpr char kResourceBundleName[] = "korvane-zh_CN.rcc";

// String ids.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_PICTURE_TOO_LARGE = 102;
inline constexpr int IDS_DOWNLOAD_DONE = 103;
inline constexpr int IDS_ERASE_WAIT = 104;
// Icon ids; 145 is the program's and the page's icon.
inline constexpr int IDI_PANEL = 145;
inline constexpr int IDI_NETWORK = 146;
inline constexpr int IDI_SERIAL = 147;
inline constexpr int IDI_USB = 148;

// Registers <program_folder>/resource/korvane-zh_CN.rcc; false when it is
// missing or not a resource bundle. Registering again is harmless.
bool RegisterResourceBundle(const QString& program_folder);

// The string with `id`, empty when the bundle has none (or is not registered).
QString ResourceString(int id);
// The icon with `id` at 32 and 48 pixels; null when absent.
QIcon ResourceIcon(int id);
QPixmap ResourcePixmap(int id, int size);

}  // namespace korvane
