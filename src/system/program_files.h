#pragma once
// Which program is running and which files lie beside it.
//
// The desktop program uses the files in its own folder (settings, model list)
// only when its executable is the program itself: the executable's file name,
// never its folders, compared without regard to letter case with "korvane"
// ("korvane.exe" on Windows). The command-line tool names its own folder
// instead, so that it finds the same files whatever it is called.
#include <filesystem>
#include <optional>
#include <string_view>

namespace korvane {

// Full path of the running executable; empty when the platform cannot tell.
std::filesystem::path RunningExecutable();

// True when the file name of `executable` is the program's own name.
bool IsProgramExecutable(const std::filesystem::path& executable);

// Where an installed program (whose folder cannot be written) keeps its
// writable files: $XDG_CONFIG_HOME/korvane, else ~/.config/korvane.
std::filesystem::path UserConfigFolder();

// Where the program keeps what it records for the user (the run log):
// $XDG_DATA_HOME/korvane, else ~/.local/share/korvane; on Windows
// %LOCALAPPDATA%\korvane.
std::filesystem::path UserDataFolder();

// True when `folder` is a folder this process may create files in.
bool CanWriteFolder(const std::filesystem::path& folder);
using FolderCheck = bool (*)(const std::filesystem::path& folder);

class ProgramFiles {
  public:
    // The executable's folder when the executable is the program itself;
    // otherwise no folder, and so no files.
    static ProgramFiles ForExecutable(const std::filesystem::path& executable);
    // As above for the running program.
    static ProgramFiles ForRunningProgram();
    // A folder the caller vouches for, whatever the program is called.
    // `can_write` decides whether the folder takes writes (tests stand in for
    // a read-only folder, which a root user never meets).
    static ProgramFiles InFolder(std::filesystem::path folder,
                                 FolderCheck can_write = &CanWriteFolder);

    const std::optional<std::filesystem::path>& folder() const { return folder_; }

    // `name` in the folder; nothing when there is no folder.
    std::optional<std::filesystem::path> Beside(std::string_view name) const;
    // Like Beside, but `name` in UserConfigFolder() when the folder cannot be
    // written.
    std::optional<std::filesystem::path> WritableBeside(std::string_view name) const;

  private:
    explicit ProgramFiles(std::optional<std::filesystem::path> folder,
                          FolderCheck can_write = &CanWriteFolder)
        : folder_(std::move(folder)), can_write_(can_write) {}

    std::optional<std::filesystem::path> folder_;
    FolderCheck can_write_;
};

}  // namespace korvane
