#include "settings/settings_file.h"

#include <fstream>
#include <string>

#include "system/atomic_file.h"
#include "system/program_files.h"

namespace korvane {

namespace fs = std::filesystem;

SettingsFile::SettingsFile(std::optional<fs::path> path) : path_(std::move(path)) {}

SettingsFile SettingsFile::For(const ProgramFiles& program) {
    auto beside = program.Beside(kSettingsFileName);
    if (!beside)
        return SettingsFile(std::nullopt);
    // An installed program keeps its settings per user; a file already
    // beside the program still wins, so a portable copy keeps its own.
    std::error_code ec;
    if (fs::exists(*beside, ec))
        return SettingsFile(beside);
    return SettingsFile(program.WritableBeside(kSettingsFileName));
}

SettingsFile SettingsFile::ForExecutable(const fs::path& executable) {
    return For(ProgramFiles::ForExecutable(executable));
}

bool SettingsFile::Write(const fs::path& path, const RecordBytes& bytes) {
    // The per-user folder may not exist yet.
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    return WriteFileAtomically(path, bytes.data(), bytes.size());
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
    return Write(*path_, record_.Encode());
}

LinkResult SettingsFile::SavePanelNetwork(const PanelNetworkRecord& record) const {
    const auto where = PanelNetworkPath();
    if (!where)
        return LinkResult::PanelRefused;
    return Write(*where, record.Encode()) ? LinkResult::Ok : LinkResult::FileError;
}

}  // namespace korvane
