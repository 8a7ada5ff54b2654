#pragma once
// Para.dat: the communication settings, read at start, re-read when the
// settings dialog opens, written whole when it is accepted. The panel network
// record that the maintenance operations save goes to PanelNet.dat beside it,
// so that saving it never disturbs the communication settings.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "link/link_result.h"
#include "settings/settings_record.h"

namespace korvane {

inline constexpr char kSettingsFileName[] = "Para.dat";
inline constexpr char kPanelNetworkFileName[] = "PanelNet.dat";

class ProgramFiles;

class SettingsFile {
  public:
    // No path: the program is not ours, so nothing is read or written.
    explicit SettingsFile(std::optional<std::filesystem::path> path);
    // Para.dat beside the program, or in the per-user folder when the
    // program's folder cannot be written (an installed program); there, until
    // the user saves settings of their own, the file shipped beside the
    // program is read.
    static SettingsFile For(const ProgramFiles& program);
    // As above, for the program whose executable is `executable`.
    static SettingsFile ForExecutable(const std::filesystem::path& executable);

    const std::optional<std::filesystem::path>& path() const { return path_; }
    std::optional<std::filesystem::path> PanelNetworkPath() const;

    CommSettings& record() { return record_; }
    const CommSettings& record() const { return record_; }

    // Start-up: read the file; when it cannot be opened write the defaults.
    void Load();
    // Dialog opening: read the file if it opens, otherwise keep the record.
    void Reload();
    // Writes the whole record; false when there is no path or the write failed.
    bool Save();
    // Ok written; PanelRefused when the program is not ours; FileError when
    // the file cannot be written.
    LinkResult SavePanelNetwork(const PanelNetworkRecord& record) const;
    // The system's reason for the last failed write of either file.
    const std::error_code& write_error() const { return write_error_; }

    // Why the record last read cannot serve as the link's settings (a folder,
    // an empty or short file, no link mode, no panel over udp, a baud rate no
    // serial port takes); empty when it can, or when nothing was read
    // (defaults written, no path). English, for a front end to show with its
    // own way of fixing it.
    std::string UnusableBecause() const;

  private:
    struct ReadFrom {
        std::filesystem::path path;
        uintmax_t size = 0;
        bool folder = false;
        // A FIFO or a device: never read (it may block, or never end).
        bool special = false;
    };

    bool ReadOver();
    // Whole or not at all.
    bool Write(const std::filesystem::path& path, const RecordBytes& bytes) const;

    std::optional<std::filesystem::path> path_;
    // Read while path_ does not exist yet (the settings shipped beside an
    // installed program).
    std::optional<std::filesystem::path> shipped_;
    std::optional<ReadFrom> read_from_;
    mutable std::error_code write_error_;
    CommSettings record_;
};

}  // namespace korvane
