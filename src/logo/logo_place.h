#pragma once
// Where the desktop window writes a picture's logo file: beside the picture,
// as it always has, unless no file can be made in the picture's folder (a
// shared or read-only picture folder); then in a folder of the user's own.
#include <filesystem>

namespace korvane {

// Whether a new file can be made in `folder`, found out by making one and
// removing it again: permission bits do not tell (root, access lists,
// read-only mounts).
bool CanCreateFileIn(const std::filesystem::path& folder);

// The folder the logo file of `picture` would go to beside it.
std::filesystem::path PictureFolder(const std::filesystem::path& picture);

// "<picture>.logo" beside the picture when its folder takes new files,
// otherwise "<picture's file name>.logo" in `fallback_folder`.
std::filesystem::path ChooseLogoPath(const std::filesystem::path& picture,
                                     bool picture_folder_writable,
                                     const std::filesystem::path& fallback_folder);

}  // namespace korvane
