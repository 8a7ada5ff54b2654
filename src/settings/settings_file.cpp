#include "settings/settings_file.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "settings/program_files.h"

namespace korvane {

namespace fs = std::filesystem;

bool WriteFileAtomically(const fs::path& path, const void* bytes, size_t size) {
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    fs::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

SettingsFile::SettingsFile(std::optional<fs::path> path) : path_(std::move(path)) {}

SettingsFile SettingsFile::ForExecutable(const fs::path& executable) {
    auto beside = FileBesideExecutable(executable, kSettingsFileName);
    if (!beside)
        return SettingsFile(std::nullopt);
    // An installed program keeps its settings per user; a file already
    // beside the program still wins, so a portable copy keeps its own.
    std::error_code ec;
    if (fs::exists(*beside, ec))
        return SettingsFile(beside);
    return SettingsFile(WritableFileFor(executable, kSettingsFileName));
}

std::optional<fs::path> SettingsFile::PanelNetworkPath() const {
    if (!path_)
        return std::nullopt;
    return path_->parent_path() / kPanelNetworkFileName;
}

bool SettingsFile::ReadOver() {
    if (!path_)
        return false;
    std::ifstream in(*path_, std::ios::binary);
    if (!in)
        return false;
    RecordBytes bytes{};
    in.read(reinterpret_cast<char*>(bytes.data()), kRecordSize);
    record_.DecodeOver({bytes.data(), static_cast<size_t>(in.gcount())});
    return true;
}

void SettingsFile::Load() {
    if (!path_)
        return;
    if (ReadOver())
        return;
    const CommSettings defaults = CommSettings::Defaults();
    record_.link_mode = defaults.link_mode;
    record_.address = defaults.address;
    record_.port = defaults.port;
    record_.com = defaults.com;
    record_.baud = defaults.baud;
    Save();
}

void SettingsFile::Reload() {
    ReadOver();
}

bool SettingsFile::Save() {
    if (!path_)
        return false;
    const RecordBytes bytes = record_.Encode();
    return WriteFileAtomically(*path_, bytes.data(), bytes.size());
}

LinkResult SettingsFile::SavePanelNetwork(const PanelNetworkRecord& record) const {
    const auto where = PanelNetworkPath();
    if (!where)
        return LinkResult::PanelRefused;
    const RecordBytes bytes = record.Encode();
    return WriteFileAtomically(*where, bytes.data(), bytes.size()) ? LinkResult::Ok
                                                                   : LinkResult::FileError;
}

}  // namespace korvane
