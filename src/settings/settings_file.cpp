#include "settings/settings_file.h"

#include <fstream>
#include <string>

#include "system/atomic_file.h"
#include "system/display_path.h"
#include "system/file_kind.h"
#include "system/program_files.h"

namespace korvane {

namespace fs = std::filesystem;

SettingsFile::SettingsFile(std::optional<fs::path> path) : path_(std::move(path)) {}

SettingsFile SettingsFile::For(const ProgramFiles& program) {
    auto beside = program.Beside(kSettingsFileName);
    if (!beside)
        return SettingsFile(std::nullopt);
    // A portable copy (its folder writable) keeps its own file; an installed
    // program keeps its settings per user, starting from the shipped ones.
    const auto writable = program.WritableBeside(kSettingsFileName);
    if (writable == beside)
        return SettingsFile(beside);
    SettingsFile file(writable);
    std::error_code ec;
    if (!fs::exists(*writable, ec) && fs::exists(*beside, ec))
        file.shipped_ = beside;
    return file;
}

SettingsFile SettingsFile::ForExecutable(const fs::path& executable) {
    return For(ProgramFiles::ForExecutable(executable));
}

bool SettingsFile::Write(const fs::path& path, const RecordBytes& bytes) const {
    // The per-user folder may not exist yet.
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    AtomicFileWriter writer(path);
    if (writer.opened() && writer.Write(bytes.data(), bytes.size()) && writer.Commit()) {
        write_error_.clear();
        return true;
    }
    write_error_ = writer.error();
    return false;
}

std::optional<fs::path> SettingsFile::PanelNetworkPath() const {
    if (!path_)
        return std::nullopt;
    return path_->parent_path() / kPanelNetworkFileName;
}

bool SettingsFile::ReadOver() {
    if (!path_)
        return false;
    std::error_code ec;
    const fs::path from = !fs::exists(*path_, ec) && shipped_ ? *shipped_ : *path_;
    // A folder yields no bytes (on Windows it does not even open): remember
    // what it was.
    const bool folder = fs::is_directory(from, ec);
    const FileKind kind = KindAt(from);
    if (kind != FileKind::Missing && kind != FileKind::Regular && !folder) {
        read_from_ = ReadFrom{from, 0, false, true};
        return true;
    }
    std::ifstream in(from, std::ios::binary);
    if (!in && !folder)
        return false;
    ReadFrom read{from, 0, folder};
    if (!read.folder)
        read.size = fs::file_size(from, ec);
    read_from_ = read;
    RecordBytes bytes{};
    in.read(reinterpret_cast<char*>(bytes.data()), kRecordSize);
    record_.DecodeOver({bytes.data(), static_cast<size_t>(in.gcount())});
    return true;
}

std::string SettingsFile::UnusableBecause() const {
    if (!read_from_)
        return {};
    const std::string name = "settings file " + DisplayPath(read_from_->path);
    if (read_from_->folder)
        return name + " is a folder, not a file";
    if (read_from_->special)
        return name + " " + RefusalFor(KindAt(read_from_->path)).message() + ", not a file";
    if (read_from_->size == 0)
        return name + " is empty";
    if (read_from_->size != kRecordSize) {
        return name + " is " + std::to_string(read_from_->size) + " bytes long, not " +
               std::to_string(kRecordSize);
    }
    if (const std::string problem = RecordProblem(record_); !problem.empty())
        return name + " " + problem;
    return {};
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
