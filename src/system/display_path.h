#pragma once
// File names are bytes to the system (UTF-16 units on Windows) and need not
// be valid UTF-8. Every text we print or put into JSON is UTF-8, so a name is
// shown with what is no UTF-8 escaped; nothing here ever throws on a name the
// system accepted, unlike path::u8string() or u16string().
#include <filesystem>
#include <string>
#include <string_view>

namespace korvane {

// The text with each byte that is not part of a valid UTF-8 sequence written
// as \xNN (upper-case hex); valid UTF-8 passes unchanged.
std::string EscapeInvalidUtf8(std::string_view bytes);

// The name for a person: UTF-8, with bytes that are no UTF-8 as \xNN (and, on
// Windows, an unpaired UTF-16 surrogate as \uNNNN).
std::string DisplayPath(const std::filesystem::path& path);

// The name as the system takes it back: its own bytes on POSIX, UTF-8 where
// names are UTF-16 (Windows; unpaired surrogates escaped as above).
std::string PathBytes(const std::filesystem::path& path);

}  // namespace korvane
