#pragma once
// File names between Qt and std::filesystem. A name is the system's bytes
// (UTF-16 units on Windows): it goes to and from QString only through
// QFile::encodeName and decodeName, never through a UTF-8 or UTF-16
// conversion of std::filesystem::path, which throws on a name that is no
// valid UTF-8.
#include <QString>
#include <filesystem>

namespace korvane {

QString PathToQString(const std::filesystem::path& path);
std::filesystem::path PathFromQString(const QString& name);

}  // namespace korvane
