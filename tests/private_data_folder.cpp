// Linked into every test and benchmark program: before main() the user's
// data folder is pointed at a folder of this process's own, so that the runs
// a test makes never reach the user's run log, however the program is
// started (by ctest, by hand, under Wine). Children inherit it.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

class PrivateDataFolder {
  public:
    PrivateDataFolder() : owner_(ProcessId()) {
        std::error_code ec;
        folder_ = fs::temp_directory_path(ec) / ("korvane-test-data-" + std::to_string(owner_));
        fs::create_directories(folder_, ec);
#ifdef _WIN32
        _putenv_s("LOCALAPPDATA", folder_.string().c_str());
#else
        ::setenv("XDG_DATA_HOME", folder_.c_str(), 1);
#endif
    }
    ~PrivateDataFolder() {
        // A forked child that ends through exit() must not take the folder
        // from under its parent.
        if (ProcessId() != owner_)
            return;
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

  private:
    int owner_;
    fs::path folder_;
};

const PrivateDataFolder kFolder;

}  // namespace
